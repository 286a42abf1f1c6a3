// SPDX-License-Identifier: MIT
#include "korvel/io/mat_import.h"

#include <gtest/gtest.h>
#include <matio.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace korvel::io {
namespace {

struct Variable {
  std::string name;
  matio_classes class_type;
  matio_types data_type;
  std::size_t rows;
  std::size_t columns;
  void* data;
  bool complex = false;
};

bool write_mat(const std::filesystem::path& file, mat_ft version, matio_compression compression,
               const std::vector<Variable>& variables) {
  mat_t* mat = Mat_CreateVer(file.c_str(), nullptr, version);
  if (mat == nullptr) return false;
  bool ok = true;
  for (const Variable& v : variables) {
    std::size_t dims[2] = {v.rows, v.columns};
    const int flags = MAT_F_DONT_COPY_DATA | (v.complex ? MAT_F_COMPLEX : 0);
    matvar_t* var = Mat_VarCreate(v.name.c_str(), v.class_type, v.data_type, 2, dims, v.data, flags);
    ok = ok && var != nullptr && Mat_VarWrite(mat, var, compression) == 0;
    Mat_VarFree(var);
  }
  Mat_Close(mat);
  return ok;
}

std::string read_error(const std::filesystem::path& file, const std::string& variable = {}, double rate = 0) {
  try {
    read_mat(file, variable, rate);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

// 1000 samples x 2 channels, column-major: channel c at sample t is c * 1000 + t / 4.
std::vector<double> samples_by_channels() {
  std::vector<double> data(2000);
  for (std::size_t c = 0; c < 2; ++c) {
    for (std::size_t t = 0; t < 1000; ++t) data[c * 1000 + t] = static_cast<double>(c) * 1000 + t / 4.0;
  }
  return data;
}

TEST(MatImport, ReadsSamplesByChannelsInEveryFileVersion) {
  struct Case {
    const char* label;
    mat_ft version;
    matio_compression compression;
  };
  const Case cases[] = {{"level 4", MAT_FT_MAT4, MAT_COMPRESSION_NONE},
                        {"level 5", MAT_FT_MAT5, MAT_COMPRESSION_NONE},
                        {"level 5 compressed", MAT_FT_MAT5, MAT_COMPRESSION_ZLIB},
                        {"7.3 (HDF5)", MAT_FT_MAT73, MAT_COMPRESSION_NONE}};
  std::vector<double> data = samples_by_channels();
  double fs = 250;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const test::TempDir dir;
    const auto file = dir.file("ecg.mat");
    ASSERT_TRUE(write_mat(
        file, c.version, c.compression,
        {{"fs", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &fs}, {"ecg", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()}}));
    const Recording recording = read_mat(file, "", 0);
    EXPECT_EQ(recording.name, "ecg");
    const Record& r = recording.records.at(0);
    EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 250);
    ASSERT_EQ(r.channels.size(), 2u);
    EXPECT_EQ(r.channels[1].name, "ecg 2");
    ASSERT_EQ(r.length(), 1000u);
    // Quarter steps up to 2000 are exact in float.
    EXPECT_EQ(r.channels[0].samples[999], 249.75f);
    EXPECT_EQ(r.channels[1].samples[3], 1000.75f);
  }
}

TEST(MatImport, LongerDimensionIsTimeForIntegerChannelsBySamples) {
  // 3 channels x 500 samples of int16, rate as a single-precision "Fs".
  std::vector<std::int16_t> data(1500);
  for (std::size_t t = 0; t < 500; ++t) {
    for (std::size_t c = 0; c < 3; ++c)
      data[t * 3 + c] = static_cast<std::int16_t>(c == 1 ? -static_cast<int>(t) : t + c);
  }
  float fs = 125;
  const test::TempDir dir;
  const auto file = dir.file("leads.mat");
  ASSERT_TRUE(write_mat(
      file, MAT_FT_MAT5, MAT_COMPRESSION_NONE,
      {{"leads", MAT_C_INT16, MAT_T_INT16, 3, 500, data.data()}, {"Fs", MAT_C_SINGLE, MAT_T_SINGLE, 1, 1, &fs}}));
  const Record r = read_mat(file, "", 0).records.at(0);
  ASSERT_EQ(r.channels.size(), 3u);
  ASSERT_EQ(r.length(), 500u);
  EXPECT_DOUBLE_EQ(r.tick_interval_s, 1.0 / 125);
  EXPECT_EQ(r.channels[0].samples[7], 7.0f);
  EXPECT_EQ(r.channels[1].samples[499], -499.0f);
  EXPECT_EQ(r.channels[2].samples[10], 12.0f);
}

TEST(MatImport, RateComesFromTheCallerOnlyWhenTheFileHasNone) {
  std::vector<double> data = samples_by_channels();
  const test::TempDir dir;
  const auto file = dir.file("bare.mat");
  ASSERT_TRUE(
      write_mat(file, MAT_FT_MAT5, MAT_COMPRESSION_NONE, {{"x", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()}}));
  EXPECT_EQ(read_error(file),
            file.string() +
                ": no sampling rate: the file has no variable fs (or sampling_rate, srate, ...) and none was given");
  EXPECT_DOUBLE_EQ(read_mat(file, "", 500).records.at(0).tick_interval_s, 1.0 / 500);

  double srate = 200;
  ASSERT_TRUE(write_mat(
      file, MAT_FT_MAT5, MAT_COMPRESSION_NONE,
      {{"x", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()}, {"SRate", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &srate}}));
  EXPECT_DOUBLE_EQ(read_mat(file, "", 500).records.at(0).tick_interval_s, 1.0 / 200);
}

TEST(MatImport, AmbiguousOrUnsuitableVariablesAreRefusedByName) {
  std::vector<double> data = samples_by_channels();
  std::vector<double> complex_parts(200, 1.0);
  mat_complex_split_t split{complex_parts.data(), complex_parts.data() + 100};
  double fs = 100;
  const test::TempDir dir;
  const auto file = dir.file("many.mat");
  ASSERT_TRUE(write_mat(file, MAT_FT_MAT5, MAT_COMPRESSION_NONE,
                        {{"a", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()},
                         {"b", MAT_C_DOUBLE, MAT_T_DOUBLE, 2, 1000, data.data()},
                         {"z", MAT_C_DOUBLE, MAT_T_DOUBLE, 100, 1, &split, true},
                         {"fs", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &fs}}));
  EXPECT_EQ(read_error(file), file.string() + ": several numeric matrices (\"a\", \"b\"); name the one to read");
  EXPECT_EQ(read_mat(file, "b", 0).records.at(0).channels.size(), 2u);
  EXPECT_EQ(read_error(file, "z"), file.string() + ": variable \"z\" is not a real numeric matrix");
  EXPECT_EQ(read_error(file, "q"), file.string() + ": no variable named \"q\"");
}

std::vector<std::uint8_t> level4_header(std::uint32_t rows, std::uint32_t columns, std::uint32_t name_bytes) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t v : {0u, rows, columns, 0u, name_bytes}) {  // type 0: little-endian doubles
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  return bytes;
}

