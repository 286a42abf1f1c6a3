// SPDX-License-Identifier: MIT
// A stage run on a helper thread, up to two blocks behind: push() hands the block to the
// helper and returns the output of the oldest block it holds once two are with it, which
// the helper worked on meanwhile (an empty push waits for nothing). The
// stage's values do not change, only when they come: every stage emits final output
// only, so a store holds the same samples and events whichever thread computed them and
// however late. The stages before it in the pipeline, and everything the evaluating thread
// does until the next block, run beside it on the other core.
//
// The helper touches only the inner stage and the blocks handed to it; the evaluating
// thread waits for a block's job before it reads its output, and the wrapper waits for its
// jobs before it lets the inner stage go.
#pragma once

#include <memory>

#include "korvel/calc/helper_thread.h"
#include "korvel/signal/stage.h"

namespace korvel::calc {

std::unique_ptr<signal::SampleStage> run_behind(std::unique_ptr<signal::SampleStage> inner, HelperThread& helper);
// The inner stage's latency must not change while it runs: it is read once.
std::unique_ptr<signal::EventStage> run_behind(std::unique_ptr<signal::EventStage> inner, HelperThread& helper);

}  // namespace korvel::calc
