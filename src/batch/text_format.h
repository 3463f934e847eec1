// Texts with values put in, for translated patterns: a translation may need the values in
// another order than the English text ("%2$s of %1$s" in one language, "%1$s 個中 %2$s 個" in
// another). The patterns are the printf subset that xgettext marks as c-format, so msgfmt
// --check verifies every translation against its English text.
#pragma once

#include <initializer_list>
#include <string>

namespace kel {

// `pattern` with "%s" replaced by the next of `values`, "%N$s" by the N-th (from 1) and "%%" by
// "%". A directive without a value (or of another form) stays as written, so a faulty
// translation shows its fault instead of reading past the values.
std::string Format(const char* pattern, std::initializer_list<std::string> values);

}  // namespace kel
