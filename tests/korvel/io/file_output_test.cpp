// SPDX-License-Identifier: MIT
#include "korvel/io/file_output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace korvel::io {
namespace {

std::string contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A file written in pieces holds them all once closed; one let go before it was closed
// leaves nothing behind; an existing file or a link is never written through.
TEST(NewFile, WritesPiecesKeepsOnlyAClosedFileAndNeverReplacesOne) {
  const auto dir = std::filesystem::temp_directory_path() / ("new_file_test_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  {
    NewFile file(dir / "whole.csv");
    file.write("a,b\n");
    file.write("");
    file.write("1,2\n");
    file.close();
  }
  EXPECT_EQ(contents(dir / "whole.csv"), "a,b\n1,2\n");
  {
    NewFile file(dir / "cut.csv");
    file.write("a,b\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "cut.csv"));
  EXPECT_THROW(NewFile(dir / "whole.csv"), std::runtime_error);
  std::filesystem::create_symlink(dir / "elsewhere.csv", dir / "link.csv");
  EXPECT_THROW(write_new_file(dir / "link.csv", "x"), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere.csv"));
  EXPECT_EQ(contents(dir / "whole.csv"), "a,b\n1,2\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace korvel::io
