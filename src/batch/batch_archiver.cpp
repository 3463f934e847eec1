#include "batch/batch_archiver.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "batch/cp932_names.h"
#include "job/archive_step.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/output_file.h"
#include "platform/output_folder.h"
#include "platform/string_list.h"
#include "zip/archive_verifier.h"
#include "zip/block_deflate.h"
#include "zip/entry_stream.h"
#include "zip/work_queue.h"

namespace kel {

namespace {

constexpr auto kTickPeriod = std::chrono::milliseconds(100);
constexpr auto kReportNap = std::chrono::milliseconds(2);

// The default builder's settings for the run, put back afterwards: the window's pass relies on
// them being the program's defaults.
class DefaultBuilderSettings {
 public:
  explicit DefaultBuilderSettings(TZipBuilder& builder)
      : builder_(builder),
        encoding_(builder.Encoding),
        on_progress_(builder.OnProgress),
        block_workers_(builder.BlockWorkers),
        block_deflate_from_(builder.BlockDeflateFrom) {}
  ~DefaultBuilderSettings() {
    builder_.SetOutputFolder(nullptr);
    builder_.Encoding = encoding_;
    builder_.OnProgress = std::move(on_progress_);
    builder_.BlockWorkers = block_workers_;
    builder_.BlockDeflateFrom = block_deflate_from_;
  }
  DefaultBuilderSettings(const DefaultBuilderSettings&) = delete;
  DefaultBuilderSettings& operator=(const DefaultBuilderSettings&) = delete;

 private:
  TZipBuilder& builder_;
  NameEncoding encoding_;
  std::function<void(uint64_t)> on_progress_;
  WorkQueue* block_workers_;
  uint64_t block_deflate_from_;
};

// Worker threads that are told to stop and joined however the pass's thread leaves.
class Crew {
 public:
  Crew(int count, const std::function<void()>& work, std::function<void()> stop)
      : stop_(std::move(stop)) {
    threads_.reserve(static_cast<std::size_t>(count));
    try {
      for (int i = 0; i < count; ++i) threads_.emplace_back(work);
    } catch (...) {
      Join();
      throw;
    }
  }
  ~Crew() { Join(); }
  Crew(const Crew&) = delete;
  Crew& operator=(const Crew&) = delete;

  void Join() noexcept {
    stop_();
    for (std::thread& t : threads_)
      if (t.joinable()) t.join();
  }

