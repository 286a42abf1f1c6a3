// SPDX-License-Identifier: MIT
// Locates the shared real recordings. Tests that need them skip, saying why, where the
// folder is absent (as on a user's machine). HRV_SHARED_DATA overrides the built-in path.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace test_support {

inline std::filesystem::path shared_data_dir() {
  if (const char* env = std::getenv("HRV_SHARED_DATA")) return env;
  return HRV_SHARED_DATA_DIR;
}

// Path of a file under the shared data folder, or empty when it is not there.
inline std::filesystem::path shared_file(const std::string& relative) {
  auto path = shared_data_dir() / relative;
  return std::filesystem::exists(path) ? path : std::filesystem::path();
}

}  // namespace test_support

// Skips the current test when a shared recording is missing.
#define HRV_REQUIRE_SHARED(var, relative)                                                      \
  const std::filesystem::path var = ::test_support::shared_file(relative);                   \
  if (var.empty()) GTEST_SKIP() << "shared recording " << (relative) << " not found under " \
                                << ::test_support::shared_data_dir()
