// SPDX-License-Identifier: MIT
// Arbitrary text as the fiducial enumerator's parameter list, then bound to an arbitrary
// sample interval taken from the input's first bytes. Whatever reads must write a text that
// reads back to the same values, and binding must stay defined (the sanitizers watch it).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "hrv/engine/fiducial_params.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  double dt = 0.001;
  if (size >= sizeof dt) {
    std::memcpy(&dt, data, sizeof dt);
    data += sizeof dt;
    size -= sizeof dt;
  }
  HRV::FiducialParams params;
  std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
  if (!params.Read(text)) return 0;

  std::ostringstream written;
  params.Write(written);
  HRV::FiducialParams again;
  std::istringstream replay(written.str());
  if (!again.Read(replay)) std::abort();
  std::ostringstream rewritten;
  again.Write(rewritten);
  if (rewritten.str() != written.str()) std::abort();

  params.Bind(dt);
  return 0;
}
