// SPDX-License-Identifier: MIT
#include "hrv/core/settings_stream.h"

#include <variant>

namespace HRV::settings_stream {
namespace {

using Int32Member = std::int32_t SettingsFields::*;
using BoolMember = bool SettingsFields::*;  // stored as int32 0 or 1
using DoubleMember = double SettingsFields::*;

struct StreamField {
  std::uint32_t offset;        // byte offset in a version-6 stream
  std::int32_t first_version;  // first stream version that carries the field
  std::variant<Int32Member, BoolMember, DoubleMember> member;
};

constexpr std::uint32_t stored_size(const StreamField& f) {
  return std::holds_alternative<DoubleMember>(f.member) ? 8 : 4;
}

using F = SettingsFields;
// The frozen stream layout, in stream order. Fields appended by later versions sit where
// they were appended: SDARRPeriodSec after the two booleans, LowPassHz after the other
// detector values.
constexpr StreamField kLayout[] = {
    {4, 0, &F::SourceChannel},
    {8, 0, &F::SourceKind},
    {12, 0, &F::AnalyseSelection},
    {16, 0, &F::ShowMarkers},
    {20, 0, &F::StartRecord},
    {24, 0, &F::StartTick},
    {28, 0, &F::EndRecord},
    {32, 0, &F::EndTick},
    {36, 0, &F::BinWidthSec},
    {44, 0, &F::AutoBinWidth},
    {48, 0, &F::PRRThresholdSec},
    {56, 0, &F::ExcludeEctopic},
    {60, 0, &F::OnlineMode},
    {64, 3, &F::SDARRPeriodSec},
    {72, 0, &F::MinRR},
    {80, 0, &F::MaxRR},
    {88, 0, &F::MinFF},
    {96, 0, &F::MaxFF},
    {104, 0, &F::Preset},
    {108, 0, &F::WindowSec},
    {116, 0, &F::Noise},
    {124, 0, &F::MinPeakHeightSD},
    {132, 0, &F::QRSWidthSec},
    {140, 0, &F::MinPeriodSec},
    {148, 6, &F::LowPassHz},
    {156, 0, &F::MaxFrequencyHz},
    {164, 0, &F::VLFLowHz},
    {172, 0, &F::VLFHighHz},
    {180, 0, &F::LFLowHz},
    {188, 0, &F::LFHighHz},
    {196, 0, &F::HFLowHz},
    {204, 0, &F::HFHighHz},
    {212, 2, &F::FrequencyCount},
    {216, 4, &F::WindowFunction},
};

// The offsets are written out so that a reader of the table sees the layout; this check
// keeps them honest against the order and sizes the reader and writer actually use.
consteval bool layout_is_contiguous() {
  std::uint32_t at = 4;  // after the version
  for (const auto& f : kLayout) {
    if (f.offset != at) return false;
    at += stored_size(f);
  }
  return at == kCurrentSize;
}
static_assert(layout_is_contiguous());

void read_value(BinaryReader& in, std::int32_t& v) { in.read(v); }
void read_value(BinaryReader& in, bool& v) { in.read_bool32(v); }
void read_value(BinaryReader& in, double& v) { in.read(v); }
void write_value(BinaryWriter& out, std::int32_t v) { out.write(v); }
void write_value(BinaryWriter& out, bool v) { out.write_bool32(v); }
void write_value(BinaryWriter& out, double v) { out.write(v); }

}  // namespace

void write_current(BinaryWriter& out, const SettingsFields& fields) {
  out.write(kCurrentVersion);
  for (const auto& f : kLayout)
    std::visit([&](auto member) { write_value(out, fields.*member); }, f.member);
}

void read_current(BinaryReader& in, std::int32_t version, SettingsFields& fields) {
  for (const auto& f : kLayout)
    if (version >= f.first_version)
      std::visit([&](auto member) { read_value(in, fields.*member); }, f.member);
}

}  // namespace HRV::settings_stream