TEST(MatImport, HeadersClaimingMoreThanTheFileHoldsAreRefusedBeforeReading) {
  const test::TempDir dir;
  // A level-4 name length of 1.6 GB in a 22-byte file (matio would allocate it).
  auto huge_name = level4_header(1, 1, 0x63000004);
  huge_name.insert(huge_name.end(), {'a', 0});
  const auto name_file = dir.write("name.mat", huge_name);
  EXPECT_EQ(read_error(name_file),
            name_file.string() + ": not a MATLAB file: variable 1 has an invalid level-4 header");

  auto huge_matrix = level4_header(65535, 65535, 2);
  huge_matrix.insert(huge_matrix.end(), {'x', 0, 0, 0, 0, 0, 0, 0, 0, 0});
  const auto matrix_file = dir.write("matrix.mat", huge_matrix);
  EXPECT_EQ(
      read_error(matrix_file),
      matrix_file.string() + ": not a MATLAB file: variable 1 claims 65535 x 65535 elements, more than the file holds");

  std::vector<double> data = samples_by_channels();
  double fs = 100;
  const auto file = dir.file("level5.mat");
  ASSERT_TRUE(write_mat(
      file, MAT_FT_MAT5, MAT_COMPRESSION_NONE,
      {{"x", MAT_C_DOUBLE, MAT_T_DOUBLE, 1000, 2, data.data()}, {"fs", MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &fs}}));
  const auto original = test::file_bytes(file);
  // Level 5: the first element's tag at byte 128, its dimensions' tag at 152.
  for (const auto& [offset, expected] :
       {std::pair{132, "element 1 claims 2147483632 bytes, more than it holds"},
        std::pair{156, "element 1 dimensions claims 2147483632 bytes, more than it holds"}}) {
    auto bytes = original;
    bytes[offset] = 0xF0;
    bytes[offset + 1] = bytes[offset + 2] = 0xFF;
    bytes[offset + 3] = 0x7F;
    test::TempDir::write_to(file, bytes);
    EXPECT_EQ(read_error(file), file.string() + ": not a MATLAB file: " + expected);
  }
  // The same matrix as a cell array of 1000 x 2147483647 cells.
  auto cells = original;
  cells[144] = 1;
  for (int k = 164; k < 168; ++k) cells[k] = k == 167 ? 0x7F : 0xFF;
  test::TempDir::write_to(file, cells);
  EXPECT_EQ(read_error(file),
            file.string() + ": not a MATLAB file: element 1 claims more elements than its 16048 bytes");

  // The same cell array inside a compressed element.
  std::vector<std::uint8_t> element(cells.begin() + 128, cells.begin() + 128 + 8 + 16048);
  uLongf packed_size = compressBound(element.size());
  std::vector<std::uint8_t> packed(packed_size);
  ASSERT_EQ(compress(packed.data(), &packed_size, element.data(), element.size()), Z_OK);
  std::vector<std::uint8_t> compressed(cells.begin(), cells.begin() + 128);
  for (std::uint32_t v : {15u, static_cast<std::uint32_t>(packed_size)}) {
    for (int shift = 0; shift < 32; shift += 8) compressed.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  compressed.insert(compressed.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed_size));
  test::TempDir::write_to(file, compressed);
  EXPECT_EQ(read_error(file),
            file.string() +
                ": not a MATLAB file: element 1 (compressed) element 1 claims more elements than its 16048 bytes");

  const auto text = dir.write("notes.mat", "just some text, not a MAT file");
  EXPECT_EQ(read_error(text), text.string() + ": not a MATLAB file: variable 1 has an invalid level-4 header");
}

}  // namespace
}  // namespace korvel::io
