// SPDX-License-Identifier: MIT
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <type_traits>

#include <boost/crc.hpp>

#include "korvel/docfile/document_contents.h"
#include "sdk/cpp/utf.h"

namespace korvel::docfile {
namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'K', 'V', 'D', 'O', 'C', '\r', '\n', 0x1A};
constexpr std::uint32_t kSectionHeader = 12;  // tag, length, checksum

constexpr std::uint32_t tag(const char (&name)[5]) {
  return std::uint32_t(std::uint8_t(name[0])) | std::uint32_t(std::uint8_t(name[1])) << 8 |
         std::uint32_t(std::uint8_t(name[2])) << 16 | std::uint32_t(std::uint8_t(name[3])) << 24;
}
constexpr std::uint32_t kRecordings = tag("RECS");
constexpr std::uint32_t kChannels = tag("CHAN");
constexpr std::uint32_t kCalculations = tag("CALC");
constexpr std::uint32_t kItems = tag("ITEM");
constexpr std::uint32_t kFingerprints = tag("FPRT");

std::string tag_text(std::uint32_t t) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((t >> (8 * i)) & 0xFF);
    s += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return s;
}

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
  boost::crc_32_type crc;
  crc.process_bytes(bytes.data(), bytes.size());
  return crc.checksum();
}

bool valid_utf8(std::string_view s) { return utf16_to_utf8(utf8_to_utf16(s)) == s; }

class Writer {
 public:
  template <class T>
    requires std::is_arithmetic_v<T>
  void put(T value) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(b, b + sizeof(T));
    bytes.insert(bytes.end(), b, b + sizeof(T));
  }
  void put_bytes(std::span<const std::uint8_t> b) {
    put(static_cast<std::uint32_t>(b.size()));
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
  void put_string(const std::string& s) {
    put_bytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
  }
  void put_guid(const GUID& g) {
    put(g.Data1);
    put(g.Data2);
    put(g.Data3);
    bytes.insert(bytes.end(), g.Data4, g.Data4 + 8);
  }
  std::vector<std::uint8_t> bytes;
};

