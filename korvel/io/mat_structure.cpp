// SPDX-License-Identifier: MIT
#include "korvel/io/mat_structure.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "korvel/io/file_access.h"

namespace korvel::io {
namespace {

constexpr std::uint64_t kLevel5HeaderBytes = 128;
constexpr std::uint64_t kMaxMatBytes = std::uint64_t{4} << 30;
constexpr std::uint32_t kMiInt8 = 1;
constexpr std::uint32_t kMiInt32 = 5;
constexpr std::uint32_t kMiUint32 = 6;
constexpr std::uint32_t kMiMatrix = 14;
constexpr std::uint32_t kMiCompressed = 15;

// The file's bytes, or the inflated content of a compressed element.
class Reader {
 public:
  Reader(std::span<const std::uint8_t> bytes, const std::filesystem::path& file) : bytes_(bytes), file_(file) {}

  std::uint64_t size() const { return bytes_.size(); }
  std::span<const std::uint8_t> bytes() const { return bytes_; }
  const std::filesystem::path& file() const { return file_; }

  // Copies `count` bytes at `offset`; false when they are not all there.
  bool read(std::uint64_t offset, void* out, std::size_t count) const {
    if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
    std::memcpy(out, bytes_.data() + offset, count);
    return true;
  }

  [[noreturn]] void bad(const std::string& what) const { fail(file_, "not a MATLAB file: " + what); }

 private:
  std::span<const std::uint8_t> bytes_;
  const std::filesystem::path& file_;
};

std::uint32_t u32(const std::uint8_t* b, bool big_endian) {
  return big_endian ? std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3]
                    : std::uint32_t{b[3]} << 24 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[1]} << 8 | b[0];
}

// Level 4 type codes are M*1000 + O*100 + P*10 + T: machine (byte order) M 0-4, O 0,
// precision P 0-5 (double .. uint8), matrix type T 0-2.
std::uint64_t level4_element_bytes(std::uint32_t type) {
  constexpr std::array<std::uint64_t, 6> kWidth = {8, 4, 4, 2, 2, 1};
  const std::uint32_t precision = type / 10 % 10;
  if (type >= 5000 || type / 100 % 10 != 0 || precision > 5 || type % 10 > 2) return 0;
  return kWidth[precision];
}

void check_level4(const Reader& reader) {
  std::uint64_t offset = 0;
  int variable = 0;
  while (offset < reader.size()) {
    ++variable;
    std::array<std::uint8_t, 20> header{};
    if (!reader.read(offset, header.data(), header.size())) {
      reader.bad("variable " + std::to_string(variable) + " has a cut header");
    }
    // The machine digit says the byte order; a little-endian reading of a big-endian code is huge.
    const bool big_endian = u32(header.data(), false) >= 5000;
    const std::uint32_t type = u32(header.data(), big_endian);
    const std::uint64_t rows = u32(header.data() + 4, big_endian);
    const std::uint64_t columns = u32(header.data() + 8, big_endian);
    const std::uint32_t imaginary = u32(header.data() + 12, big_endian);
    const std::uint64_t name_bytes = u32(header.data() + 16, big_endian);
    const std::uint64_t width = level4_element_bytes(type);
    const std::uint64_t rest = reader.size() - offset - header.size();
    if (width == 0 || imaginary > 1 || name_bytes == 0 || name_bytes > rest) {
      reader.bad("variable " + std::to_string(variable) + " has an invalid level-4 header");
    }
    // rows and columns are below 2^32 each, so their product times 16 fits in 64 bits only
    // when checked against the remaining bytes step by step.
    const std::uint64_t data_bytes_per_row = columns * width * (imaginary + 1);
    if (rows != 0 && data_bytes_per_row > (rest - name_bytes) / rows) {
      reader.bad("variable " + std::to_string(variable) + " claims " + std::to_string(rows) + " x " +
                 std::to_string(columns) + " elements, more than the file holds");
    }
    offset += header.size() + name_bytes + rows * data_bytes_per_row;
  }
}

