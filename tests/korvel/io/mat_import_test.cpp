// SPDX-License-Identifier: MIT
#include "korvel/io/mat_import.h"

#include <gtest/gtest.h>
#include <matio.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "temp_dir.h"

namespace korvel::io {
namespace {

struct Variable {
  std::string name;
  matio_classes class_type;
  matio_types data_type;
  std::size_t rows, columns;
  void* data;
  bool complex = false;
};

void write_mat(const std::filesystem::path& file, const std::vector<Variable>& variables, mat_ft version = MAT_FT_MAT5,
               matio_compression compression = MAT_COMPRESSION_NONE) {
  mat_t* mat = Mat_CreateVer(file.c_str(), nullptr, version);
  ASSERT_NE(mat, nullptr) << file;
  for (const Variable& v : variables) {
    std::size_t dims[2] = {v.rows, v.columns};
    matvar_t* var = Mat_VarCreate(v.name.c_str(), v.class_type, v.data_type, 2, dims, v.data, MAT_F_DONT_COPY_DATA | (v.complex ? MAT_F_COMPLEX : 0));
    EXPECT_TRUE(var != nullptr && Mat_VarWrite(mat, var, compression) == 0) << v.name;
    Mat_VarFree(var);
  }
  Mat_Close(mat);
}

std::string mat_error(const std::filesystem::path& file, const std::string& variable = {}, double rate = 0) {
  try {
    read_mat(file, variable, rate);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

// 1000 samples x 2 channels, column-major: channel c at sample t is c * 1000 + t / 4.
class MatImport : public ::testing::Test {
 protected:
  MatImport() {
    for (std::size_t t = 0; t < 2000; ++t) data[t] = static_cast<double>(t / 1000) * 1000 + static_cast<double>(t % 1000) / 4.0;
  }
  std::vector<double> data = std::vector<double>(2000);
  double fs = 250;
  const test::TempDir dir;
};

TEST_F(MatImport, ReadsSamplesByChannelsInEveryFileVersion) {
  const std::tuple<const char*, mat_ft, matio_compression> cases[] = {{"level 4", MAT_FT_MAT4, MAT_COMPRESSION_NONE},
                                                                      {"level 5", MAT_FT_MAT5, MAT_COMPRESSION_NONE},
                                                                      {"level 5 compressed", MAT_FT_MAT5, MAT_COMPRESSION_ZLIB},
                                                                      {"7.3 (HDF5)", MAT_FT_MAT73, MAT_COMPRESSION_NONE}};
  for (const auto& [label, version, compression] : cases) {
    SCOPED_TRACE(label);
    const auto file = dir.file("ecg.mat");
    std::filesystem::remove(file);
    write_mat(file, {{"fs", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &fs}, {"ecg", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()}}, version,
              compression);
    const Recording recording = read_mat(file, "", 0);
    EXPECT_EQ(recording.name, "ecg");
    const Record& r = recording.records.at(0);
    EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 250);
    ASSERT_EQ(r.channels.size(), 2u);
    EXPECT_EQ(r.channels[1].name, "ecg 2");
    ASSERT_EQ(r.length(), 1000u);
    EXPECT_EQ(std::tuple(r.channels[0].samples[999], r.channels[1].samples[3]), std::tuple(249.75f, 1000.75f));  // exact in float
  }
}

TEST_F(MatImport, LongerDimensionIsTimeForIntegerChannelsBySamples) {
  // 3 channels x 500 samples of int16, rate as a single-precision "Fs".
  std::vector<std::int16_t> leads(1500);
  for (std::size_t t = 0; t < 500; ++t)
    for (std::size_t c = 0; c < 3; ++c) leads[t * 3 + c] = static_cast<std::int16_t>(c == 1 ? -static_cast<int>(t) : t + c);
  float rate = 125;
  write_mat(dir.file("leads.mat"), {{"leads", MAT_C_INT16, MAT_T_INT16, 3, 500, leads.data()}, {"Fs", MAT_C_SINGLE, MAT_T_SINGLE, 1, 1, &rate}});
  const Record r = read_mat(dir.file("leads.mat"), "", 0).records.at(0);
  ASSERT_EQ(r.channels.size(), 3u);
  ASSERT_EQ(r.length(), 500u);
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 125);
  EXPECT_EQ(std::tuple(r.channels[0].samples[7], r.channels[1].samples[499], r.channels[2].samples[10]), std::tuple(7.0f, -499.0f, 12.0f));
}

TEST_F(MatImport, RateComesFromTheCallerOnlyWhenTheFileHasNone) {
  const auto file = dir.file("bare.mat");
  write_mat(file, {{"x", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()}});
  EXPECT_EQ(mat_error(file), file.string() + ": no sampling rate: the file has no variable fs (or sampling_rate, srate, ...) and none was given");
  EXPECT_DOUBLE_EQ(read_mat(file, "", 500).records.at(0).tick_interval_s, 1.0 / 500);
  double srate = 200;
  write_mat(file, {{"x", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()}, {"SRate", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &srate}});
  EXPECT_DOUBLE_EQ(read_mat(file, "", 500).records.at(0).tick_interval_s, 1.0 / 200);
}

TEST_F(MatImport, AmbiguousOrUnsuitableVariablesAreRefusedByName) {
  std::vector<double> parts(200, 1.0);
  mat_complex_split_t split{parts.data(), parts.data() + 100};
  const auto file = dir.file("many.mat");
  write_mat(file, {{"a", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()},
                   {"b", MAT_C_DOUBLE, MAT_T_DOUBLE, 2, 1000, data.data()},
                   {"z", MAT_C_DOUBLE, MAT_T_DOUBLE, 100, 1, &split, true},
                   {"fs", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &fs}});
  EXPECT_EQ(mat_error(file), file.string() + ": several numeric matrices (\"a\", \"b\"); name the one to read");
  EXPECT_EQ(read_mat(file, "b", 0).records.at(0).channels.size(), 2u);
  EXPECT_EQ(mat_error(file, "z"), file.string() + ": variable \"z\" is not a real numeric matrix");
  EXPECT_EQ(mat_error(file, "q"), file.string() + ": no variable named \"q\"");
}

std::vector<std::uint8_t> little_endian(std::initializer_list<std::uint32_t> values) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t v : values)
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(v >> shift));
  return bytes;
}

