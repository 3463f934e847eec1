#include "job/own_temporaries.h"

#include <optional>
#include <vector>

#include "platform/output_file.h"
#include "platform/output_folder.h"

namespace kel {
namespace {

constexpr std::string_view kIndexName = "files.txt";
constexpr std::size_t kHexDigits = 12;
constexpr std::size_t kArchiveNameLength = 12;
// What the first bytes of a temporary must be: a local header's signature, or an archive name
// in its listing form and a TAB.
constexpr std::string_view kLocalHeaderSignature("PK\x03\x04", 4);
constexpr std::size_t kIndexLineHead = kArchiveNameLength + 1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An archive name as the naming rule makes it: 4 digits, an extension field of 4 bytes (no dot,
// separator or control character; ASCII letters in the form's case) and the form's ".zip".
bool IsArchiveName(std::string_view name, bool listing_form) {
  if (name.size() != kArchiveNameLength) return false;
  for (std::size_t i = 0; i < 4; ++i)
    if (!IsDigit(name[i])) return false;
  for (std::size_t i = 4; i < 8; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F || c == '.' || c == '/' || c == '\\') return false;
    if (listing_form ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z')) return false;
  }
  return name.substr(8) == (listing_form ? ".ZIP" : ".zip");
}

// The final name inside a temporary's name, or nothing when the form is not exactly ours.
std::optional<std::string_view> FinalNameOf(std::string_view name) {
  const std::string_view prefix(kTemporaryPrefix);
  const std::string_view suffix(kTemporarySuffix);
  if (name.size() < prefix.size() + kHexDigits + 1 + suffix.size()) return std::nullopt;
  if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
  if (name.substr(name.size() - suffix.size()) != suffix) return std::nullopt;
  for (std::size_t i = prefix.size(); i < prefix.size() + kHexDigits; ++i) {
    const char c = name[i];
    if (!(IsDigit(c) || (c >= 'a' && c <= 'f'))) return std::nullopt;
  }
  if (name[prefix.size() + kHexDigits] != '-') return std::nullopt;
  const std::size_t begin = prefix.size() + kHexDigits + 1;
  const std::string_view final_name = name.substr(begin, name.size() - suffix.size() - begin);
  if (final_name != kIndexName && !IsArchiveName(final_name, false)) return std::nullopt;
  return final_name;
}

// The identity of `name` when it is provably ours (see IsOwnTemporary).
std::optional<FileIdentity> ProvenTemporary(const OutputFolder& folder, const std::string& name) {
  const std::optional<std::string_view> final_name = FinalNameOf(name);
  if (!final_name) return std::nullopt;
  OutputEntry entry;
  int error_number = 0;
  File file = folder.TryOpenRegular(name, entry, error_number);
  if (!file.IsOpen()) return std::nullopt;
  if (entry.kind != OutputEntry::Kind::kRegular || entry.links != 1 || !entry.owned_by_user)
    return std::nullopt;
  if (entry.size == 0) return entry.identity;
  const bool index = *final_name == kIndexName;
  const std::size_t wanted = index ? kIndexLineHead : kLocalHeaderSignature.size();
  std::string head(wanted, '\0');
  std::size_t got = 0;
  while (got < wanted) {
    const int64_t n = file.TryRead(head.data() + got, wanted - got, error_number);
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  if (index) {
    if (head.back() != '\t' || !IsArchiveName(std::string_view(head).substr(0, 12), true))
      return std::nullopt;
  } else if (head != kLocalHeaderSignature) {
    return std::nullopt;
  }
  return entry.identity;
}

}  // namespace

bool HasOwnTemporaryName(std::string_view name) { return FinalNameOf(name).has_value(); }

bool IsOwnTemporary(const OutputFolder& folder, const std::string& name) noexcept {
  try {
    return ProvenTemporary(folder, name).has_value();
  } catch (...) {
    return false;
  }
}

int RemoveStaleTemporaries(const OutputFolder& folder) noexcept {
  if (!folder.Locked()) return 0;
  int removed = 0;
  try {
    std::vector<std::string> names;
    int error_number = 0;
    // A listing that fails part-way still offers what it read.
    folder.TryList(names, error_number);
    for (const std::string& name : names) {
      if (!HasOwnTemporaryName(name)) continue;
      const std::optional<FileIdentity> identity = ProvenTemporary(folder, name);
      if (identity && folder.TryRemoveIfSame(name, *identity)) ++removed;
    }
  } catch (...) {
  }
  return removed;
}

}  // namespace kel