// A level-5 tag at `offset`: type and byte count, and where the element ends.
struct Tag {
  std::uint32_t type = 0;
  std::uint64_t bytes = 0;
  std::uint64_t data = 0;  // offset of the element's data: in the tag itself when small
  std::uint64_t end = 0;
};

Tag read_tag(const Reader& reader, std::uint64_t offset, std::uint64_t limit, bool big_endian,
             const std::string& where) {
  std::array<std::uint8_t, 8> raw{};
  if (offset + raw.size() > limit || !reader.read(offset, raw.data(), raw.size())) {
    reader.bad("" + where + " has a cut tag");
  }
  Tag tag;
  tag.type = u32(raw.data(), big_endian);
  if (tag.type >> 16 != 0) {  // small element: byte count in the upper half, data in the tag
    tag.bytes = tag.type >> 16;
    tag.type &= 0xFFFF;
    if (tag.bytes > 4) reader.bad("" + where + " has an invalid small element");
    tag.data = offset + 4;
    tag.end = offset + 8;
    return tag;
  }
  tag.bytes = u32(raw.data() + 4, big_endian);
  const std::uint64_t padded = tag.type == kMiCompressed ? tag.bytes : (tag.bytes + 7) / 8 * 8;
  if (padded > limit - offset - 8) {
    reader.bad("" + where + " claims " + std::to_string(tag.bytes) + " bytes, more than it holds");
  }
  tag.data = offset + 8;
  tag.end = offset + 8 + padded;
  return tag;
}

std::uint32_t read_u32(const Reader& reader, std::uint64_t offset, bool big_endian, const std::string& where) {
  std::array<std::uint8_t, 4> raw{};
  if (!reader.read(offset, raw.data(), raw.size())) reader.bad("" + where + " is cut");
  return u32(raw.data(), big_endian);
}

// A matrix element whose content spans [offset, end): array flags, dimensions and name, then
// for cells, structures and objects the elements they hold, each a matrix checked the same way.
void check_matrix(const Reader& reader, std::uint64_t offset, std::uint64_t end, bool big_endian,
                  const std::string& where, int depth) {
  constexpr int kMaxDepth = 16;
  constexpr std::uint32_t kCell = 1, kStruct = 2, kObject = 3, kSparse = 5;
  if (depth > kMaxDepth) reader.bad("" + where + " nests deeper than " + std::to_string(kMaxDepth));
  if (offset == end) return;  // an empty matrix has no content at all
  // matio reads these three at fixed places, so they must have exactly the standard layout.
  const Tag flags = read_tag(reader, offset, end, big_endian, where + " array flags");
  if (flags.type != kMiUint32 || flags.bytes != 8) reader.bad("" + where + " has malformed array flags");
  const std::uint32_t class_type = read_u32(reader, flags.data, big_endian, where + " array flags") & 0xFF;

  const Tag dims = read_tag(reader, flags.end, end, big_endian, where + " dimensions");
  if (dims.type != kMiInt32 || dims.bytes < 8 || dims.bytes % 4 != 0) {
    reader.bad("" + where + " has malformed dimensions");
  }
  std::uint64_t elements = 1;
  for (std::uint64_t k = 0; k + 4 <= dims.bytes; k += 4) {
    const auto dim = static_cast<std::int32_t>(read_u32(reader, dims.data + k, big_endian, where + " dimensions"));
    if (dim < 0) reader.bad("" + where + " has a negative dimension");
    elements =
        dim != 0 && elements > (end - offset) / static_cast<std::uint64_t>(dim) ? end - offset + 1 : elements * dim;
  }
  // Every element of a non-sparse matrix takes at least a byte of the file.
  if (class_type != kSparse && elements > end - offset) {
    reader.bad("" + where + " claims more elements than its " + std::to_string(end - offset) + " bytes");
  }
  const Tag name = read_tag(reader, dims.end, end, big_endian, where + " name");
  if (name.type != kMiInt8) reader.bad("" + where + " has a malformed name");
  std::uint64_t next = name.end;

  std::uint64_t members = 0;
  if (class_type == kCell) members = elements;
  if (class_type == kObject) next = read_tag(reader, next, end, big_endian, where + " class name").end;
  if (class_type == kStruct || class_type == kObject) {
    const Tag length = read_tag(reader, next, end, big_endian, where + " field name length");
    const std::uint32_t name_length = read_u32(reader, length.data, big_endian, where + " field name length");
    const Tag names = read_tag(reader, length.end, end, big_endian, where + " field names");
    if (name_length == 0 && names.bytes != 0) reader.bad("" + where + " has empty field names");
    members = name_length == 0 ? 0 : elements * (names.bytes / name_length);
    next = names.end;
  }
  for (std::uint64_t m = 0; m < members; ++m) {
    const std::string member = where + " member " + std::to_string(m + 1);
    const Tag tag = read_tag(reader, next, end, big_endian, member);
    if (tag.type != kMiMatrix) reader.bad("" + member + " is not a matrix");
    check_matrix(reader, next + 8, tag.end, big_endian, member, depth + 1);
    next = tag.end;
  }
}

