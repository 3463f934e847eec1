#include "batch/delivery_check.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

#include "batch/batch_language.h"
#include "batch/batch_run.h"
#include "batch/check_problems.h"
#include "batch/delivery_index.h"
#include "batch/progress_display.h"
#include "batch/source_files.h"
#include "batch/text_format.h"
#include "job/archive_naming.h"
#include "job/job_errors.h"
#include "job/name_text.h"
#include "job/own_temporaries.h"
#include "platform/code_page.h"
#include "platform/directory_lookup.h"
#include "platform/dos_time.h"
#include "platform/error_text.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/interrupt_watch.h"
#include "platform/output_folder.h"
#include "platform/path_syntax.h"
#include "platform/translation.h"
#include "zip/archive_reader.h"
#include "zip/entry_stream.h"

namespace kel {

namespace {

constexpr const char* kIndexName = "files.txt";
// MS-DOS times have two-second steps; more than that apart is a real difference.
constexpr int64_t kTimeTolerance = 2;

// One archive name of the delivery: listed in files.txt, standing on disk, or both.
struct Slot {
  std::string key;                    // the listing form (upper case), in the program's text
  const IndexEntry* entry = nullptr;  // its line of files.txt
  std::string disk;                   // the name on disk; empty when there is none
  bool to_read = false;               // a regular file to be read through
  uint64_t size = 0;
  int source = -1;          // the file of SOURCE its entry holds
  bool entry_read = false;  // the entry's central record could be read
  std::vector<Problem> problems;
  bool done = false;
};

// Seconds since an arbitrary day of an MS-DOS date and time value, for differences.
int64_t DosSeconds(uint32_t dos) {
  const DosDateTimeParts p = DecodeDosDateTime(dos);
  // Days from civil (proleptic Gregorian), shifted so that March begins the year.
  const int y = p.year - (p.month <= 2 ? 1 : 0);
  const int era = y / 400, yoe = y - era * 400;
  const int doy = (153 * (p.month + (p.month > 2 ? -3 : 9)) + 2) / 5 + p.day - 1;
  const int64_t days = int64_t{era} * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return days * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
}

class DeliveryCheck {
 public:
  DeliveryCheck(const CheckSettings& settings, std::ostream& out, std::ostream& err)
      : settings_(settings), out_(out), err_(err), syntax_(PathSyntax::Native()) {}

  int Run();

 private:
  std::string ToText(const std::string& bytes) const;
  std::string EntryText(const EntryFacts& entry) const;
  bool ReadIndex(std::string& bytes);
  void PlaceArchives(const ParsedIndex& index);
  // A killed run's leftover, proven as the run's clean-up proves it.
  bool IsLeftoverTemporary(const std::string& name) const {
    return HasOwnTemporaryName(name) && IsOwnTemporary(folder_, name);
  }
  void CheckSlots();
  void CheckArchive(Slot& slot);
  void CheckEntry(Slot& slot, const EntryFacts& entry, std::unique_ptr<SourceComparison>& source);
  void FinishSource(Slot& slot, const EntryFacts& entry, SourceComparison& source);
  int FindSource(const EntryFacts& entry) const;
  int SourceByIndex(const Slot& slot) const;
  void Print(const Problem& problem);
  void PrintSummary();
  bool Stopped() const { return settings_.interrupt_signal && settings_.interrupt_signal() != 0; }

  const CheckSettings& settings_;
  std::ostream& out_;
  std::ostream& err_;
  PathSyntax syntax_;
  std::string output_;  // with its trailing separator
  OutputFolder folder_;  // `output_`, open and locked while the check runs
  bool with_source_ = false;
  SourceFiles sources_;
  std::vector<Slot> slots_;
  std::vector<std::string> temporaries_;
  std::unique_ptr<TerminalPanel> panel_;

