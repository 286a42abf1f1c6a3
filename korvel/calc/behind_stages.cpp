// SPDX-License-Identifier: MIT
#include "korvel/calc/behind_stages.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace korvel::calc {
namespace {

// Blocks that may be with the helper at once. One would make every push wait for the
// block before, which the helper has often only just begun when other work of the
// evaluating thread is short; two leave it a whole block of slack.
constexpr std::size_t kBlocksWithHelper = 2;

// Both stage kinds: Stage is signal::SampleStage or signal::EventStage, Value what it emits.
template <class Stage, class Value>
class Behind final : public Stage {
 public:
  Behind(std::unique_ptr<Stage> inner, HelperThread& helper) : inner_(std::move(inner)), helper_(helper) {}
  ~Behind() override {
    for (Job& job : jobs_) job.done.wait();
  }

  // An empty push (a round in which nothing reached the stage) hands nothing on and waits
  // for nothing.
  void push(std::span<const float> input, std::vector<Value>& output) override {
    if (input.empty()) return;
    if (jobs_.size() == kBlocksWithHelper) collect(output);
    Job& job = jobs_.emplace_back();
    job.block.assign(input.begin(), input.end());
    pending_samples_ += job.block.size();
    job.done = helper_.run([this, &job] { inner_->push(job.block, job.result); });
  }

  void finish(std::vector<Value>& output) override {
    while (!jobs_.empty()) collect(output);
    inner_->finish(output);
  }

  // The blocks still with the helper lag the input by their length.
  std::size_t latency() const override { return inner_latency_ + pending_samples_; }

 private:
  struct Job {
    std::vector<float> block;
    std::vector<Value> result;
    std::future<void> done;
  };

  // Waits for the oldest block with the helper and appends its output.
  void collect(std::vector<Value>& output) {
    Job& job = jobs_.front();
    job.done.wait();  // the helper is done with the job before anything of it moves
    pending_samples_ -= job.block.size();
    std::future<void> done = std::move(job.done);
    std::vector<Value> result = std::move(job.result);
    jobs_.pop_front();
    done.get();  // rethrows the inner stage's failure
    output.insert(output.end(), result.begin(), result.end());
  }

  std::unique_ptr<Stage> inner_;
  HelperThread& helper_;
  std::size_t inner_latency_ = inner_->latency();
  std::deque<Job> jobs_;  // oldest first; a deque keeps each job where the helper sees it
  std::size_t pending_samples_ = 0;
};

}  // namespace

std::unique_ptr<signal::SampleStage> run_behind(std::unique_ptr<signal::SampleStage> inner, HelperThread& helper) {
  return std::make_unique<Behind<signal::SampleStage, float>>(std::move(inner), helper);
}

std::unique_ptr<signal::EventStage> run_behind(std::unique_ptr<signal::EventStage> inner, HelperThread& helper) {
  return std::make_unique<Behind<signal::EventStage, std::int64_t>>(std::move(inner), helper);
}

}  // namespace korvel::calc
