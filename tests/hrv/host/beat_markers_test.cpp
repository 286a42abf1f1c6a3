// SPDX-License-Identifier: MIT
#include "hrv/host/beat_markers.h"

#include <gtest/gtest.h>

#include "fake_host_application.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "sdk/cpp/utf.h"

namespace {

using HRV::FiducialEvent;

FiducialEvent beat(double rr, double deltaRR, std::uint32_t flags, std::int32_t number = 1, double ff = 1.25) {
  FiducialEvent b;
  b.tick = 1000, b.beatNumber = number, b.rr = rr, b.deltaRR = deltaRR, b.rate = 1.0 / rr, b.ff = ff, b.flags = flags;
  return b;
}

TEST(BeatMarkers, ColourFollowsTheClassWithTheUsersFlagFirst) {
  const double nan = HRV::kUndefined;
  FiducialEvent empty = beat(1.0, 0.1, 0x300);
  empty.tick = FiducialEvent::kEmptyTick;
  const struct {
    const char* what;
    FiducialEvent event;
    std::uint32_t colour;
  } cases[] = {
      {"first beat after a break (no RR)", beat(nan, nan, 0xFF), HRV::MarkerGrey},
      {"RR but no delta-RR", beat(0.8, nan, 0x100), HRV::MarkerGrey},
      {"user added, outside both ranges", beat(0.5, 0.1, 0x10303), HRV::MarkerGreen},
      {"user added with no class", beat(nan, nan, 0x100FF), HRV::MarkerGrey},
      {"outside RR and FF", beat(0.5, 0.1, 0x003), HRV::MarkerRed},
      {"another high flag is no user flag", beat(0.5, 0.1, 0x20003), HRV::MarkerRed},
      {"outside RR", beat(0.5, 0.1, 0x001), HRV::MarkerOrange},
      {"outside FF", beat(1.0, 0.1, 0x302), HRV::MarkerMagenta},
      {"other class code", beat(1.0, 0.1, 0x304), HRV::MarkerGrey},
      {"normal and used", beat(1.0, 0.1, 0x300), HRV::MarkerBlue},
      {"normal after an ectopic beat", beat(1.0, 0.1, 0x100), HRV::MarkerGrey},
      {"empty slot", empty, HRV::MarkerGrey},
  };
  for (const auto& c : cases) EXPECT_EQ(HRV::marker_colour(c.event), c.colour) << c.what;
  EXPECT_EQ(HRV::MarkerOrange, 0x0000AAFFu);  // COLORREF 0x00BBGGRR of RGB (255, 170, 0)
}

TEST(BeatMarkers, CommentGivesNumberRRInMillisecondsFFAndClass) {
  EXPECT_EQ(HRV::beat_comment(beat(0.8125, 0.01, 0x300, 12)), "HRV Beat 12: RR = 812.5 ms; FF = 1.25 (Normal)");
  EXPECT_EQ(HRV::beat_comment(beat(1.5, 0.01, 0x301, 3, 2.34567)), "HRV Beat 3: RR = 1500 ms; FF = 2.346 (Ectopic)");
  EXPECT_EQ(HRV::beat_comment(beat(0.81234, 0.01, 0x100, 4)), "HRV Beat 4: RR = 812.3 ms; FF = 1.25 (Unused)");
  EXPECT_EQ(HRV::beat_comment(beat(HRV::kUndefined, HRV::kUndefined, 0xFF, 1)), "HRV Beat 1: RR = no data; FF = 1.25 (Unknown)");
}

TEST(FiducialDrawClass, DrawsTheEnumeratorsEventTypeOneFromItsEightyByteRecord) {
  auto app = make_com<fake_host::Application>();
  HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(app.get()));
  auto draw = make_com<HRV::FiducialDrawClass>();
  std::uint32_t type = 0;
  ASSERT_EQ(draw->GetTypeId(&type), S_OK);
  EXPECT_EQ(type, (std::uint32_t{app->module_id(HRV::GUID_HRVEnumObj)} << 16) | 1u);
  BSTR name = SysAllocString(u"stale");  // freed by GetName
  ASSERT_EQ(draw->GetName(&name), S_OK);
  EXPECT_EQ(Bstr::adopt(name).utf8(), "PkStimEventDrawClass");
  EXPECT_EQ(draw->CanDraw(0), 1);

  const FiducialEvent record = beat(0.8125, 0.01, 0x10300, 7);
  std::uint32_t colour = 0;
  Bstr text;
  ASSERT_EQ(draw->GetColour(0, &record, &colour), S_OK);
  EXPECT_EQ(colour, HRV::MarkerGreen);
  ASSERT_EQ(draw->GetText(0, 0, 0, 0, 0, &record, text.put()), S_OK);
  EXPECT_EQ(text.utf8(), "HRV Beat 7: RR = 812.5 ms; FF = 1.25 (Normal)");
  EXPECT_EQ(draw->GetColour(0, nullptr, &colour), E_FAIL);
  EXPECT_EQ(draw->GetText(0, 0, 0, 0, 0, nullptr, text.put()), E_FAIL);
  HRV::HostContext::instance().set_application(nullptr);
}

}  // namespace
