#include "zip/block_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "zip/crc32_fast.h"
#include "zip/work_queue.h"

namespace kel {

namespace {

// One deflate state, reset for block after block.
class BlockDeflater {
 public:
  BlockDeflater(int level, int strategy) {
    std::memset(&z_, 0, sizeof z_);
    if (deflateInit2(&z_, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) throw std::bad_alloc();
  }
  ~BlockDeflater() { deflateEnd(&z_); }
  BlockDeflater(const BlockDeflater&) = delete;
  BlockDeflater& operator=(const BlockDeflater&) = delete;

  // Deflates input[dictionary, dictionary + length) with input[0, dictionary) as the window
  // before it into `out`; false when deflate refused.
  bool Deflate(const unsigned char* input, std::size_t dictionary, std::size_t length, bool last,
               std::vector<unsigned char>& out) {
    if (deflateReset(&z_) != Z_OK) return false;
    if (dictionary > 0 && deflateSetDictionary(&z_, input, static_cast<uInt>(dictionary)) != Z_OK)
      return false;
    // The bound leaves out the sync flush's empty stored block; the loop grows on need anyway.
    out.resize(deflateBound(&z_, length) + 16);
    z_.next_in = const_cast<Bytef*>(input + dictionary);
    z_.avail_in = static_cast<uInt>(length);
    z_.next_out = out.data();
    z_.avail_out = static_cast<uInt>(out.size());
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      const int result = deflate(&z_, flush);
      if (result == Z_STREAM_ERROR) return false;
      // A sync flush is complete once deflate left output space free.
      if (last ? result == Z_STREAM_END : z_.avail_in == 0 && z_.avail_out != 0) break;
      const std::size_t used = out.size() - z_.avail_out;
      out.resize(out.size() * 2);
      z_.next_out = out.data() + used;
      z_.avail_out = static_cast<uInt>(out.size() - used);
    }
    out.resize(out.size() - z_.avail_out);
    return true;
  }

 private:
  z_stream z_;
};

struct Slot {
  std::vector<unsigned char> input;  // the dictionary, then the block
  std::size_t dictionary = 0;
  std::size_t length = 0;
  bool last = false;
  std::vector<unsigned char> output;
  uint32_t crc = 0;
  bool failed = false;
  std::atomic<bool> done{false};
};

// The blocks of one file in work, and the deflate states its tasks share. Going, it waits for
// its tasks (helping with them), which point into it.
class Pipeline {
 public:
  Pipeline(int level, int strategy, WorkQueue& workers)
      : level_(level), strategy_(strategy), workers_(workers) {
    for (auto& slot : slots_) slot = std::make_unique<Slot>();
  }
  ~Pipeline() {
    workers_.HelpUntil([this] { return in_work_.load() == 0; });
    workers_.GiveBackRoom(held_);
  }
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  Slot& At(std::size_t block) { return *slots_[block % kMaxBlocksInFlight]; }

  void Post(Slot& slot) {
    slot.done = false;
    ++in_work_;
    workers_.Post([this, &slot] {
      Run(slot);
      // Last: once the count is down, the pipeline may go.
      slot.done = true;
      --in_work_;
    });
  }

  // Room for one more block of this file: waits for it only when the file has none in work
  // (another file's blocks then hold it all, and their appends free it).
  bool TakeRoom(bool may_wait) {
    if (may_wait) {
      workers_.TakeRoom();
    } else if (!workers_.TryTakeRoom()) {
      return false;
    }
    ++held_;
    return true;
  }

  void GiveBackRoom() {
    --held_;
    workers_.GiveBackRoom(1);
  }

  void WaitFor(Slot& slot) {
    workers_.HelpUntil([&slot] { return slot.done.load(); });
  }

 private:
  void Run(Slot& slot) noexcept {
    slot.failed = true;
    try {
      std::unique_ptr<BlockDeflater> deflater = TakeDeflater();
      slot.crc = Crc32Update(0, slot.input.data() + slot.dictionary, slot.length);
      slot.failed = !deflater->Deflate(slot.input.data(), slot.dictionary, slot.length, slot.last,
                                       slot.output);
      GiveBack(std::move(deflater));
    } catch (...) {
    }
  }

  std::unique_ptr<BlockDeflater> TakeDeflater() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!idle_.empty()) {
        std::unique_ptr<BlockDeflater> deflater = std::move(idle_.back());
        idle_.pop_back();
        return deflater;
      }
    }
    return std::make_unique<BlockDeflater>(level_, strategy_);
  }

  void GiveBack(std::unique_ptr<BlockDeflater> deflater) {
    const std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(std::move(deflater));
  }

  int level_;
  int strategy_;
  WorkQueue& workers_;
  std::unique_ptr<Slot> slots_[kMaxBlocksInFlight];
  std::atomic<std::size_t> in_work_{0};
  std::size_t held_ = 0;  // room taken from the queue
  std::mutex mutex_;      // guards idle_
  std::vector<std::unique_ptr<BlockDeflater>> idle_;
};

// Reads until `count` bytes are in or the file ends.
std::size_t ReadFully(const BlockDeflateIo& io, unsigned char* buffer, std::size_t count) {
  std::size_t got = 0;
  while (got < count) {
    const std::size_t read = io.read(buffer + got, count - got);
    if (read == 0) break;
    got += read;
  }
  return got;
}

}  // namespace

uint64_t DeflateInBlocks(uint64_t size, int level, int strategy, WorkQueue& workers,
                         const BlockDeflateIo& io) {
  Pipeline pipeline(level, strategy, workers);
  uint64_t bytes_read = 0;
  std::size_t posted = 0;
  std::size_t appended = 0;
  while (bytes_read < size || appended < posted) {
    if (bytes_read < size && posted - appended < kMaxBlocksInFlight &&
        pipeline.TakeRoom(posted == appended)) {
      Slot& slot = pipeline.At(posted);
      slot.input.resize(kDeflateDictionarySize + kDeflateBlockSize);
      slot.dictionary = 0;
      if (posted > 0) {
        // The window the serial deflate would have: the input just before the block.
        const Slot& before = pipeline.At(posted - 1);
        const std::size_t end = before.dictionary + before.length;
        slot.dictionary = std::min(kDeflateDictionarySize, end);
        std::memcpy(slot.input.data(), before.input.data() + end - slot.dictionary,
                    slot.dictionary);
      }
      const std::size_t want =
          static_cast<std::size_t>(std::min<uint64_t>(kDeflateBlockSize, size - bytes_read));
      slot.length = ReadFully(io, slot.input.data() + slot.dictionary, want);
      bytes_read += slot.length;
      if (slot.length < want) return bytes_read;  // the file is shorter than it was
      slot.last = bytes_read == size;
      pipeline.Post(slot);
      ++posted;
      continue;
    }
    Slot& oldest = pipeline.At(appended);
    pipeline.WaitFor(oldest);
    if (oldest.failed) throw std::bad_alloc();
    io.append(oldest.output.data(), oldest.output.size(), oldest.length, oldest.crc);
    ++appended;
    // The memory goes with the room: other files' blocks may use it now. The input stays while
    // the next block still takes its dictionary from it.
    oldest.output = {};
    if (appended < posted) oldest.input = {};
    pipeline.GiveBackRoom();
  }
  return bytes_read;
}

}  // namespace kel
