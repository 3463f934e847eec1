#include "platform/output_file.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string_view>

#include "platform/code_page.h"
#include "platform/file_identity.h"
#include "platform/file_info.h"
#include "platform/output_folder.h"
#include "platform/path_syntax.h"

namespace kel {
namespace {

constexpr int kCreateAttempts = 16;

// Twelve hex digits that no other run picks by chance: the clock's nanoseconds, the name and
// the attempt mixed (splitmix64). A clash costs only another attempt, since the file is
// created new-only; the system's random source would cost more than the whole file here.
std::string RandomPart(const std::string& name, int attempt) {
  uint64_t x = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
               (std::hash<std::string>{}(name) << 1) ^ static_cast<uint64_t>(attempt);
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  char text[17];
  std::snprintf(text, sizeof text, "%012llx",
                static_cast<unsigned long long>(x & 0xFFFFFFFFFFFFull));
  return text;
}

std::string TemporaryName(const OutputFolder& folder, const std::string& final_name,
                          int attempt) {
  return kTemporaryPrefix + RandomPart(folder.Path() + final_name, attempt) + "-" + final_name +
         kTemporarySuffix;
}

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

}  // namespace

bool IsTemporaryName(const std::string& file_name) {
  const std::string_view name(file_name);
  const std::string_view prefix(kTemporaryPrefix);
  // Prefix, 12 hex digits, "-", a final name of at least one byte, suffix.
  if (name.size() < prefix.size() + 14 + std::string_view(kTemporarySuffix).size()) return false;
  if (name.substr(0, prefix.size()) != prefix || !EndsWith(name, kTemporarySuffix)) return false;
  for (std::size_t i = prefix.size(); i < prefix.size() + 12; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return name[prefix.size() + 12] == '-';
}

OutputFile::~OutputFile() { Discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(std::move(other.file_)),
      unnamed_(other.unnamed_),
      folder_(other.folder_),
      own_folder_(std::move(other.own_folder_)),
      final_name_(std::move(other.final_name_)),
      temporary_name_(std::move(other.temporary_name_)),
      final_path_(std::move(other.final_path_)),
      temporary_path_(std::move(other.temporary_path_)) {
  other.unnamed_ = false;
  other.temporary_name_.clear();
  other.temporary_path_.clear();
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Discard();
    file_ = std::move(other.file_);
    unnamed_ = other.unnamed_;
    folder_ = other.folder_;
    own_folder_ = std::move(other.own_folder_);
    final_name_ = std::move(other.final_name_);
    temporary_name_ = std::move(other.temporary_name_);
    final_path_ = std::move(other.final_path_);
    temporary_path_ = std::move(other.temporary_path_);
    other.unnamed_ = false;
    other.temporary_name_.clear();
    other.temporary_path_.clear();
  }
  return *this;
}

OutputFile OutputFile::TryCreate(const OutputFolder& folder, const std::string& final_name,
                                 int& error_number) noexcept {
  OutputFile output;
  try {
    if (File unnamed = folder.TryCreateUnnamed(); unnamed.IsOpen()) {
      output.file_ = std::move(unnamed);
      output.unnamed_ = true;
      output.folder_ = &folder;
      output.final_name_ = final_name;
      output.final_path_ = folder.Path() + final_name;
      return output;
    }
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
      std::string temporary = TemporaryName(folder, final_name, attempt);
      File file = folder.TryCreateNew(temporary, true, error_number);
      if (file.IsOpen()) {
        output.file_ = std::move(file);
        output.folder_ = &folder;
        output.final_name_ = final_name;
        output.final_path_ = folder.Path() + final_name;
        output.temporary_path_ = folder.Path() + temporary;
        output.temporary_name_ = std::move(temporary);
        return output;
      }
      if (error_number != kErrorFileExists) break;
    }
  } catch (...) {
    error_number = 8;  // out of memory
  }
  return output;
}

OutputFile OutputFile::TryCreate(const std::string& final_path, int& error_number) noexcept {
  try {
    const PathSyntax syntax = PathSyntax::Native();
    std::string folder_path = syntax.ExtractFilePath(final_path);
    if (folder_path.empty()) folder_path = "." + std::string(1, syntax.Separator());
    auto folder = std::make_unique<OutputFolder>(OutputFolder::TryOpen(folder_path, error_number));
    if (!folder->IsOpen()) return OutputFile();
    OutputFile output = TryCreate(*folder, syntax.ExtractFileName(final_path), error_number);
    if (output.IsOpen()) {
      // Shown as given, not with the "./" the folder was opened by.
      output.final_path_ = final_path;
      output.temporary_path_ = syntax.ExtractFilePath(final_path) + output.temporary_name_;
      output.own_folder_ = std::move(folder);
    }
    return output;
  } catch (...) {
    error_number = 8;
    return OutputFile();
  }
}

int OutputFile::TryCommit(bool* move_failed) noexcept {
  if (move_failed != nullptr) *move_failed = false;
  if (unnamed_) return CommitUnnamed(move_failed);
  if (temporary_name_.empty()) return 6;
  int error_number = 0;
  const auto written = file_.Status(std::string(), error_number);
  if (written && written->links == 0) {
    // Someone removed the temporary (and may have put another file under its name): what
    // would be moved into place is not what was written.
    Discard();
    return 2;
  }
  return CloseAndMove(move_failed);
}

int OutputFile::CloseAndMove(bool* move_failed) noexcept {
  if (const int close_error = file_.TryClose(); close_error != 0) {
    Discard();
    return close_error;
  }
  if (const int move_error = folder_->TryReplace(temporary_name_, final_name_); move_error != 0) {
    if (move_failed != nullptr) *move_failed = true;
    Discard();
    return move_error;
  }
  temporary_name_.clear();
  temporary_path_.clear();
  return 0;
}

int OutputFile::CommitUnnamed(bool* move_failed) noexcept {
  // Named straight with the final name when it is free: nothing else to change in the folder.
  // Where names were taken before (a run over an earlier one), that try is spared.
  int error_number = folder_->NameTakenBefore() ? kErrorFileExists
                                                : folder_->TryLinkNew(file_, final_name_);
  if (error_number == kErrorFileExists) {
    // Something stands there (an older output, a link, a folder): named as a temporary, it is
    // moved onto that as any temporary is, or refused. Named a moment ago, it needs no check
    // that it is still the file written.
    folder_->NoteNameTaken();
    try {
      for (int attempt = 0; attempt < kCreateAttempts && error_number == kErrorFileExists;
           ++attempt) {
        temporary_name_ = TemporaryName(*folder_, final_name_, attempt);
        error_number = folder_->TryLinkNew(file_, temporary_name_);
      }
      if (error_number == 0) {
        unnamed_ = false;
        temporary_path_ = folder_->Path() + temporary_name_;
        return CloseAndMove(move_failed);
      }
    } catch (...) {
      error_number = 8;  // out of memory
    }
    temporary_name_.clear();
  }
  if (error_number != 0) {
    if (move_failed != nullptr) *move_failed = true;
    Discard();
    return error_number;
  }
  unnamed_ = false;
  if (const int close_error = file_.TryClose(); close_error != 0) {
    // Named a moment ago, in the locked folder: the incomplete file is ours to take back.
    folder_->TryRemove(final_name_);
    return close_error;
  }
  return 0;
}

void OutputFile::Discard() noexcept {
  if (unnamed_) {
    // Nameless, it goes with its handle.
    file_.TryClose();
    unnamed_ = false;
    return;
  }
  if (temporary_name_.empty()) return;
  int error_number = 0;
  const auto written = file_.IsOpen() ? file_.Status(std::string(), error_number) : std::nullopt;
  file_.TryClose();
  if (written) {
    folder_->TryRemoveIfSame(temporary_name_, FileIdentity{written->device, written->inode});
  } else if (!file_.IsOpen()) {
    // Closed already (a failed commit): the name is still this run's own random one.
    folder_->TryRemove(temporary_name_);
  }
  temporary_name_.clear();
  temporary_path_.clear();
}

int RemoveFailedOutput(const OutputFolder& folder, const std::string& name) noexcept {
  int error_number = 0;
  const std::optional<OutputEntry> entry = folder.TryEntry(name, &error_number);
  if (!entry) return error_number == 2 ? 0 : error_number;
  if (entry->kind != OutputEntry::Kind::kRegular && entry->kind != OutputEntry::Kind::kLink)
    return 5;
  const int removed = folder.TryRemove(name);
  return removed == 2 ? 0 : removed;
}

}  // namespace kel