// Inflates a compressed element, refusing output beyond kMaxInflationRatio times its size.
std::vector<std::uint8_t> inflate_element(const Reader& reader, const Tag& tag, const std::string& where) {
  const std::uint64_t limit = tag.bytes * kMaxInflationRatio;
  std::vector<std::uint8_t> out;
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) reader.bad(where + ": cannot start inflating");
  stream.next_in = const_cast<Bytef*>(reader.bytes().data() + tag.data);
  stream.avail_in = static_cast<uInt>(tag.bytes);
  int status = Z_OK;
  while (status == Z_OK) {
    if (out.size() >= limit) break;
    const std::size_t start = out.size();
    out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(limit, start + 65536)));
    stream.next_out = out.data() + start;
    stream.avail_out = static_cast<uInt>(out.size() - start);
    status = inflate(&stream, Z_NO_FLUSH);
    // Drops the unused tail; erase (not a shrinking resize) leaves the optimiser no path
    // that appears to grow the vector by a wrapped-around size.
    out.erase(out.end() - static_cast<std::ptrdiff_t>(stream.avail_out), out.end());
  }
  inflateEnd(&stream);
  if (status == Z_OK && out.size() >= limit)
    reader.bad(where + " inflates to more than " + std::to_string(kMaxInflationRatio) + " times its " + std::to_string(tag.bytes) +
               " compressed bytes and is refused as a decompression bomb; save the variables uncompressed");
  if (status != Z_STREAM_END) reader.bad(where + " is not a complete compressed stream");
  return out;
}

void check_elements(const Reader& reader, std::uint64_t offset, bool big_endian, const std::string& prefix) {
  for (int element = 1; offset < reader.size(); ++element) {
    const std::string where = prefix + "element " + std::to_string(element);
    const Tag tag = read_tag(reader, offset, reader.size(), big_endian, where);
    if (tag.type == kMiMatrix) check_matrix(reader, offset + 8, offset + 8 + tag.bytes, big_endian, where, 0);
    if (tag.type == kMiCompressed) {
      const std::vector<std::uint8_t> content = inflate_element(reader, tag, where);
      check_elements(Reader(content, reader.file()), 0, big_endian, where + " (compressed) ");
    }
    offset = tag.end;
  }
}

}  // namespace

void check_mat_structure(const std::filesystem::path& file) {
  const std::vector<std::uint8_t> bytes = read_file_bytes(file, kMaxMatBytes);
  const Reader reader(bytes, file);
  std::array<std::uint8_t, kLevel5HeaderBytes> header{};
  if (reader.read(0, header.data(), header.size())) {
    const std::uint16_t version = static_cast<std::uint16_t>(header[124] | header[125] << 8);
    const bool little = header[126] == 'I' && header[127] == 'M';
    const bool big = header[126] == 'M' && header[127] == 'I';
    if (little || big) {
      const std::uint16_t level = little ? version : static_cast<std::uint16_t>(version >> 8 | version << 8);
      if (level == 0x0100) check_elements(reader, kLevel5HeaderBytes, big, "");
      if (level == 0x0100 || level == 0x0200) return;
    }
  }
  check_level4(reader);
}

}  // namespace korvel::io
