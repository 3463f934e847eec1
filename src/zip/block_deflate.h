// Deflate of one big file in blocks on several threads, as pigz does: the file is cut into
// blocks of kDeflateBlockSize, and each block is deflated on its own, by whichever thread of a
// WorkQueue is free, from a reset stream that has the 32 KiB of input before the block as its
// dictionary. Every block but the last ends with a sync flush (on a byte boundary), the last
// ends the deflate stream, so the blocks laid end to end in file order are one valid deflate
// stream. The bytes depend only on the file and the settings, never on the number of threads or
// on which thread did what; they differ from those of one deflate stream over the whole file
// (a little larger: each block starts its codes afresh).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kel {

class WorkQueue;

constexpr std::size_t kDeflateBlockSize = 128 * 1024;
constexpr std::size_t kDeflateDictionarySize = 32 * 1024;
// Blocks read but not yet appended, whatever the number of threads: with their input and
// output about 10 MB per file in work.
constexpr std::size_t kMaxBlocksInFlight = 32;
// Files smaller than this gain too little from blocks to be worth them.
constexpr uint64_t kBlockDeflateThreshold = 16 * 1024 * 1024;

struct BlockDeflateIo {
  // Fills `buffer` with up to `count` bytes of the file and returns how many it put there, fewer
  // only at the file's end. Throws to stop.
  std::function<std::size_t(unsigned char* buffer, std::size_t count)> read;
  // Takes the next block, in file order: its deflate data, the length of its input and the
  // input's CRC-32. Throws to stop.
  std::function<void(const unsigned char* data, std::size_t length, std::size_t input_length,
                     uint32_t crc)>
      append;
};

// Reads `size` (> 0) bytes through `io.read`, deflates them in blocks on `workers` at `level`
// and `strategy` (zlib's values) and hands every block to `io.append`, the last one ending the
// deflate stream. Returns the number of bytes read: `size`, or fewer when the file ended early
// (the data appended then lacks its end, and the entry must be given up). An exception of `io`,
// and std::bad_alloc when a block cannot be deflated, pass through once no block of this file is
// in work any more.
uint64_t DeflateInBlocks(uint64_t size, int level, int strategy, WorkQueue& workers,
                         const BlockDeflateIo& io);

}  // namespace kel