TEST_F(MatImport, DamagedFilesClaimingMoreThanTheyHoldAreRefusedBeforeReading) {
  write_mat(dir.file("level5.mat"), {{"x", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()}, {"fs", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &fs}});
  const auto original = test::file_bytes(dir.file("level5.mat"));
  auto set32 = [](std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    const auto le = little_endian({value});
    std::copy(le.begin(), le.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  };
  // Level 5: the first element's tag at byte 128, its dimensions' tag at 152.
  auto element = original, dimensions = original;
  set32(element, 132, 0x7FFFFFF0);
  set32(dimensions, 156, 0x7FFFFFF0);
  // The same matrix as a cell array of 1000 x 2147483647 cells, plain and inside a compressed element.
  auto cells = original;
  cells[144] = 1;
  set32(cells, 164, 0x7FFFFFFF);
  const std::vector<std::uint8_t> unpacked(cells.begin() + 128, cells.begin() + 128 + 8 + 16048);
  uLongf packed_size = compressBound(unpacked.size());
  std::vector<std::uint8_t> packed(packed_size);
  ASSERT_EQ(compress(packed.data(), &packed_size, unpacked.data(), unpacked.size()), Z_OK);
  std::vector<std::uint8_t> compressed(cells.begin(), cells.begin() + 128);
  const auto tag = little_endian({15, static_cast<std::uint32_t>(packed_size)});
  compressed.insert(compressed.end(), tag.begin(), tag.end());
  compressed.insert(compressed.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed_size));
  // Level 4 headers (type 0: little-endian doubles): a name of 1.6 GB in a 22-byte file, and a
  // 65535 x 65535 matrix in a few bytes.
  auto name = little_endian({0, 1, 1, 0, 0x63000004}), matrix = little_endian({0, 65535, 65535, 0, 2});
  name.insert(name.end(), {'a', 0});
  matrix.insert(matrix.end(), {'x', 0, 0, 0, 0, 0, 0, 0, 0, 0});

  const std::pair<std::vector<std::uint8_t>, std::string> cases[] = {
      {element, "element 1 claims 2147483632 bytes, more than it holds"},
      {dimensions, "element 1 dimensions claims 2147483632 bytes, more than it holds"},
      {cells, "element 1 claims more elements than its 16048 bytes"},
      {compressed, "element 1 (compressed) element 1 claims more elements than its 16048 bytes"},
      {name, "variable 1 has an invalid level-4 header"},
      {matrix, "variable 1 claims 65535 x 65535 elements, more than the file holds"},
  };
  for (const auto& [bytes, reason] : cases) {
    const auto file = dir.write("damaged.mat", bytes);
    EXPECT_EQ(mat_error(file), file.string() + ": not a MATLAB file: " + reason);
  }
  const auto text = dir.write("notes.mat", "just some text, not a MAT file");
  EXPECT_EQ(mat_error(text), text.string() + ": not a MATLAB file: variable 1 has an invalid level-4 header");
}

}  // namespace
}  // namespace korvel::io
