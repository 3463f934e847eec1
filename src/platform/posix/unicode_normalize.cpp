#include "platform/unicode_normalize.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

namespace kel {

std::optional<std::string> ComposedUtf8(std::string_view utf8) {
  utf8proc_uint8_t* composed = nullptr;
  // STABLE keeps unassigned code points out of the result; COMPOSE decomposes canonically first,
  // as NFC requires.
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data()),
                   static_cast<utf8proc_ssize_t>(utf8.size()), &composed,
                   static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(composed, &std::free);
  if (length < 0) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(composed), static_cast<std::size_t>(length));
}

}  // namespace kel
