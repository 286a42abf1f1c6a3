// SPDX-License-Identifier: MIT
// Arbitrary bytes as the persisted settings of an HRV channel calculation. Whatever loads
// must save as a 12-byte stream that loads again and saves to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hrv/host/channel_calc.h"
#include "sdk/cpp/memory_stream.h"

namespace {

std::vector<std::uint8_t> saved(HRV::ChannelCalc::Settings& settings) {
  auto out = make_com<MemoryStream>();
  if (settings.Save(out.get(), VARIANT_TRUE) != S_OK) std::abort();
  return out->bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto settings = make_com<HRV::ChannelCalc::Settings>();
  auto in = make_com<MemoryStream>(std::vector<std::uint8_t>(data, data + size));
  if (FAILED(settings->Load(in.get()))) return 0;

  const std::vector<std::uint8_t> first = saved(*settings);
  if (first.size() != 12) std::abort();
  auto again = make_com<HRV::ChannelCalc::Settings>();
  auto replay = make_com<MemoryStream>(first);
  if (again->Load(replay.get()) != S_OK || saved(*again) != first) std::abort();
  return 0;
}