// Reads one region of the file; every fault names the region and the offset in the file.
class Reader {
 public:
  Reader(std::span<const std::uint8_t> bytes, std::size_t base, std::string where)
      : bytes_(bytes), base_(base), where_(std::move(where)) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw DocumentFileError(where_ + " at byte " + std::to_string(base_ + at_) + ": " + what);
  }
  std::size_t left() const noexcept { return bytes_.size() - at_; }
  std::size_t offset() const noexcept { return base_ + at_; }

  std::span<const std::uint8_t> take(std::size_t n, const char* what) {
    if (n > left()) fail(std::string(what) + " needs " + std::to_string(n) + " bytes, " + std::to_string(left()) + " are left");
    auto out = bytes_.subspan(at_, n);
    at_ += n;
    return out;
  }
  template <class T>
    requires std::is_arithmetic_v<T>
  T get(const char* what) {
    auto b = take(sizeof(T), what);
    std::uint8_t raw[sizeof(T)];
    std::memcpy(raw, b.data(), sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(raw, raw + sizeof(T));
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
  }
  bool get_bool(const char* what) {
    const auto v = get<std::uint8_t>(what);
    if (v > 1) fail(std::string(what) + " is " + std::to_string(v) + ", not a boolean");
    return v == 1;
  }
  std::vector<std::uint8_t> get_bytes(const char* what) {
    const auto n = get<std::uint32_t>(what);
    auto b = take(n, what);
    return {b.begin(), b.end()};
  }
  std::string get_string(const char* what) {
    const auto n = get<std::uint32_t>(what);
    auto b = take(n, what);
    std::string s(reinterpret_cast<const char*>(b.data()), b.size());
    if (!valid_utf8(s)) fail(std::string(what) + " is not UTF-8");
    if (s.find('\0') != std::string::npos) fail(std::string(what) + " holds a zero byte");
    return s;
  }
  GUID get_guid(const char* what) {
    GUID g{};
    g.Data1 = get<std::uint32_t>(what);
    g.Data2 = get<std::uint16_t>(what);
    g.Data3 = get<std::uint16_t>(what);
    auto b = take(8, what);
    std::memcpy(g.Data4, b.data(), 8);
    return g;
  }
  // A count of elements of at least `min_size` bytes each: more than could fit is a fault
  // found before anything is allocated for them.
  std::uint32_t get_count(std::size_t min_size, const char* what) {
    const auto n = get<std::uint32_t>(what);
    if (n > left() / min_size) fail(std::string(what) + " " + std::to_string(n) + " cannot fit in the " + std::to_string(left()) + " bytes left");
    return n;
  }
  void expect_end() const {
    if (left() != 0) fail(std::to_string(left()) + " bytes follow the last entry");
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t base_;
  std::string where_;
  std::size_t at_ = 0;
};

std::vector<std::uint8_t> recordings_payload(const DocumentContents& c) {
  Writer w;
  w.put(static_cast<std::uint32_t>(c.recordings.size()));
  for (const auto& r : c.recordings) {
    // Always UTF-8 here; the exact bytes of a path that is not go to FPRT.
    w.put_string(utf16_to_utf8(utf8_to_utf16(r.path.generic_string())));
    w.put(r.options.sampling_rate_hz);
    w.put_string(r.options.mat_variable);
    w.put(static_cast<std::uint8_t>(r.options.verify_checksums ? 1 : 0));
  }
  return std::move(w.bytes);
}

std::vector<std::uint8_t> fingerprints_payload(const DocumentContents& c) {
  Writer w;
  w.put(static_cast<std::uint32_t>(c.fingerprints.size()));
  for (std::size_t i = 0; i < c.fingerprints.size(); ++i) {
    const std::string path = c.recordings.at(i).path.generic_string();
    w.put_bytes(std::span(reinterpret_cast<const std::uint8_t*>(path.data()), path.size()));
    w.put(c.fingerprints[i].size);
    w.put(c.fingerprints[i].modified_ns);
    w.put(c.fingerprints[i].header_crc);
  }
  return std::move(w.bytes);
}

std::vector<std::uint8_t> channels_payload(const DocumentContents& c) {
  Writer w;
  w.put(static_cast<std::uint32_t>(c.channels.size()));
  for (const auto& ch : c.channels) {
    w.put_string(ch.name);
    w.put_string(ch.expression);
    w.put(static_cast<std::uint8_t>(ch.flag ? 1 : 0));
  }
  return std::move(w.bytes);
}

std::vector<std::uint8_t> calculations_payload(const DocumentContents& c) {
  Writer w;
  w.put(static_cast<std::uint32_t>(c.calculations.size()));
  for (const auto& calc : c.calculations) {
    w.put_string(calc.channel);
    w.put_guid(calc.class_id);
    w.put_bytes(calc.settings);
  }
  return std::move(w.bytes);
}

std::vector<std::uint8_t> items_payload(const DocumentContents& c) {
  Writer w;
  w.put(static_cast<std::uint32_t>(c.items.size()));
  for (const auto& item : c.items) {
    w.put_guid(item.document_class);
    w.put(item.index);
    w.put_guid(item.item_class);
    w.put_bytes(item.bytes);
  }
  return std::move(w.bytes);
}

void read_recordings(Reader& in, DocumentContents& out) {
  const auto n = in.get_count(4 + 8 + 4 + 1, "the recording count");
  for (std::uint32_t i = 0; i < n; ++i) {
    services::RecordingSource r;
    const std::string path = in.get_string("a recording's path");
    if (path.empty()) in.fail("recording " + std::to_string(i + 1) + " has an empty path");
    r.path = path;
    r.options.sampling_rate_hz = in.get<double>("a recording's sampling rate");
    if (!(r.options.sampling_rate_hz >= 0.0) || !std::isfinite(r.options.sampling_rate_hz)) in.fail("recording " + std::to_string(i + 1) + " has a bad sampling rate");
    r.options.mat_variable = in.get_string("a recording's MAT variable");
    r.options.verify_checksums = in.get_bool("a recording's checksum flag");
    out.recordings.push_back(std::move(r));
  }
  in.expect_end();
}

void read_fingerprints(Reader& in, DocumentContents& out, std::vector<std::string>& paths) {
  const auto n = in.get_count(4 + 8 + 8 + 4, "the fingerprint count");
  for (std::uint32_t i = 0; i < n; ++i) {
    const auto path = in.get_bytes("a recording's path bytes");
    if (path.empty() || std::find(path.begin(), path.end(), 0) != path.end())
      in.fail("recording " + std::to_string(i + 1) + " has an empty path or one with a zero byte");
    RecordingFingerprint f;
    f.size = in.get<std::uint64_t>("a recording's size");
    f.modified_ns = in.get<std::int64_t>("a recording's modification time");
    f.header_crc = in.get<std::uint32_t>("a recording's header checksum");
    out.fingerprints.push_back(f);
    paths.emplace_back(path.begin(), path.end());
  }
  in.expect_end();
}

void read_channels(Reader& in, DocumentContents& out) {
  const auto n = in.get_count(4 + 4 + 1, "the channel count");
  for (std::uint32_t i = 0; i < n; ++i) {
    ChannelDefinition c;
    c.name = in.get_string("a channel's name");
    if (c.name.empty()) in.fail("channel " + std::to_string(i + 1) + " has no name");
    c.expression = in.get_string("a channel's expression");
    c.flag = in.get_bool("a channel's flag");
    out.channels.push_back(std::move(c));
  }
  in.expect_end();
}

void read_calculations(Reader& in, DocumentContents& out) {
  const auto n = in.get_count(4 + 16 + 4, "the calculation count");
  for (std::uint32_t i = 0; i < n; ++i) {
    CalculationDefinition c;
    c.channel = in.get_string("a calculation's channel");
    c.class_id = in.get_guid("a calculation's class");
    c.settings = in.get_bytes("a calculation's settings");
    for (const auto& other : out.calculations)
      if (other.channel == c.channel) in.fail("channel '" + c.channel + "' has two calculations");
    out.calculations.push_back(std::move(c));
  }
  in.expect_end();
}

void read_items(Reader& in, DocumentContents& out) {
  const auto n = in.get_count(16 + 4 + 16 + 4, "the item count");
  for (std::uint32_t i = 0; i < n; ++i) {
    services::SavedItem item;
    item.document_class = in.get_guid("an item's document class");
    item.index = in.get<std::int32_t>("an item's index");
    if (item.index < 0) in.fail("item " + std::to_string(i + 1) + " has the negative index " + std::to_string(item.index));
    item.item_class = in.get_guid("an item's class");
    item.bytes = in.get_bytes("an item's stream");
    for (const auto& other : out.items)
      if (other.document_class == item.document_class && other.index == item.index)
        in.fail("item " + std::to_string(item.index) + " of document class " + to_string(item.document_class) + " appears twice");
    out.items.push_back(std::move(item));
  }
  in.expect_end();
}

}  // namespace

