// SPDX-License-Identifier: MIT
#include "hrv/host/calculations_dialog.h"

#include <gtest/gtest.h>

#include "dialog_requests.h"

namespace {

using CD = HRV::CalculationsDialog;

TEST(CalculationsDialog, OffersFourParametersAndDisablesGuideLinesForAChangeOfPeriod) {
  auto s = make_com<HRV::ChannelCalc::Settings>();
  s->Parameter = 5, s->GuideLines = false;
  auto dialog = make_com<CD>(*s);
  EXPECT_EQ(dialog->control(CD::kParameter).items,
            (std::vector<std::u16string>{u"Beat Period", u"Change in Beat Period", u"Beat Rate", u"Beat Complexity"}));
  EXPECT_EQ(dialog->control(CD::kParameter).selection, 3);
  EXPECT_FALSE(dialog->control(CD::kGuideLines).checked);
  dialog->notify(CD::kGuideLines, DialogClicked);
  dialog->notify(CD::kParameter, DialogSelected, 1);  // Change in Beat Period
  EXPECT_EQ(s->Parameter, 1);
  EXPECT_TRUE(s->GuideLines);
  EXPECT_FALSE(dialog->control(CD::kGuideLines).enabled);
  dialog->notify(CD::kParameter, DialogSelected, 2);  // Beat Rate
  EXPECT_TRUE(dialog->control(CD::kGuideLines).enabled);
  dialog->notify(CD::kGuideLines, DialogClicked);
  dialog->notify(CD::kHelp, DialogClicked);
  dialog->notify(HRV::kOk, DialogClicked);
  EXPECT_EQ(std::pair(s->Parameter, s->GuideLines), std::pair(2, false));
  const auto r = dialog_test::requests(*dialog);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].help, "HRVHelp/HRV_Calculations");
  EXPECT_EQ(std::pair(r[1].kind, r[1].result), std::pair(std::int32_t{DialogRequestClose}, HRV::kOk));
  // A parameter the dialog does not offer opens without a selection, and OK keeps it.
  s->Parameter = 3;
  auto other = make_com<CD>(*s);
  EXPECT_EQ(other->control(CD::kParameter).selection, -1);
  other->notify(HRV::kOk, DialogClicked);
  EXPECT_EQ(s->Parameter, 3);
}

}  // namespace