 private:
  std::function<void()> stop_;
  std::vector<std::thread> threads_;
};

// Lowers `limit` to `value` unless it is lower already.
void LowerTo(std::atomic<int32_t>& limit, int32_t value) {
  int32_t current = limit.load();
  while (value < current && !limit.compare_exchange_weak(current, value)) {
  }
}

}  // namespace

struct BatchArchiver::Outcome {
  bool finished = false;
  bool skipped = false;      // failed, and keep_going lets the pass go on
  std::exception_ptr error;  // the failure, when there was one
  std::string kind;          // its class, for a skipped file
  std::string message;       // its text
  Reason reason;             // and why, where known
};

BatchArchiver::BatchArchiver(ArchiverSettings settings) : settings_(std::move(settings)) {}

void BatchArchiver::CheckBeforeWriting(const std::vector<PassFile>& files) {
  if (settings_.encoding != NameEncoding::kCp932) return;
  std::vector<std::string> sources;
  sources.reserve(files.size());
  for (const PassFile& file : files) sources.push_back(file.source_path);
  CheckCp932Names(sources, settings_.syntax);
}

void BatchArchiver::SaveIndex(const TStringList& lines, const OutputFolder& folder,
                              const std::string& name) {
  if (settings_.encoding == NameEncoding::kCp932) {
    Cp932Lines(lines).SaveToFile(folder, name);
  } else {
    lines.SaveToFile(folder, name);
  }
}

bool BatchArchiver::ArchiveFiles(const std::vector<PassFile>& files, const OutputFolder& folder,
                                 const PassFileDone& done) {
  folder_ = &folder;
  const std::size_t count = files.size();
  // A file in blocks keeps every thread busy, however few files there are.
  const std::size_t busy = settings_.block_deflate_from != 0 && count > 0 ? SIZE_MAX : count;
  const int workers = static_cast<int>(
      std::min<std::size_t>(busy, static_cast<std::size_t>(std::max(settings_.jobs, 1))));
  if (workers <= 1) {
    ArchiveHere(files, done);
  } else {
    ArchiveOnWorkers(files, done, workers);
  }
  return skipped_.empty();
}

void BatchArchiver::Configure(TZipBuilder& builder, WorkQueue& blocks, bool on_pass_thread) {
  builder.SetOutputFolder(folder_);
  builder.Encoding = settings_.encoding;
  if (settings_.block_deflate_from != 0) {
    builder.BlockWorkers = &blocks;
    builder.BlockDeflateFrom = settings_.block_deflate_from;
  }
  builder.OnProgress = [this, on_pass_thread](uint64_t bytes) {
    counters_.bytes_done.fetch_add(bytes, std::memory_order_relaxed);
    if (StopRequested()) throw EAbort();
    if (on_pass_thread && OnTick) OnTick();
  };
}

namespace {

// What VerifyArchive must find for `file`: its bare name as the builder writes it.
ExpectedEntry ExpectedFor(const PassFile& file, const ArchiverSettings& settings) {
  ExpectedEntry expected;
  expected.name = settings.syntax.ExtractFileName(file.source_path);
  expected.flags = kFlagMaximumCompression;
  if (settings.encoding == NameEncoding::kCp932) {
    expected.name = Cp932Name(expected.name).value_or(expected.name);
  } else if (settings.syntax.code_page == CodePage::kUtf8 && HasHighBytes(expected.name) &&
             IsValidUtf8(expected.name)) {
    expected.flags |= kFlagUtf8Name;
  }
  const auto status = QueryFileStatus(file.source_path);
  // "The size of the source file cannot be read."
  if (!status) throw EVerifyError(file.archive_path, "元のファイルの大きさを調べられません");
  expected.size = status->size;
  return expected;
}

}  // namespace

bool BatchArchiver::StopRequested() const {
  return settings_.stop_requested && settings_.stop_requested();
}

BatchArchiver::Outcome BatchArchiver::Archive(TZipBuilder& builder, const PassFile& file,
                                              int32_t index) {
  Outcome outcome;
  // Until the archive is in place, the builder's own discard decides what goes (and leaves an
  // entry it could not replace alone); once it is, a later failure removes it here.
  bool placed = false;
  const auto remove_placed = [&] {
    if (placed) RemoveFailedOutput(*folder_, settings_.syntax.ExtractFileName(file.archive_path));
  };
  try {
    ArchiveFile(builder, file.archive_path, file.source_path, file.base_dir);
    placed = true;
    if (settings_.after_close) settings_.after_close(index, file.archive_path);
    if (settings_.verify) VerifyArchive(file.archive_path, ExpectedFor(file, settings_));
    archived_.fetch_add(1);
  } catch (const EAbort&) {
    outcome.error = std::current_exception();
    remove_placed();
  } catch (const Exception& e) {
    outcome.error = std::current_exception();
    // A file that failed after its archive was moved into place (verification, the test seam)
    // leaves no archive either.
    remove_placed();
    if (settings_.keep_going) {
      outcome.skipped = true;
      outcome.kind = e.ClassName();
      outcome.message = e.Message();
      outcome.reason = e.GetReason();
    }
  } catch (...) {
    outcome.error = std::current_exception();
  }
  outcome.finished = true;
  counters_.files_done.fetch_add(1, std::memory_order_relaxed);
  return outcome;
}

bool BatchArchiver::Settle(Outcome& outcome, int32_t index, const std::string& source,
                           const PassFileDone& done) {
  if (outcome.error && !outcome.skipped) std::rethrow_exception(outcome.error);
  if (outcome.skipped) {
    skipped_.push_back(
        {index, source, std::move(outcome.kind), std::move(outcome.message), outcome.reason});
    if (OnSkip) OnSkip(skipped_.back());
  }
  return done(index);
}

void BatchArchiver::ArchiveHere(const std::vector<PassFile>& files, const PassFileDone& done) {
  TZipBuilder& builder = DefaultZipBuilder();
  DefaultBuilderSettings restore(builder);
  WorkQueue blocks(kMaxBlocksInFlight);  // no thread of its own: the blocks run here, in order
  Configure(builder, blocks, true);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto index = static_cast<int32_t>(i);
    if (StopRequested()) throw EAbort();
    counters_.current.store(index, std::memory_order_relaxed);
    Outcome outcome = Archive(builder, files[i], index);
    if (!Settle(outcome, index, files[i].source_path, done)) return;
  }
}

