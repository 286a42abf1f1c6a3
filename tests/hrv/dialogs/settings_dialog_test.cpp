// SPDX-License-Identifier: MIT
#include "hrv/dialogs/settings_dialog.h"

#include <gtest/gtest.h>

#include "dialog_requests.h"
#include "fake_host_document.h"
#include "hrv/detect/detector_dialog.h"

namespace {

using D = HRV::SettingsDialog;
using dialog_test::requests;
using dialog_test::text;

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { host->records = {{0.0, 0.001, 1000}}; }
  void type(std::int32_t edit, std::u16string_view value) { dialog->notify(edit, DialogTextChanged, 0, value); }
  std::vector<std::string> texts(std::initializer_list<std::int32_t> ids) {
    std::vector<std::string> out;
    for (auto id : ids) out.push_back(text(*dialog, id));
    return out;
  }

  ComPtr<fake_host::HostDocument> host = make_com<fake_host::HostDocument>();
  HRV::SettingsFields copy;
  ComPtr<D> dialog = make_com<D>(std::vector<std::u16string>{u"ECG", u"BP"}, copy, host.get());
};

TEST_F(SettingsDialogTest, OpensOnTheCopyShowingMillisecondsAndNineSpecies) {
  EXPECT_EQ(texts({D::kBinWidth, D::kPRRThreshold, D::kSDARRPeriod, D::kMinRR, D::kMaxRR, D::kFrequencyCount}),
            (std::vector<std::string>{"10", "50", "300", "800", "1200", "500"}));
  EXPECT_EQ(dialog->control(D::kPreset).items.size(), 9u);
  EXPECT_EQ(dialog->control(D::kPreset).items[5], u"Pig");  // string-table order, not alphabetical
  EXPECT_TRUE(dialog->control(D::kWholeChannel).checked);
  EXPECT_FALSE(dialog->control(D::kAdvanced).enabled);
  dialog->notify(D::kHelp, DialogClicked);
  const auto r = requests(*dialog);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].help, "HRVHelp/HRV_Settings2");
}

TEST_F(SettingsDialogTest, ASpeciesRefillsTheBoxAndBandsAndCustomKeepsWhatIsTyped) {
  dialog->notify(D::kPreset, DialogSelected, 7);  // Rat
  EXPECT_EQ(texts({D::kMinRR, D::kMaxRR, D::kMinFF, D::kMaxFF}), (std::vector<std::string>{"100", "200", "1", "1.8"}));
  EXPECT_EQ(texts({D::kMaxFrequency, D::kVLFLow, D::kVLFHigh, D::kLFLow, D::kLFHigh, D::kHFLow, D::kHFHigh}),
            (std::vector<std::string>{"3", "0", "0.2", "0.2", "0.75", "0.75", "2.5"}));
  EXPECT_FALSE(dialog->control(D::kAdvanced).enabled);
  type(D::kMinRR, u"90");
  dialog->notify(D::kPreset, DialogSelected, 8);  // Custom
  EXPECT_EQ(text(*dialog, D::kMinRR), "90");
  EXPECT_EQ(copy.LowPassHz, 150.0);  // the rat's detector stays in force
  EXPECT_TRUE(dialog->control(D::kAdvanced).enabled);
}

