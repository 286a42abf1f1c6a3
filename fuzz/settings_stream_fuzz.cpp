// SPDX-License-Identifier: MIT
// Arbitrary bytes as a persisted settings stream. Whatever loads must save as a version-6
// stream that loads again and saves to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hrv/core/settings.h"
#include "sdk/cpp/memory_stream.h"

namespace {

std::vector<std::uint8_t> saved(HRV::Settings& settings) {
  auto out = make_com<MemoryStream>();
  if (settings.Save(out.get(), VARIANT_TRUE) != S_OK) std::abort();
  return out->bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto settings = make_com<HRV::Settings>();
  auto in = make_com<MemoryStream>(std::vector<std::uint8_t>(data, data + size));
  if (settings->Load(in.get()) != S_OK) return 0;

  const std::vector<std::uint8_t> first = saved(*settings);
  if (first.size() != 220) std::abort();
  auto again = make_com<HRV::Settings>();
  auto replay = make_com<MemoryStream>(first);
  if (again->Load(replay.get()) != S_OK || again->LoadedVersion != 6) std::abort();
  if (saved(*again) != first) std::abort();
  return 0;
}
