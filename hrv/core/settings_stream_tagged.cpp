// SPDX-License-Identifier: MIT
// Reading of the earlier settings format (stream versions 101 to 105): a sequence of
// tagged blocks whose times are in milliseconds. Only the values that have a place in the
// current record are kept; the rest are read past.
#include "hrv/core/settings_stream.h"

#include <string>

#include "hrv/core/tagged_blocks.h"
#include "hrv/detect/presets.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/hrv/result_codes.h"

namespace HRV::settings_stream {
namespace {

constexpr std::int32_t kBlockVersion = 101;
// Below this a stored minimum period is taken as "never set" and the preset's value stays.
constexpr double kSmallestMinPeriodSec = 0.01;

// The values of an earlier record that survive the conversion.
struct EarlierRecord {
  bool analyse_selection = false;
  std::int32_t channel = 0;
  double rr_boundaries_ms[4] = {};  // ascending; [1] and [2] are the classifier RR range
  bool exclude_ectopic = true;
  double bin_width_ms = 0;
  double prr_threshold_ms = 0;
  double vlf_lf_hz = 0;  // VLF/LF boundary
  double lf_hf_hz = 0;   // LF/HF boundary
  double hf_upper_hz = 0;
  double max_frequency_hz = 0;
  double min_period_sec = 0;
  bool online_mode = false;
  bool show_markers = true;
};

bool read_bool(BinaryReader& in) {
  bool v = false;
  in.read_bool32(v);
  return v;
}
std::int32_t read_int32(BinaryReader& in) {
  std::int32_t v = 0;
  in.read(v);
  return v;
}
double read_double(BinaryReader& in) {
  double v = 0;
  in.read(v);
  return v;
}
// Booleans and integers both take four bytes in this format.
void skip_int32s(BinaryReader& in, std::uint32_t count) { in.skip(4 * count); }
void skip_bools(BinaryReader& in, std::uint32_t count) { in.skip(4 * count); }
void skip_doubles(BinaryReader& in, std::uint32_t count) { in.skip(8 * count); }

void read_analysis_block(BinaryReader& in, EarlierRecord& r) {
  tagged_blocks::read_block_header(in, 0x10001, {kBlockVersion});
  r.analyse_selection = read_bool(in);
  r.channel = read_int32(in);
  for (int i = 0; i < 4; ++i) {
    r.rr_boundaries_ms[i] = read_double(in);
    // The earlier dialog did not enforce the order; raise each edge to the one before it.
    if (i > 0 && r.rr_boundaries_ms[i] < r.rr_boundaries_ms[i - 1]) r.rr_boundaries_ms[i] = r.rr_boundaries_ms[i - 1];
  }
  r.exclude_ectopic = read_bool(in);
  r.bin_width_ms = read_double(in);
  r.prr_threshold_ms = read_double(in);
  r.vlf_lf_hz = read_double(in);
  r.lf_hf_hz = read_double(in);
  r.hf_upper_hz = read_double(in);
  r.max_frequency_hz = read_double(in);
  skip_int32s(in, 4);
  skip_bools(in, 1);
  tagged_blocks::require_complete(in);
}

void read_detector_block(BinaryReader& in, EarlierRecord& r) {
  tagged_blocks::read_block_header(in, 0x10002, {kBlockVersion});
  skip_doubles(in, 1);
  r.min_period_sec = read_double(in);  // already in seconds in this block
  skip_int32s(in, 1);
  skip_bools(in, 3);
  skip_int32s(in, 1);
  tagged_blocks::require_complete(in);
}

// Blocks 3 to 5 hold display options with no counterpart any more.
void skip_display_blocks(BinaryReader& in) {
  tagged_blocks::read_block_header(in, 0x10003, {kBlockVersion});
  tagged_blocks::skip_string(in);
  skip_int32s(in, 1);
  tagged_blocks::skip_string(in);
  tagged_blocks::require_complete(in);

  tagged_blocks::read_block_header(in, 0x10004, {kBlockVersion});
  skip_bools(in, 3);
  tagged_blocks::require_complete(in);

  const std::int32_t version = tagged_blocks::read_block_header(in, 0x10005, {kBlockVersion, 102});
  skip_bools(in, 3);
  skip_int32s(in, 1);
  skip_bools(in, 2);
  skip_bools(in, version == 102 ? 3 : 2);
  skip_bools(in, 1);
  tagged_blocks::require_complete(in);
}

void read_marker_block(BinaryReader& in, EarlierRecord& r) {
  tagged_blocks::read_block_header(in, 0x10006, {kBlockVersion});
  r.online_mode = read_bool(in);
  r.show_markers = read_bool(in);
  tagged_blocks::require_complete(in);
}

// Versions 104 and 105 appended an untagged block; only its version-1 form has content.
// Its closing marker should be 777, but a record with another value was still accepted.
void skip_appended_block(BinaryReader& in) {
  if (read_int32(in) == 1) {
    if (read_bool(in)) skip_int32s(in, 4);
    skip_int32s(in, 1);
  }
  skip_int32s(in, 1);
  tagged_blocks::require_complete(in);
}

void skip_version_105_block(BinaryReader& in) {
  skip_bools(in, 1);
  skip_doubles(in, 4);
  skip_bools(in, 1);
  tagged_blocks::require_complete(in);
}

SettingsFields convert(const EarlierRecord& r) {
  SettingsFields f;
  f.SourceChannel = r.channel;
  f.AnalyseSelection = r.analyse_selection;
  f.ShowMarkers = r.show_markers;
  f.ExcludeEctopic = r.exclude_ectopic;
  f.OnlineMode = r.online_mode;
  f.BinWidthSec = r.bin_width_ms / 1000.0;
  f.PRRThresholdSec = r.prr_threshold_ms / 1000.0;
  f.MinRR = r.rr_boundaries_ms[1] / 1000.0;
  f.MaxRR = r.rr_boundaries_ms[2] / 1000.0;
  if (r.min_period_sec >= kSmallestMinPeriodSec) {
    // A hand-set period belongs to no species preset.
    f.MinPeriodSec = r.min_period_sec;
    ApplyPreset(f, kCustomPreset);
  }
  f.MaxFrequencyHz = r.max_frequency_hz;
  f.VLFLowHz = 0.0;
  f.VLFHighHz = r.vlf_lf_hz;
  f.LFLowHz = r.vlf_lf_hz;
  f.LFHighHz = r.lf_hf_hz;
  f.HFLowHz = r.lf_hf_hz;
  f.HFHighHz = r.hf_upper_hz;
  return f;
}

}  // namespace

SettingsFields read_earlier(BinaryReader& in, std::int32_t version) {
  if (version != 101 && version != 104 && version != 105)
    throw_hresult(HRV_E_WRONG_BLOCK_VERSION, "earlier settings version " + std::to_string(version) + " is not readable");
  EarlierRecord r;
  read_analysis_block(in, r);
  read_detector_block(in, r);
  skip_display_blocks(in);
  read_marker_block(in, r);
  if (version >= 104) skip_appended_block(in);
  if (version == 105) skip_version_105_block(in);
  return convert(r);
}

}  // namespace HRV::settings_stream