TEST_F(SettingsDialogTest, EditsAcceptTheirRangesAndBandsFollowTheMaximumFrequency) {
  struct Case {
    std::int32_t edit;
    std::u16string text;
    bool valid;
  } cases[] = {
      {D::kFrequencyCount, u"5", false},  {D::kFrequencyCount, u"10", true},   {D::kFrequencyCount, u"10000", true},
      {D::kFrequencyCount, u"1e2", false}, {D::kFrequencyCount, u"10.0", false}, {D::kBinWidth, u"0.1", true},
      {D::kBinWidth, u"0.09", false},     {D::kPRRThreshold, u"0.001", true},   {D::kPRRThreshold, u"1001", false},
      {D::kSDARRPeriod, u"3600", true},   {D::kSDARRPeriod, u"0.5", false},      {D::kMinRR, u"60000", true},
      {D::kMinRR, u"-1", false},          {D::kMaxFF, u"10", true},              {D::kMaxFF, u"10.5", false},
      {D::kMaxFrequency, u"10", true},    {D::kMaxFrequency, u"11", false},      {D::kBinWidth, u"12 ms", false},
      {D::kBinWidth, u"", false},
  };
  for (const Case& c : cases) {
    type(c.edit, c.text);
    EXPECT_EQ(!dialog->marked(c.edit), c.valid) << c.edit << " " << utf16_to_utf8(c.text);
  }
  type(D::kMaxFrequency, u"2");
  type(D::kHFHigh, u"2.5");
  EXPECT_TRUE(dialog->marked(D::kHFHigh));
  type(D::kMaxFrequency, u"3");
  EXPECT_FALSE(dialog->marked(D::kHFHigh));
  type(D::kMaxFrequency, u"fast");  // no number: the bands may reach 10 Hz
  EXPECT_FALSE(dialog->marked(D::kHFHigh));
  EXPECT_TRUE(dialog->marked(D::kMaxFrequency));
}

TEST_F(SettingsDialogTest, OkStoresPairsSortedInSecondsAndRefusesAnInvalidValueWithTheWarning) {
  type(D::kMinRR, u"1200");
  type(D::kMaxRR, u"800");
  type(D::kHFHigh, u"0.6");
  dialog->notify(HRV::kOk, DialogClicked);  // 0.6 Hz lies above the maximum frequency 0.5
  auto r = requests(*dialog);
  ASSERT_EQ(r.size(), 1u);
  ASSERT_EQ(r[0].kind, DialogRequestShow);
  EXPECT_EQ(dialog_test::template_texts(*r[0].dialog),
            (std::vector<std::string>{"One or more settings are invalid and need correcting.", "The invalid settings are marked with a",
                                      "Correct these settings before continuing.", "OK"}));
  EXPECT_FALSE(dialog->result());
  EXPECT_EQ(copy.MinRR, 0.8);
  r[0].dialog->notify(HRV::kOk, DialogClicked);
  EXPECT_EQ(r[0].dialog->result(), HRV::kOk);

  type(D::kHFHigh, u"0.5");
  dialog->notify(D::kSelection, DialogClicked);
  dialog->notify(D::kChannel, DialogSelected, 1);
  dialog->notify(D::kBinWidth, DialogTextChanged, 0, u"2.5");
  dialog->notify(HRV::kOk, DialogClicked);
  EXPECT_EQ(dialog->result(), HRV::kOk);
  EXPECT_EQ(std::pair(copy.MinRR, copy.MaxRR), std::pair(0.8, 1.2));
  EXPECT_EQ(copy.HFHighHz, 0.5);
  EXPECT_EQ(copy.BinWidthSec, 0.0025);
  EXPECT_TRUE(copy.AnalyseSelection);
  EXPECT_FALSE(dialog->control(D::kWholeChannel).checked);
  EXPECT_EQ(copy.SourceChannel, 1);
}

TEST_F(SettingsDialogTest, AdvancedHandsBackTheDetectorOnlyOnOk) {
  dialog->notify(D::kPreset, DialogSelected, 8);
  for (bool accept : {false, true}) {
    dialog->notify(D::kAdvanced, DialogClicked);
    auto r = requests(*dialog);
    ASSERT_EQ(r.size(), 1u);
    auto& advanced = *r[0].dialog;
    advanced.notify(HRV::DetectorDialog::kLowPass, DialogTextChanged, 0, u"45");
    advanced.notify(accept ? HRV::kOk : HRV::kCancel, DialogClicked);
    dialog->notify(0, DialogChildClosed, *advanced.result());
    EXPECT_EQ(copy.LowPassHz, accept ? 45.0 : 30.0);
  }
  dialog->notify(HRV::kCancel, DialogClicked);
  EXPECT_EQ(dialog->result(), HRV::kCancel);
}

}  // namespace
