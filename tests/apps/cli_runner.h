// SPDX-License-Identifier: MIT
// Runs the built korvel-hrv as a user would, capturing what it prints and its exit status.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace cli {

struct Run {
  int status = -1;
  std::string output;  // stdout and stderr together
};

inline Run run(const std::string& arguments) {
  Run result;
  const std::string command = std::string("'") + KORVEL_HRV_TOOL + "' " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh, empty folder under the system's temporary folder, one per build of the tool, so
// that builds tested at once on one machine do not share folders.
inline std::filesystem::path fresh_folder(const std::string& name) {
  const std::string build = std::to_string(std::hash<std::string>{}(KORVEL_HRV_TOOL) % 100000);
  auto path = std::filesystem::temp_directory_path() / ("korvel-hrv-test-" + build + "-" + name);
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

}  // namespace cli
