// Tasks handed from the thread that has them to whichever thread is free: the workers of a
// parallel run share one queue, so that a big file's deflate blocks and the other files keep
// the same threads busy. A thread that waits for its own tasks runs queued ones meanwhile, so
// a queue without any thread of its own (a run on one thread) still gets every task done, in
// the order posted.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace kel {

class WorkQueue {
 public:
  // `room`: how many pieces of work the posters may hold at once in all (see TakeRoom).
  explicit WorkQueue(std::size_t room) : room_(room) {}
  WorkQueue(const WorkQueue&) = delete;
  WorkQueue& operator=(const WorkQueue&) = delete;

  // Queues `task`. A task must not throw; it tells its poster of its end through state of its
  // own that `done` of HelpUntil below reads.
  void Post(std::function<void()> task);

  // Runs the oldest queued task on this thread; false when none was queued.
  bool RunOne();

  // Runs queued tasks on this thread until `done()` holds, and sleeps while none is queued and
  // it does not. `done` is asked with the queue's lock held, after every task's end.
  void HelpUntil(const std::function<bool()>& done);

  // For a thread with nothing else to do: runs tasks as they come until Close.
  void ServeUntilClosed();

  // A poster's share of the room, taken before it makes a piece of work (a buffer, say) and
  // given back once that piece is used up: posters together never hold more than the room.
  // TakeRoom runs queued tasks on this thread while there is none free.
  void TakeRoom();
  bool TryTakeRoom();
  void GiveBackRoom(std::size_t count);

  // Ends ServeUntilClosed once the queue is empty. Tasks posted later still run in HelpUntil.
  void Close();

 private:
  void RunLocked(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;  // a task was posted or ended, or the queue closed
  std::deque<std::function<void()>> tasks_;
  std::size_t room_;
  bool closed_ = false;
};

}  // namespace kel
