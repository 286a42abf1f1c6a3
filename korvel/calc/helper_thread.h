// SPDX-License-Identifier: MIT
// A second thread for one evaluation: it runs the jobs handed to it one at a time, in the
// order they came, while the thread that handed them on goes on with other work. The
// pipeline gives it the stages that it runs up to two blocks behind (behind_stages.h).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace korvel::calc {

class HelperThread {
 public:
  // Starts the thread; throws std::system_error when there is none to be had.
  HelperThread();
  // Runs the jobs still queued, then joins.
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Queues `job`; the future is ready once it ran and rethrows what it threw.
  std::future<void> run(std::function<void()> job);

  // Whether a second thread is worth having: the machine has a second core.
  static bool worthwhile();

 private:
  void loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<void()>> jobs_;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once everything it uses exists
};

}  // namespace korvel::calc
