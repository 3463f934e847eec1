#include "zip/crc32_fast.h"

#include <zlib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KEL_CRC32_FOLDING 1
#endif

namespace kel {

namespace {

#if KEL_CRC32_FOLDING

#define KEL_FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))

KEL_FOLDING_TARGET inline __m128i Load(const unsigned char* q) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// `a` carried forward by the distance its constants stand for and added to `b`: the low and
// high halves multiplied by their constants.
KEL_FOLDING_TARGET inline __m128i FoldOnto(__m128i a, __m128i k, __m128i b) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11)), b);
}

// Folds `length` bytes (a multiple of 16, at least 64) into the CRC register `reg` (the
// inverted form zlib keeps internally). Constants of the reflected polynomial 0xEDB88320 from
// Intel's "Fast CRC Computation for Generic Polynomials Using PCLMULQDQ Instruction":
// x^(4*128+32) and x^(4*128-32) mod P for the 4-way fold, x^(128+32) and x^(128-32) mod P for
// the single fold, x^64 mod P, then P and the Barrett constant mu.
KEL_FOLDING_TARGET uint32_t Fold(uint32_t reg, const unsigned char* p, std::size_t length) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
  p += 64;
  length -= 64;
  for (; length >= 64; p += 64, length -= 64) {
    x1 = FoldOnto(x1, k1k2, Load(p));
    x2 = FoldOnto(x2, k1k2, Load(p + 16));
    x3 = FoldOnto(x3, k1k2, Load(p + 32));
    x4 = FoldOnto(x4, k1k2, Load(p + 48));
  }
  x1 = FoldOnto(x1, k3k4, x2);
  x1 = FoldOnto(x1, k3k4, x3);
  x1 = FoldOnto(x1, k3k4, x4);
  for (; length >= 16; p += 16, length -= 16) x1 = FoldOnto(x1, k3k4, Load(p));

  // 128 bits to 64, then Barrett reduction to 32.
  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00), _mm_srli_si128(x, 4));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
  return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

bool HasFolding() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

#endif

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, std::size_t length) noexcept {
  auto p = static_cast<const unsigned char*>(data);
#if KEL_CRC32_FOLDING
  if (length >= 64 && HasFolding()) {
    const std::size_t whole = length & ~std::size_t{15};
    crc = ~Fold(~crc, p, whole);
    p += whole;
    length -= whole;
  }
#endif
  return static_cast<uint32_t>(crc32_z(crc, p, length));
}

}  // namespace kel
