// SPDX-License-Identifier: MIT
#include "korvel/calc/helper_thread.h"

#include <utility>

namespace korvel::calc {

HelperThread::HelperThread() : thread_([this] { loop(); }) {}

HelperThread::~HelperThread() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

std::future<void> HelperThread::run(std::function<void()> job) {
  std::packaged_task<void()> task(std::move(job));
  std::future<void> done = task.get_future();
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(task));
  }
  wake_.notify_one();
  return done;
}

bool HelperThread::worthwhile() { return std::thread::hardware_concurrency() > 1; }

void HelperThread::loop() {
  for (;;) {
    std::packaged_task<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopping, and nothing left to run
      task = std::move(jobs_.front());
      jobs_.pop_front();
    }
    task();  // an exception is kept in the task's future
  }
}

}  // namespace korvel::calc
