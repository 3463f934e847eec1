// Unicode normalization of UTF-8 text, from the system's own tables (utf8proc on POSIX,
// NormalizeString on Windows).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kel {

// The canonical composition (NFC) of the UTF-8 text `utf8`: a letter followed by combining marks,
// as macOS writes names ("か" + U+3099), becomes the one character a keyboard gives ("が").
// Nothing when `utf8` is not valid UTF-8 or the system cannot compose it. Never throws beyond
// std::bad_alloc.
std::optional<std::string> ComposedUtf8(std::string_view utf8);

}  // namespace kel
