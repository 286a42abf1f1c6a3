// SPDX-License-Identifier: MIT
// Runs one enumerator of an expression: creates it from the call's numbers, binds the
// inputs of each record and starts it there (records in increasing order), and reads its
// events into a store in buffers of whole event records.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "korvel/calc/function_table.h"
#include "korvel/calc/stores.h"
#include "sdk/cpp/com_ptr.h"

namespace korvel::calc {

// The parameter text of CreateEnumerator: the numbers in call order, separated by single
// spaces, each in the shortest form that reads back to the same double.
std::string enumerator_parameter_text(std::span<const double> numbers);

class EnumeratorRuntime {
 public:
  // Events read per ReadEvents call.
  static constexpr std::uint32_t kBufferEvents = 256;

  // Throws EvaluationError when the class refuses the parameters.
  EnumeratorRuntime(const EnumeratorEntry& entry, std::span<const double> numbers);

  // BindInputs then StartRecord. Throws EvaluationError when either fails.
  void start_record(std::int32_t record, double sample_interval, bool growing, ComPtr<ICalcInputs> inputs);
  std::int32_t record() const noexcept { return record_; }
  const std::string& function() const noexcept { return function_; }

  // Reads every event available now into `out` and moves out.final_until to where the
  // enumerator has looked. Throws EvaluationError when a read fails or yields events out of
  // order or of a count beyond the buffer.
  void read(EventStore& out);

 private:
  std::string function_;
  ComPtr<ICalcEnumerator> enumerator_;
  std::uint32_t event_size_;
  std::int32_t record_ = -1;
  std::vector<std::byte> buffer_;
};

}  // namespace korvel::calc