  std::mutex mutex_;
  std::condition_variable slot_done_;
  std::atomic<uint64_t> bytes_read_{0};
  std::atomic<int32_t> archives_done_{0};
  std::atomic<int32_t> current_{-1};
  uint64_t bytes_total_ = 0;
  int32_t archives_total_ = 0;
  int errors_ = 0;
  int warnings_ = 0;
  std::map<std::string, int> counts_;  // by summary label
};

std::string DeliveryCheck::ToText(const std::string& bytes) const {
  // The run's encoding first; a name that is not text in it is tried as the other.
  const bool cp932_first = settings_.encoding == NameEncoding::kCp932;
  if (cp932_first || (syntax_.code_page == CodePage::kUtf8 && !IsValidUtf8(bytes)))
    if (const auto text = Cp932ToUtf8(bytes)) return *text;
  return bytes;
}

std::string DeliveryCheck::EntryText(const EntryFacts& entry) const {
  if ((entry.flags & kFlagUtf8Name) != 0 && syntax_.code_page == CodePage::kUtf8) return entry.name;
  return ToText(entry.name);
}

// Reads files.txt whole; false (with the message on `err`) when the folder has none.
bool DeliveryCheck::ReadIndex(std::string& bytes) {
  const std::string path = output_ + kIndexName;
  int error_number = 0;
  File file = File::TryOpen(path, OpenMode::kReadEntry, error_number);
  if (!file.IsOpen()) {
    if (QueryEntryKind(path) == EntryKind::kMissing) {
      err_ << EscapedName(Format(_("Folder %s is not an output folder: it holds no files.txt"),
                                 {settings_.output}))
           << '\n';
    } else {
      err_ << EscapedName(Format(
                  _("files.txt of folder %1$s cannot be read (%2$s)"),
                  {settings_.output, TranslatedReasonText(Reason::FromErrorNumber(error_number))}))
           << '\n';
    }
    return false;
  }
  char block[65536];
  for (;;) {
    const int64_t n = file.TryRead(block, sizeof block, error_number);
    if (n < 0) {
      err_ << EscapedName(Format(
                  _("files.txt of folder %1$s cannot be read (%2$s)"),
                  {settings_.output, TranslatedReasonText(Reason::FromErrorNumber(error_number))}))
           << '\n';
      return false;
    }
    if (n == 0) return true;
    bytes.append(block, static_cast<std::size_t>(n));
  }
}

// The slots of every listed archive and every archive-like name on disk, in name order, with
// what can be told without reading them.
void DeliveryCheck::PlaceArchives(const ParsedIndex& index) {
  std::map<std::string, Slot> by_key;
  for (const IndexEntry& entry : index.entries) {
    Slot& slot = by_key[entry.listing];
    slot.key = entry.listing;
    slot.entry = &entry;
  }
  DirectoryLookup lookup;
  FindRecord record;
  for (bool found = lookup.FindFirst(output_ + "*", record); found;
       found = lookup.FindNext(record)) {
    const std::string& name = record.long_name;
    if (IsLeftoverTemporary(name)) {
      temporaries_.push_back(name);
      continue;
    }
    if (!IsArchiveName(name)) continue;
    const std::string key = AnsiUpperCase(name, syntax_.code_page);
    Slot& slot = by_key[key];
    slot.key = key;
    const std::string expected = AnsiLowerCase(key, syntax_.code_page);
    // The exact name wins over one in other case.
    if (slot.disk.empty() || name == expected) slot.disk = name;
  }
  std::sort(temporaries_.begin(), temporaries_.end());
  for (auto& [key, slot] : by_key) {
    Problem p;
    p.subject = key;
    if (slot.entry == nullptr) {
      p.kind = CheckProblem::kArchiveStray;
      p.text = slot.disk;
      slot.problems.push_back(p);
    } else if (slot.disk.empty()) {
      p.kind = CheckProblem::kArchiveMissing;
      slot.problems.push_back(p);
    } else {
      if (slot.disk != AnsiLowerCase(key, syntax_.code_page)) {
        p.kind = CheckProblem::kArchiveCaseDiffers;
        p.text = slot.disk;
        slot.problems.push_back(p);
      }
      for (Problem& short_name : ShortNameProblems(key, slot.disk))
        slot.problems.push_back(short_name);
      const std::string path = output_ + slot.disk;
      switch (QueryEntryKind(path)) {
        case EntryKind::kRegular:
          slot.to_read = true;
          if (const auto status = QueryFileStatus(path)) slot.size = status->size;
          break;
        case EntryKind::kLink:
          p.kind = CheckProblem::kArchiveLink;
          slot.problems.push_back(p);
          break;
        case EntryKind::kMissing:
          p.kind = CheckProblem::kArchiveMissing;
          slot.problems.push_back(p);
          break;
        default:
          p.kind = CheckProblem::kArchiveNotFile;
          slot.problems.push_back(p);
          break;
      }
    }
    slot.done = !slot.to_read;
    if (slot.to_read) {
      ++archives_total_;
      bytes_total_ += slot.size;
    }
    slots_.push_back(std::move(slot));
  }
}

int DeliveryCheck::FindSource(const EntryFacts& entry) const {
  for (const std::string& name : {EntryText(entry), entry.name}) {
    const int found = sources_.Find(name);
    if (found >= 0) return found;
  }
  if (const auto other = Cp932ToUtf8(entry.name)) return sources_.Find(*other);
  return -1;
}

// The file a listed archive that could not be read was made of, by its index line: the base
// name and the extension field. Its problem is the archive's; the file is not reported again.
int DeliveryCheck::SourceByIndex(const Slot& slot) const {
  const std::string field = slot.key.substr(4, slot.key.size() - 8);
  const std::vector<SourceFile>& files = sources_.Files();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& name = files[i].name;
    if (syntax_.ExtractBaseName(name) == slot.entry->base &&
        AnsiUpperCase(ExtensionField(name, syntax_), syntax_.code_page) == field)
      return static_cast<int>(i);
  }
  return -1;
}

void DeliveryCheck::CheckEntry(Slot& slot, const EntryFacts& entry,
                               std::unique_ptr<SourceComparison>& source) {
  const std::string name = EntryText(entry);
  Problem p;
  p.subject = slot.key;
  p.text = name;
  PathSyntax syntax = syntax_;
  syntax.code_page = IsValidUtf8(name) ? CodePage::kUtf8 : CodePage::kShiftJis;
  const std::string file_name = syntax.ExtractFileName(name);
  if (syntax.ExtractBaseName(file_name) != slot.entry->base) {
    p.kind = CheckProblem::kEntryBaseName;
    slot.problems.push_back(p);
  }
  const std::string field = slot.key.substr(4, slot.key.size() - 8);
  if (AnsiUpperCase(ExtensionField(file_name, syntax), syntax.code_page) != field) {
    p.kind = CheckProblem::kEntryExtension;
    slot.problems.push_back(p);
  }
  if (!with_source_) return;
  slot.source = FindSource(entry);
  if (slot.source < 0) {
    p.kind = CheckProblem::kArchiveWithoutFile;
    slot.problems.push_back(p);
    return;
  }
  const SourceFile& file = sources_.Files()[static_cast<std::size_t>(slot.source)];
  source = std::make_unique<SourceComparison>(file.path);
  if (!source->IsOpen()) {
    p.kind = CheckProblem::kFileUnreadable;
    p.text = file.name;
    p.other = TranslatedReasonText(Reason::FromErrorNumber(source->ErrorNumber()));
    slot.problems.push_back(p);
    source.reset();
    return;
  }
  uint32_t dos = 0;
  if (UnixTimeToLocalDos(source->WriteTime(), dos)) {
    const int64_t apart = DosSeconds(dos) - DosSeconds(entry.time);
    if (apart > kTimeTolerance || -apart > kTimeTolerance) {
      p.kind = CheckProblem::kFileTime;
      p.text = file.name;
      p.number = static_cast<uint64_t>(apart < 0 ? -apart : apart);
      slot.problems.push_back(p);
    }
  }
}

void DeliveryCheck::FinishSource(Slot& slot, const EntryFacts& entry, SourceComparison& source) {
  const std::optional<uint64_t> difference = source.FirstDifference();
  bytes_read_.fetch_add(source.BytesRead(), std::memory_order_relaxed);
  if (!difference) return;
  Problem p;
  p.subject = slot.key;
  p.text = sources_.Files()[static_cast<std::size_t>(slot.source)].name;
  if (source.Size() != entry.uncompressed) {
    p.kind = CheckProblem::kFileSize;
    p.number = source.Size();
    p.other_number = entry.uncompressed;
  } else {
    p.kind = CheckProblem::kFileDiffers;
    p.number = *difference;
  }
  slot.problems.push_back(p);
}

void DeliveryCheck::CheckArchive(Slot& slot) {
  int error_number = 0;
  File file = File::TryOpen(output_ + slot.disk, OpenMode::kReadEntry, error_number);
  if (!file.IsOpen()) {
    Problem p;
    p.kind = CheckProblem::kArchiveUnreadable;
    p.subject = slot.key;
    p.text = TranslatedReasonText(Reason::FromErrorNumber(error_number));
    slot.problems.push_back(p);
    return;
  }
  std::unique_ptr<SourceComparison> source;
  bool fatal = false;
  ArchiveReadHooks hooks;
  hooks.on_finding = [&slot, &fatal](const ArchiveFinding& finding) {
    Problem p;
    p.kind = CheckProblem::kArchiveDamaged;
    p.subject = slot.key;
    p.finding = finding;
    slot.problems.push_back(p);
    fatal = fatal || IsFatal(finding.kind);
    return true;
  };
  hooks.on_entry = [this, &slot, &source](const EntryFacts& entry) {
    slot.entry_read = true;
    if (slot.entry != nullptr) CheckEntry(slot, entry, source);
  };
  hooks.on_data = [&source](const unsigned char* data, std::size_t length) {
    if (source) source->Feed(data, length);
  };
  hooks.on_progress = [this](uint64_t bytes) {
    bytes_read_.fetch_add(bytes, std::memory_order_relaxed);
    if (Stopped()) throw EAbort();
  };
  const std::optional<EntryFacts> entry = ReadArchive(file, hooks);
  // Damaged data says nothing about the source: only a sound entry is compared.
  if (source && entry && !fatal) FinishSource(slot, *entry, *source);
}

void DeliveryCheck::Print(const Problem& problem) {
  if (panel_) panel_->Clear();
  out_ << ProblemLine(problem) << '\n';
  (IsWarning(problem) ? warnings_ : errors_) += 1;
  ++counts_[SummaryLabel(problem)];
}

// Reads the slots on the workers and prints each slot's problems in name order as soon as it
// and every slot before it are done.
void DeliveryCheck::CheckSlots() {
  std::vector<std::size_t> queue;
  for (std::size_t i = 0; i < slots_.size(); ++i)
    if (slots_[i].to_read) queue.push_back(i);
  std::atomic<std::size_t> next{0};
  auto work = [this, &queue, &next] {
    for (std::size_t at = next++; at < queue.size() && !Stopped(); at = next++) {
      Slot& slot = slots_[queue[at]];
      current_ = static_cast<int32_t>(queue[at]);
      try {
        CheckArchive(slot);
      } catch (const EAbort&) {
      }
      archives_done_.fetch_add(1);
      std::lock_guard<std::mutex> lock(mutex_);
      slot.done = true;
      slot_done_.notify_all();
    }
  };
  const int workers = std::max(1, std::min<int>(settings_.jobs, static_cast<int>(queue.size())));
  std::vector<std::thread> threads;
  for (int i = 0; i < workers; ++i) threads.emplace_back(work);
  std::vector<int> claimed(sources_.Files().size(), -1);
  for (std::size_t i = 0; i < slots_.size() && !Stopped(); ++i) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      while (!slots_[i].done && !Stopped()) {
        slot_done_.wait_for(lock, std::chrono::milliseconds(100));
        if (panel_) panel_->Tick();
      }
      if (!slots_[i].done) break;
    }
    Slot& slot = slots_[i];
    if (with_source_ && slot.entry != nullptr && !slot.entry_read)
      slot.source = SourceByIndex(slot);
    // Claimed here, in name order, so that the report does not depend on the workers.
    if (slot.source >= 0) {
      int& first = claimed[static_cast<std::size_t>(slot.source)];
      if (first >= 0) {
        Problem p;
        p.kind = CheckProblem::kFileInTwoArchives;
        p.subject = slot.key;
        p.text = sources_.Files()[static_cast<std::size_t>(slot.source)].name;
        p.other = slots_[static_cast<std::size_t>(first)].key;
        slot.problems.push_back(p);
      } else {
        first = static_cast<int>(i);
      }
    }
    for (const Problem& problem : slot.problems) Print(problem);
  }
  for (std::thread& thread : threads) thread.join();
  if (Stopped()) return;
  for (const std::string& name : temporaries_) {
    Problem p;
    p.kind = CheckProblem::kLeftoverTemporary;
    p.subject = name;
    p.text = name;
    Print(p);
  }
  if (!with_source_) return;
  for (std::size_t i = 0; i < claimed.size(); ++i) {
    if (claimed[i] >= 0) continue;
    Problem p;
    p.kind = CheckProblem::kFileWithoutArchive;
    p.subject = sources_.Files()[i].name;
    Print(p);
  }
}

