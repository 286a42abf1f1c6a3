// SPDX-License-Identifier: MIT
// The one thread that owns the host: the documents, the extension and everything they hold
// live on it, as on a desktop host's user-interface thread. Other threads (the web
// server's workers) hand it jobs and wait for their results; the extension never sees a
// second thread. Between jobs it runs the idle work that is due (a recording played in).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace korvel_hrv {

class HostThread {
 public:
  using Clock = std::chrono::steady_clock;
  // Runs on the host thread when due; returns when it is due next (nothing: not again
  // until asked through wake_idle_at).
  using Idle = std::function<std::optional<Clock::time_point>()>;

  HostThread();
  // Runs the jobs already handed in, then stops the thread.
  ~HostThread();
  HostThread(const HostThread&) = delete;
  HostThread& operator=(const HostThread&) = delete;

  // Runs `job` on the host thread and returns what it returns (or throws what it throws).
  template <class F>
  std::invoke_result_t<F> call(F job) {
    std::packaged_task<std::invoke_result_t<F>()> task(std::move(job));
    auto result = task.get_future();
    post([&task] { task(); });
    return result.get();
  }

  // Runs jobs and idle work, from a job on the host thread, until `done` holds or the thread
  // is stopping (then false): a modal dialog keeps the host answering while it waits.
  bool run_until(const std::function<bool()>& done);

  // The idle work; set once, before it is first due.
  void set_idle(Idle idle);
  // Has the idle work run at `when` (or sooner, if it was due sooner). Any thread.
  void wake_idle_at(Clock::time_point when);

  // What the host shows changed: a counter that waiting readers watch. Any thread.
  void changed();
  std::uint64_t version() const;
  // Waits until the version passes `seen` or `timeout` ends; the version then.
  std::uint64_t wait_for_change(std::uint64_t seen, std::chrono::milliseconds timeout) const;
  // Every wait for a change, now and later, returns at once: the server is stopping.
  void release_waiters();

 private:
  void post(std::function<void()> job);
  void run() { run_until([] { return false; }); }

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  mutable std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  Idle idle_;
  std::optional<Clock::time_point> idle_due_;
  std::uint64_t version_ = 1;
  bool stopping_ = false;
  bool released_ = false;
  std::thread thread_;
};

}  // namespace korvel_hrv
