// SPDX-License-Identifier: MIT
// A stage run on a helper thread, one block behind: push() hands the block to the helper
// and returns the output of the block before, which the helper worked on meanwhile. The
// stage's values do not change, only when they come: every stage emits final output
// only, so a store holds the same samples and events whichever thread computed them and
// however late. The stages before it in the pipeline, and everything the evaluating thread
// does until the next block, run beside it on the other core.
//
// The helper touches only the inner stage and the block handed to it; the evaluating
// thread waits for a block's job before it reads the output or hands on the next block,
// and the wrapper waits for its last job before it lets the inner stage go.
#pragma once

#include <future>
#include <memory>

#include "korvel/calc/helper_thread.h"
#include "korvel/signal/stage.h"

namespace korvel::calc {

std::unique_ptr<signal::SampleStage> run_behind(std::unique_ptr<signal::SampleStage> inner, HelperThread& helper);
// The inner stage's latency must not change while it runs: it is read once.
std::unique_ptr<signal::EventStage> run_behind(std::unique_ptr<signal::EventStage> inner, HelperThread& helper);

}  // namespace korvel::calc
