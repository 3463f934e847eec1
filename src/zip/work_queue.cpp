#include "zip/work_queue.h"

#include <utility>

namespace kel {

void WorkQueue::Post(std::function<void()> task) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  changed_.notify_all();
}

void WorkQueue::RunLocked(std::unique_lock<std::mutex>& lock) {
  std::function<void()> task = std::move(tasks_.front());
  tasks_.pop_front();
  lock.unlock();
  task();
  lock.lock();
  // The task's poster may be waiting for exactly this one.
  changed_.notify_all();
}

bool WorkQueue::RunOne() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (tasks_.empty()) return false;
  RunLocked(lock);
  return true;
}

void WorkQueue::HelpUntil(const std::function<bool()>& done) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!done()) {
    if (tasks_.empty()) {
      changed_.wait(lock);
    } else {
      RunLocked(lock);
    }
  }
}

void WorkQueue::TakeRoom() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (room_ == 0) {
    if (tasks_.empty()) {
      changed_.wait(lock);
    } else {
      RunLocked(lock);
    }
  }
  --room_;
}

bool WorkQueue::TryTakeRoom() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (room_ == 0) return false;
  --room_;
  return true;
}

void WorkQueue::GiveBackRoom(std::size_t count) {
  if (count == 0) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    room_ += count;
  }
  changed_.notify_all();
}

void WorkQueue::ServeUntilClosed() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (!tasks_.empty()) {
      RunLocked(lock);
    } else if (closed_) {
      return;
    } else {
      changed_.wait(lock);
    }
  }
}

void WorkQueue::Close() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

}  // namespace kel