void DeliveryCheck::PrintSummary() {
  if (panel_) panel_->Clear();
  const auto archives = static_cast<unsigned long>(archives_done_.load());
  // TRANSLATORS: the two parts of one line: "300 archives checked, 52428800 bytes read".
  out_ << Format(P_("%s archive checked", "%s archives checked", archives),
                 {std::to_string(archives)})
       << Format(_(", %s bytes read"), {std::to_string(bytes_read_.load())}) << '\n';
  // TRANSLATORS: the two parts of one line: "2 errors, 1 warning".
  out_ << Format(P_("%s error", "%s errors", static_cast<unsigned long>(errors_)),
                 {std::to_string(errors_)})
       << Format(P_(", %s warning\n", ", %s warnings\n", static_cast<unsigned long>(warnings_)),
                 {std::to_string(warnings_)});
  for (const auto& [label, count] : counts_)
    out_ << "  " << Format(_("%1$s: %2$s"), {label, std::to_string(count)}) << '\n';
  out_ << std::flush;
}

int DeliveryCheck::Run() {
  std::string source;
  try {
    output_ = syntax_.IncludeTrailingSeparator(ResolvedFolder(settings_.output));
    if (!settings_.source.empty())
      source = syntax_.IncludeTrailingSeparator(ResolvedFolder(settings_.source));
  } catch (const Exception& e) {
    err_ << ErrorLines(e, settings_.english_notes) << std::flush;
    return 1;
  }
  // As a run takes it: a folder that a run is writing is not read half-written.
  int error_number = 0;
  folder_ = OutputFolder::TryOpen(output_, error_number);
  if (!folder_.IsOpen()) {
    err_ << ErrorLines(EInOutError(error_number), settings_.english_notes) << std::flush;
    return 1;
  }
  switch (folder_.TryLock(error_number)) {
    case OutputFolder::LockState::kLocked:
      break;
    case OutputFolder::LockState::kBusy:
      err_ << ErrorLines(EFolderBusy(output_), settings_.english_notes) << std::flush;
      return 1;
    case OutputFolder::LockState::kUnsupported:
      err_ << EscapedName(Format(_("Folder %s cannot be locked: another run writing into it "
                                   "at the same time would go unnoticed"),
                                 {output_}))
           << '\n';
      break;
    case OutputFolder::LockState::kFailed:
      err_ << ErrorLines(EInOutError(error_number), settings_.english_notes) << std::flush;
      return 1;
  }
  std::string bytes;
  if (!ReadIndex(bytes)) return 1;
  bytes_read_ += bytes.size();
  const ParsedIndex index = ParseIndex(bytes, [this](const std::string& b) { return ToText(b); });
  with_source_ = !source.empty();
  if (with_source_) {
    const bool same = source == output_;
    // As a run collects: its own temporaries are no sources, a user's look-alike is.
    int source_error = 0;
    const OutputFolder source_folder = OutputFolder::TryOpen(source, source_error);
    sources_ = SourceFiles(source, [&](const std::string& name) {
      if (HasOwnTemporaryName(name) && IsOwnTemporary(source_folder, name)) return true;
      return same && (name == kIndexName || IsArchiveName(name));
    });
  }
  PlaceArchives(index);
  if (settings_.terminal) {
    auto facts = [this] {
      ProgressFacts f;
      f.files = archives_total_;
      f.files_done = archives_done_.load();
      f.bytes = bytes_total_;
      f.bytes_done = std::min(bytes_read_.load(), bytes_total_);
      const int32_t current = current_.load();
      if (current >= 0) f.current_name = slots_[static_cast<std::size_t>(current)].key;
      return f;
    };
    panel_ =
        std::make_unique<TerminalPanel>(out_, facts, settings_.terminal_columns, syntax_.code_page);
    panel_->Start();
  }
  for (const Problem& problem : index.problems) Print(problem);
  for (const Problem& problem : ShortNameProblems(kIndexName, kIndexName)) Print(problem);
  CheckSlots();
  if (const int signal_number = settings_.interrupt_signal ? settings_.interrupt_signal() : 0) {
    if (panel_) panel_->Clear();
    err_ << Format(_("Stopped by %s: the check is incomplete\n"),
                   {InterruptWatch::SignalName(signal_number)})
         << std::flush;
    return 128 + signal_number;
  }
  PrintSummary();
  return errors_ == 0 ? 0 : 1;
}

}  // namespace

CheckSettings CheckSettingsFor(const BatchOptions& options) {
  CheckSettings settings;
  settings.source = options.source;
  settings.output = options.output;
  settings.jobs = EffectiveJobs(options.jobs);
  settings.encoding = PlanEncoding(options.encoding).names;
  settings.english_notes = ExplainInEnglish();
  return settings;
}

int RunCheck(const CheckSettings& settings, std::ostream& out, std::ostream& err) {
  return DeliveryCheck(settings, out, err).Run();
}

}  // namespace kel
