#include "batch/progress_display.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "batch/text_format.h"
#include "job/archive_step.h"
#include "platform/translation.h"

namespace kel {

namespace {

constexpr auto kRedrawPeriod = std::chrono::milliseconds(100);

// The code point of the UTF-8 character of `length` bytes at `at`, or -1 when the bytes are no
// well-formed character.
long DecodeUtf8(const std::string& s, std::size_t at, std::size_t length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[at + i]); };
  if (length == 1) return byte(0) < 0x80 ? byte(0) : -1;
  long cp = byte(0) & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return -1;
    cp = cp << 6 | (byte(i) & 0x3F);
  }
  return cp;
}

bool IsZeroWidth(long cp) {
  return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) ||
         (cp >= 0x1DC0 && cp <= 0x1DFF) || (cp >= 0x200B && cp <= 0x200F) ||
         (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0x3099 && cp <= 0x309A) ||
         (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xFE20 && cp <= 0xFE2F);
}

// East Asian wide and fullwidth characters, the emoji blocks included.
bool IsWide(long cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
         (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
         (cp >= 0x1F900 && cp <= 0x1F9FF) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

// One character of a name as the terminal gets it: its bytes (or "?" for a control character
// or broken bytes, which must not reach a terminal raw) and its width.
struct Glyph {
  std::string text;
  int width = 1;
};

Glyph GlyphAt(const std::string& s, std::size_t at, std::size_t length, CodePage cp) {
  const auto first = static_cast<unsigned char>(s[at]);
  if (length == 1 && (first < 0x20 || first == 0x7F)) return {"?", 1};
  if (cp == CodePage::kShiftJis || cp == CodePage::kSystemDoubleByte)
    return {s.substr(at, length), length == 2 ? 2 : 1};
  if (cp != CodePage::kUtf8) return {s.substr(at, length), 1};
  const long code = DecodeUtf8(s, at, length);
  if (code < 0 || (code >= 0x80 && code <= 0x9F)) return {"?", 1};
  return {s.substr(at, length), IsZeroWidth(code) ? 0 : IsWide(code) ? 2 : 1};
}

// The longest run of whole characters of `text` that fits in `columns`, made safe to print.
std::string FitToColumns(const std::string& text, int columns, CodePage cp) {
  std::string out;
  int used = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = CharLengthAt(text, at, cp);
    const Glyph glyph = GlyphAt(text, at, length, cp);
    if (used + glyph.width > columns) break;
    out += glyph.text;
    used += glyph.width;
    at += length;
  }
  return out;
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// "45.6/140.2 MB": both numbers in the unit that suits the total.
std::string BytesOfTotal(uint64_t done, uint64_t total) {
  if (total < 1000) return std::to_string(done) + "/" + std::to_string(total) + " B";
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
  double scale = 1e3;
  int unit = 0;
  while (unit < 3 && static_cast<double>(total) >= scale * 1e3) {
    scale *= 1e3;
    ++unit;
  }
  return Fixed(static_cast<double>(done) / scale, 1) + "/" +
         Fixed(static_cast<double>(total) / scale, 1) + " " + kUnits[unit];
}

// "m:ss", or "h:mm:ss" from an hour on.
std::string Duration(double seconds) {
  const auto whole = static_cast<long long>(seconds < 0 ? 0 : seconds);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

// The share done, from the bytes, or from the files when there are no bytes to count.
double ShareDone(const ProgressFacts& f) {
  if (f.bytes > 0) return std::min(1.0, static_cast<double>(f.bytes_done) / f.bytes);
  if (f.files > 0) return std::min(1.0, static_cast<double>(f.files_done) / f.files);
  return 1.0;
}

std::string Remaining(const ProgressFacts& f) {
  const double share = ShareDone(f);
  if (share >= 1.0) return Duration(0);
  if (share <= 0.0 || f.elapsed_seconds <= 0.0) return "--:--";
  return Duration(f.elapsed_seconds * (1.0 - share) / share);
}

}  // namespace

void LinePanel::SetText(const std::string& text) {
  if (text.empty()) return;
  out_ << text << '\n';
  pending_ = true;
  if (text == kCompletionText) {
    Flush();
  } else {
    Tick();
  }
}

void LinePanel::Tick() {
  if (pending_ && std::chrono::steady_clock::now() - last_flush_ >= kRedrawPeriod) Flush();
}

void LinePanel::Flush() {
  out_.flush();
  pending_ = false;
  last_flush_ = std::chrono::steady_clock::now();
}

int DisplayWidth(const std::string& text, CodePage cp) {
  int width = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = CharLengthAt(text, at, cp);
    width += GlyphAt(text, at, length, cp).width;
    at += length;
  }
  return width;
}

std::string ProgressLine(const ProgressFacts& f, int columns, CodePage cp) {
  std::string line = Format(
      // TRANSLATORS: files done/files, bytes done/bytes, percent, elapsed and remaining time;
      // the current file's name follows. Keep it short: it shares one terminal line.
      _("%s/%s files  %s  %s%%  elapsed %s  left %s"),
      {std::to_string(f.files_done), std::to_string(f.files), BytesOfTotal(f.bytes_done, f.bytes),
       std::to_string(static_cast<int>(ShareDone(f) * 100)), Duration(f.elapsed_seconds),
       Remaining(f)});
  if (!f.current_name.empty()) line += "  " + f.current_name;
  return FitToColumns(line, columns - 1, cp);
}

TerminalPanel::TerminalPanel(std::ostream& out, std::function<ProgressFacts()> facts,
                             std::function<int()> columns, CodePage cp)
    : out_(out),
      facts_(std::move(facts)),
      columns_(std::move(columns)),
      cp_(cp),
      start_(Clock::now()) {}

void TerminalPanel::Start() {
  start_ = Clock::now();
  Redraw(true);
}

void TerminalPanel::SetText(const std::string& text) {
  if (text == kCompletionText) {
    Clear();
    out_ << text << '\n' << std::flush;
  } else if (!text.empty()) {
    Redraw(false);
  }
}

void TerminalPanel::Tick() { Redraw(false); }

void TerminalPanel::Clear() {
  if (!shown_) return;
  out_ << "\r\x1b[K" << std::flush;
  shown_ = false;
}

void TerminalPanel::Redraw(bool force) {
  const Clock::time_point now = Clock::now();
  if (!force && shown_ && now - last_draw_ < kRedrawPeriod) return;
  ProgressFacts facts = facts_();
  facts.elapsed_seconds = std::chrono::duration<double>(now - start_).count();
  out_ << '\r' << ProgressLine(facts, columns_(), cp_) << "\x1b[K" << std::flush;
  last_draw_ = now;
  shown_ = true;
}

}  // namespace kel