std::vector<std::uint8_t> encode_document(const DocumentContents& contents) {
  Writer w;
  w.bytes.assign(kMagic.begin(), kMagic.end());
  w.put(kDocumentFileVersion);
  const std::pair<std::uint32_t, std::vector<std::uint8_t>> sections[] = {
      {kRecordings, recordings_payload(contents)},
      {kFingerprints, fingerprints_payload(contents)},
      {kChannels, channels_payload(contents)},
      {kCalculations, calculations_payload(contents)},
      {kItems, items_payload(contents)}};
  const bool fingerprinted = !contents.fingerprints.empty();
  w.put(static_cast<std::uint32_t>(std::size(sections) - (fingerprinted ? 0 : 1)));
  for (const auto& [t, payload] : sections) {
    if (t == kFingerprints && !fingerprinted) continue;
    w.put(t);
    w.put(static_cast<std::uint32_t>(payload.size()));
    w.put(crc32(payload));
    w.bytes.insert(w.bytes.end(), payload.begin(), payload.end());
  }
  return std::move(w.bytes);
}

DocumentContents decode_document(std::span<const std::uint8_t> bytes) {
  Reader file(bytes, 0, "the document file");
  auto magic = file.take(kMagic.size(), "the file's mark");
  if (!std::equal(magic.begin(), magic.end(), kMagic.begin())) throw DocumentFileError("not a document file (its first bytes are not a document mark)");
  const auto version = file.get<std::uint32_t>("the format version");
  if (version != kDocumentFileVersion)
    throw DocumentFileError("document format version " + std::to_string(version) + " is not readable here (version " +
                            std::to_string(kDocumentFileVersion) + " is)");
  const auto count = file.get_count(kSectionHeader, "the section count");

  DocumentContents out;
  std::map<std::uint32_t, bool> seen = {{kRecordings, false}, {kChannels, false}, {kCalculations, false}, {kItems, false},
                                        {kFingerprints, false}};
  std::vector<std::string> paths;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t header_at = file.offset();
    const auto t = file.get<std::uint32_t>("a section's tag");
    const auto length = file.get<std::uint32_t>("a section's length");
    const auto checksum = file.get<std::uint32_t>("a section's checksum");
    auto found = seen.find(t);
    if (found == seen.end()) file.fail("unknown section '" + tag_text(t) + "'");
    if (found->second) file.fail("section '" + tag_text(t) + "' appears twice");
    found->second = true;
    const std::size_t payload_at = file.offset();
    auto payload = file.take(length, ("section '" + tag_text(t) + "'").c_str());
    if (crc32(payload) != checksum)
      throw DocumentFileError("section '" + tag_text(t) + "' (at byte " + std::to_string(header_at) + ") is damaged: its checksum does not match");
    Reader in(payload, payload_at, "section '" + tag_text(t) + "'");
    if (t == kRecordings) read_recordings(in, out);
    else if (t == kChannels) read_channels(in, out);
    else if (t == kCalculations) read_calculations(in, out);
    else if (t == kFingerprints) read_fingerprints(in, out, paths);
    else read_items(in, out);
  }
  for (const auto& [t, present] : seen)
    if (!present && t != kFingerprints) throw DocumentFileError("the document file lacks its section '" + tag_text(t) + "'");
  if (seen[kFingerprints]) {
    if (out.fingerprints.size() != out.recordings.size())
      throw DocumentFileError("section 'FPRT' has " + std::to_string(out.fingerprints.size()) + " fingerprints for " +
                              std::to_string(out.recordings.size()) + " recordings");
    for (std::size_t i = 0; i < paths.size(); ++i) out.recordings[i].path = paths[i];
  }
  file.expect_end();
  for (const CalculationDefinition& c : out.calculations)
    if (std::none_of(out.channels.begin(), out.channels.end(), [&](const ChannelDefinition& d) { return d.name == c.channel; }))
      throw DocumentFileError("section 'CALC' names channel '" + c.channel + "', which section 'CHAN' does not define");
  return out;
}

}  // namespace korvel::docfile
