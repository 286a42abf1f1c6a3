// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/serve/host_thread.h"

namespace korvel_hrv {

HostThread::HostThread() : thread_([this] { run(); }) {}

HostThread::~HostThread() {
  release_waiters();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void HostThread::post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_all();
}

void HostThread::set_idle(Idle idle) {
  std::lock_guard lock(mutex_);
  idle_ = std::move(idle);
}

void HostThread::wake_idle_at(Clock::time_point when) {
  {
    std::lock_guard lock(mutex_);
    if (!idle_due_ || when < *idle_due_) idle_due_ = when;
  }
  wake_.notify_all();
}

void HostThread::changed() {
  {
    std::lock_guard lock(mutex_);
    ++version_;
  }
  changed_.notify_all();
}

std::uint64_t HostThread::version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

std::uint64_t HostThread::wait_for_change(std::uint64_t seen, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return version_ != seen || released_; });
  return version_;
}

void HostThread::release_waiters() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

bool HostThread::run_until(const std::function<bool()>& done) {
  std::unique_lock lock(mutex_);
  for (;;) {
    lock.unlock();
    const bool finished = done();
    lock.lock();
    if (finished) return true;
    const auto ready = [&] { return stopping_ || !jobs_.empty() || (idle_due_ && Clock::now() >= *idle_due_); };
    if (idle_due_)
      wake_.wait_until(lock, *idle_due_, ready);
    else
      wake_.wait(lock, ready);
    if (!jobs_.empty()) {
      auto job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job();
      lock.lock();
      continue;
    }
    if (stopping_) return false;
    if (idle_due_ && Clock::now() >= *idle_due_ && idle_) {
      idle_due_.reset();
      auto idle = idle_;
      lock.unlock();
      const auto next = idle();
      lock.lock();
      if (next && (!idle_due_ || *next < *idle_due_)) idle_due_ = next;
    }
  }
}

}  // namespace korvel_hrv
