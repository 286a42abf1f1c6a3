// SPDX-License-Identifier: MIT
#include "hrv/detect/detector_dialog.h"

#include <gtest/gtest.h>

#include "dialog_requests.h"
#include "fake_host_document.h"

namespace {

using DD = HRV::DetectorDialog;
using dialog_test::text;

class DetectorDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host->records = {{0.0, 0.001, 1000}};
    settings.Noise = 0.002;  // the fake channel's unit is mV: shown as 2
    dialog = make_com<DD>(host.get(), settings);
  }
  std::string expr(const std::string& name) { return host->expression(name); }

  ComPtr<fake_host::HostDocument> host = make_com<fake_host::HostDocument>();
  HRV::SettingsFields settings;
  ComPtr<DD> dialog;
};

TEST_F(DetectorDialogTest, OpensOnTheWholeRecordingInDisplayUnits) {
  EXPECT_EQ(expr("HRV_pNRM"), "normalizeSec(HRV_pENV,5,2.5,0.002)");
  EXPECT_EQ(expr("HRV_pFID"), "fiducial(HRV_pLPF,HRV_pDET,0.08,0,0.8,1.2,1,1.5,0,0,2.14748e+09,2.14748e+09,1)");
  EXPECT_EQ(host->channel("HRV_vLPF"), nullptr);  // the document's own chain is never touched
  EXPECT_EQ(text(*dialog, DD::kNoise), "2");
  EXPECT_EQ(text(*dialog, DD::kNoiseUnit), "mV");
  EXPECT_EQ(text(*dialog, DD::kQRSWidth), "80");
  EXPECT_EQ(dialog->control(DD::kWindowSlider).position, 50);
  EXPECT_EQ(dialog->control(DD::kPeakSlider).position, 60);
  DialogPreview preview;
  ASSERT_EQ(dialog->GetPreview(DD::kPreview, &preview), S_OK);
  ChannelId envelope, beats;
  host->FindChannel(u"HRV_pNRM", &envelope), host->FindChannel(u"HRV_pFID", &beats);
  EXPECT_EQ(std::pair(preview.trace.index, preview.events.index), std::pair(envelope.index, beats.index));
  EXPECT_EQ(std::pair(preview.traceBottom, preview.traceTop), std::pair(-10.0, 10.0));
  EXPECT_EQ(utf16_to_utf8(preview.traceUnit), "S.D.");
  EXPECT_EQ(preview.sourceColour, 0x008000FFu);
  SysFreeString(preview.traceUnit);
}

TEST_F(DetectorDialogTest, SlidersRewriteTheEditWhileDraggingAndRebuildOnRelease) {
  dialog->notify(DD::kWindowSlider, DialogSliding, 37);
  EXPECT_EQ(text(*dialog, DD::kWindow), "3.7");
  EXPECT_EQ(expr("HRV_pNRM"), "normalizeSec(HRV_pENV,5,2.5,0.002)");
  dialog->notify(DD::kWindowSlider, DialogSlid, 37);
  EXPECT_EQ(expr("HRV_pNRM"), "normalizeSec(HRV_pENV,3.7,1.85,0.002)");
  dialog->notify(DD::kWindow, DialogTextChanged, 0, u"0.3");
  EXPECT_EQ(dialog->control(DD::kWindowSlider).position, 3);
  dialog->notify(DD::kPeakSlider, DialogSlid, 7);
  EXPECT_EQ(text(*dialog, DD::kPeakHeight), "0.35");
  EXPECT_EQ(expr("HRV_pDET"), "cmpeakdet(HRV_pNRM,0.35,0.3,30)");
}

TEST_F(DetectorDialogTest, ArrowsStepTheThresholdWithinItsRange) {
  struct Case {
    std::u16string from;
    std::int32_t steps;
    std::string to;
  } cases[] = {{u"3", 3, "3.15"}, {u"0.05", -1, "0.05"}, {u"8.98", 2, "9"}, {u"1", -2, "0.9"}};
  for (const Case& c : cases) {
    dialog->notify(DD::kPeakHeight, DialogTextChanged, 0, c.from);
    dialog->notify(DD::kPeakUpDown, DialogStepped, c.steps);
    EXPECT_EQ(text(*dialog, DD::kPeakHeight), c.to) << utf16_to_utf8(c.from) << " " << c.steps;
  }
  EXPECT_EQ(expr("HRV_pDET"), "cmpeakdet(HRV_pNRM,0.9,0.3,30)");
  EXPECT_EQ(dialog->control(DD::kPeakSlider).position, 18);
}

TEST_F(DetectorDialogTest, AnInvalidValueKeepsThePreviewAndBlocksOk) {
  const std::uint32_t before = dialog->preview_generation();
  dialog->notify(DD::kLowPass, DialogTextChanged, 0, u"5");
  EXPECT_TRUE(dialog->marked(DD::kLowPass));
  EXPECT_EQ(expr("HRV_pLPF"), "lowpass(Ch1,30)");
  dialog->notify(DD::kQRSWidth, DialogTextChanged, 0, u"40");  // valid, but the low pass still is not
  EXPECT_EQ(dialog->preview_generation(), before);
  dialog->notify(HRV::kOk, DialogClicked);
  EXPECT_FALSE(dialog->result());
  EXPECT_EQ(dialog_test::requests(*dialog).at(0).kind, DialogRequestShow);
  dialog->notify(DD::kLowPass, DialogTextChanged, 0, u"60");
  EXPECT_EQ(expr("HRV_pLPF"), "lowpass(Ch1,60)");
  EXPECT_GT(dialog->preview_generation(), before);
  dialog->notify(DD::kNoise, DialogTextChanged, 0, u"3");
  dialog->notify(HRV::kOk, DialogClicked);
  EXPECT_EQ(dialog->result(), HRV::kOk);
  EXPECT_EQ(dialog->settings().LowPassHz, 60.0);
  EXPECT_EQ(dialog->settings().QRSWidthSec, 0.04);
  EXPECT_DOUBLE_EQ(dialog->settings().Noise, 0.003);
}

}  // namespace
