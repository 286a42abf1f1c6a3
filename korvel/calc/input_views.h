// SPDX-License-Identifier: MIT
// The interfaces through which an enumerator sees its inputs within one record: views over
// the document's recorded samples and over evaluated stores, and one ICalcInputs per record
// that hands them out by parameter index.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "korvel/calc/stores.h"
#include "korvel/doc/document.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/calc_enumerator.h"

namespace korvel::calc {

// What one parameter of an enumerator call is bound to in a record: nothing (a number), a
// recorded channel, a store of samples, or a store of events.
struct InputBinding {
  std::int32_t recorded_channel = -1;
  std::shared_ptr<const SampledStore> samples;
  std::shared_ptr<const EventStore> events;
};

// The inputs of `record`; views keep the document and the stores alive. `chart` may be null.
ComPtr<ICalcInputs> make_calc_inputs(std::shared_ptr<const doc::Document> document, std::int32_t record,
                                     std::vector<InputBinding> parameters, ComPtr<IChartData> chart);

}  // namespace korvel::calc