void BatchArchiver::ArchiveOnWorkers(const std::vector<PassFile>& files, const PassFileDone& done,
                                     int workers) {
  const auto count = static_cast<int32_t>(files.size());
  std::vector<Outcome> outcomes(files.size());
  std::mutex mutex;
  std::condition_variable finished;
  int32_t awaited = -1;  // the file the pass's thread waits for; guarded by `mutex`
  std::atomic<int32_t> next{0};
  // No file from this number on is handed out: lowered behind a failing file, and to 0 to stop.
  std::atomic<int32_t> limit{count};

  WorkQueue blocks(kMaxBlocksInFlight);
  // Threads still taking files; the last to run out of them lets the others go.
  std::atomic<int> taking{workers};

  auto take_files = [&](TZipBuilder& builder) {
    for (;;) {
      if (StopRequested()) LowerTo(limit, 0);
      // Blocks first: they hold memory, and a file that waits for them.
      if (blocks.RunOne()) continue;
      const int32_t i = next.fetch_add(1);
      if (i >= limit.load()) return;
      Outcome outcome = Archive(builder, files[static_cast<std::size_t>(i)], i);
      if (outcome.error && !outcome.skipped) LowerTo(limit, i + 1);
      bool wake = false;
      {
        std::lock_guard<std::mutex> lock(mutex);
        outcomes[static_cast<std::size_t>(i)] = std::move(outcome);
        wake = i == awaited;
      }
      // Only the file the report waits for wakes it: with many small files, waking it for every
      // file would take a core from the workers for nothing.
      if (wake) finished.notify_one();
    }
  };
  auto work = [&] {
    {
      TZipBuilder builder(settings_.syntax);
      Configure(builder, blocks, false);
      take_files(builder);
    }
    // The blocks of big files other threads are still reading.
    if (--taking == 0) blocks.Close();
    blocks.ServeUntilClosed();
  };
  Crew crew(workers, work, [&limit, &blocks] {
    LowerTo(limit, 0);
    // A thread that reads a big file still gets its blocks done: it helps with them.
    blocks.Close();
  });

  for (int32_t i = 0; i < count; ++i) {
    Outcome outcome;
    {
      std::unique_lock<std::mutex> lock(mutex);
      Outcome& slot = outcomes[static_cast<std::size_t>(i)];
      // A short nap first, unannounced: with many small files the report then catches up on a
      // batch of them at a time instead of waking (and taking a core from a worker) per file.
      if (!slot.finished) finished.wait_for(lock, kReportNap, [&slot] { return slot.finished; });
      awaited = i;
      // The display names the earliest file still being compressed, not the one begun last.
      counters_.current.store(i, std::memory_order_relaxed);
      while (!finished.wait_for(lock, kTickPeriod, [&slot] { return slot.finished; })) {
        lock.unlock();
        if (StopRequested()) {
          // The file awaited may never be handed out now: stop waiting for it.
          crew.Join();
          throw EAbort();
        }
        if (OnTick) OnTick();
        lock.lock();
      }
      outcome = std::move(slot);
    }
    if (outcome.error && !outcome.skipped) {
      // Files begun beside this one finish before the failure is reported.
      crew.Join();
      std::rethrow_exception(outcome.error);
    }
    if (!Settle(outcome, i, files[static_cast<std::size_t>(i)].source_path, done)) return;
  }
}

}  // namespace kel
