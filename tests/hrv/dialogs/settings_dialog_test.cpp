// SPDX-License-Identifier: MIT
#include "hrv/dialogs/settings_dialog.h"

#include <gtest/gtest.h>

#include "dialog_requests.h"
#include "fake_host_document.h"
#include "hrv/detect/detector_dialog.h"

namespace {

using SD = HRV::SettingsDialog;
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
  ComPtr<SD> dialog = make_com<SD>(std::vector<std::u16string>{u"ECG", u"BP"}, copy, host.get());
};

TEST_F(SettingsDialogTest, OpensOnTheCopyShowingMillisecondsAndNineSpecies) {
  EXPECT_EQ(texts({SD::kBinWidth, SD::kPRRThreshold, SD::kSDARRPeriod, SD::kMinRR, SD::kMaxRR, SD::kFrequencyCount}),
            (std::vector<std::string>{"10", "50", "300", "800", "1200", "500"}));
  EXPECT_EQ(dialog->control(SD::kPreset).items.size(), 9u);
  EXPECT_EQ(dialog->control(SD::kPreset).items[5], u"Pig");  // string-table order, not alphabetical
  EXPECT_TRUE(dialog->control(SD::kWholeChannel).checked);
  EXPECT_FALSE(dialog->control(SD::kAdvanced).enabled);
  dialog->notify(SD::kHelp, DialogClicked);
  const auto r = requests(*dialog);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].help, "HRVHelp/HRV_Settings2");
}

TEST_F(SettingsDialogTest, ASpeciesRefillsTheBoxAndBandsAndCustomKeepsWhatIsTyped) {
  dialog->notify(SD::kPreset, DialogSelected, 7);  // Rat
  EXPECT_EQ(texts({SD::kMinRR, SD::kMaxRR, SD::kMinFF, SD::kMaxFF}), (std::vector<std::string>{"100", "200", "1", "1.8"}));
  EXPECT_EQ(texts({SD::kMaxFrequency, SD::kVLFLow, SD::kVLFHigh, SD::kLFLow, SD::kLFHigh, SD::kHFLow, SD::kHFHigh}),
            (std::vector<std::string>{"3", "0", "0.2", "0.2", "0.75", "0.75", "2.5"}));
  EXPECT_FALSE(dialog->control(SD::kAdvanced).enabled);
  type(SD::kMinRR, u"90");
  dialog->notify(SD::kPreset, DialogSelected, 8);  // Custom
  EXPECT_EQ(text(*dialog, SD::kMinRR), "90");
  EXPECT_EQ(copy.LowPassHz, 150.0);  // the rat's detector stays in force
  EXPECT_TRUE(dialog->control(SD::kAdvanced).enabled);
}

TEST_F(SettingsDialogTest, EditsAcceptTheirRangesAndBandsFollowTheMaximumFrequency) {
  struct Case {
    std::int32_t edit;
    std::u16string text;
    bool valid;
  } cases[] = {
      {SD::kFrequencyCount, u"5", false},  {SD::kFrequencyCount, u"10", true},   {SD::kFrequencyCount, u"10000", true},
      {SD::kFrequencyCount, u"1e2", false}, {SD::kFrequencyCount, u"10.0", false}, {SD::kBinWidth, u"0.1", true},
      {SD::kBinWidth, u"0.09", false},     {SD::kPRRThreshold, u"0.001", true},   {SD::kPRRThreshold, u"1001", false},
      {SD::kSDARRPeriod, u"3600", true},   {SD::kSDARRPeriod, u"0.5", false},      {SD::kMinRR, u"60000", true},
      {SD::kMinRR, u"-1", false},          {SD::kMaxFF, u"10", true},              {SD::kMaxFF, u"10.5", false},
      {SD::kMaxFrequency, u"10", true},    {SD::kMaxFrequency, u"11", false},      {SD::kBinWidth, u"12 ms", false},
      {SD::kBinWidth, u"", false},
  };
  for (const Case& c : cases) {
    type(c.edit, c.text);
    EXPECT_EQ(!dialog->marked(c.edit), c.valid) << c.edit << " " << utf16_to_utf8(c.text);
  }
  type(SD::kMaxFrequency, u"2");
  type(SD::kHFHigh, u"2.5");
  EXPECT_TRUE(dialog->marked(SD::kHFHigh));
  type(SD::kMaxFrequency, u"3");
  EXPECT_FALSE(dialog->marked(SD::kHFHigh));
  type(SD::kMaxFrequency, u"fast");  // no number: the bands may reach 10 Hz
  EXPECT_FALSE(dialog->marked(SD::kHFHigh));
  EXPECT_TRUE(dialog->marked(SD::kMaxFrequency));
}

TEST_F(SettingsDialogTest, OkStoresPairsSortedInSecondsAndRefusesAnInvalidValueWithTheWarning) {
  type(SD::kMinRR, u"1200");
  type(SD::kMaxRR, u"800");
  type(SD::kHFHigh, u"0.6");
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

  type(SD::kHFHigh, u"0.5");
  dialog->notify(SD::kSelection, DialogClicked);
  dialog->notify(SD::kChannel, DialogSelected, 1);
  dialog->notify(SD::kBinWidth, DialogTextChanged, 0, u"2.5");
  dialog->notify(HRV::kOk, DialogClicked);
  EXPECT_EQ(dialog->result(), HRV::kOk);
  EXPECT_EQ(std::pair(copy.MinRR, copy.MaxRR), std::pair(0.8, 1.2));
  EXPECT_EQ(copy.HFHighHz, 0.5);
  EXPECT_EQ(copy.BinWidthSec, 0.0025);
  EXPECT_TRUE(copy.AnalyseSelection);
  EXPECT_FALSE(dialog->control(SD::kWholeChannel).checked);
  EXPECT_EQ(copy.SourceChannel, 1);
}

TEST_F(SettingsDialogTest, AdvancedHandsBackTheDetectorOnlyOnOk) {
  dialog->notify(SD::kPreset, DialogSelected, 8);
  for (bool accept : {false, true}) {
    dialog->notify(SD::kAdvanced, DialogClicked);
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
