// SPDX-License-Identifier: MIT
// Command dispatch, macros and notifications, with the probe document on the other side:
// the states it reports, a macro recorded, saved, loaded and replayed, and the
// notifications of both families delivered to it.
#include <filesystem>

#include "korvel/services/commands.h"
#include "korvel/services/macros.h"
#include "korvel/services/notifications.h"
#include "tests/korvel/services/probe_session.h"

namespace korvel::services::test {
namespace {

using CommandsTest = ProbeSession;

std::int32_t count_of(probe::IProbeDocument& p) {
  std::int32_t n = -1;
  EXPECT_EQ(p.GetCount(&n), S_OK);
  return n;
}

TEST_F(CommandsTest, UpdateQueriesReportEnabledCheckedAndText) {
  EXPECT_FALSE(update_command(*session, command(probe::kCommandCount)).enabled) << "no selection";
  frame->chart_view().select_range({0, 0}, {500, 0});
  const CommandState count = update_command(*session, command(probe::kCommandCount));
  EXPECT_TRUE(count.enabled);
  EXPECT_TRUE(count.has_rule);
  EXPECT_EQ(count.text, "&Count") << "the menu text when the rule sets none";

  EXPECT_FALSE(update_command(*session, command(probe::kCommandToggle)).checked);
  ASSERT_EQ(execute_command(*session, command(probe::kCommandToggle)), S_OK);
  EXPECT_TRUE(update_command(*session, command(probe::kCommandToggle)).checked);
  EXPECT_EQ(update_command(*session, command(probe::kCommandReport)).text, "Report 0");

  const CommandState open = update_command(*session, command(probe::kCommandOpenView));
  EXPECT_FALSE(open.has_rule);
  EXPECT_TRUE(open.enabled);
  EXPECT_EQ(execute_command(*session, 0x7FFF0001u), S_FALSE) << "nobody's command";
}

TEST_F(CommandsTest, PopupsAreBuiltByTheDocumentAndRefuseForeignItems) {
  const auto entries = build_popup(*session, command(probe::kCommandViews));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1], (std::pair<std::uint32_t, std::string>{42, "Second View"}));
  EXPECT_EQ(choose_popup(*session, command(probe::kCommandViews), 41), S_OK);
  EXPECT_EQ(choose_popup(*session, command(probe::kCommandViews), 43), E_FAIL);
  EXPECT_TRUE(build_popup(*session, command(probe::kCommandCount)).empty());
}

TEST_F(CommandsTest, AMacroCommandIsDeliveredBackAndRecordedOnlyWhileRecording) {
  ASSERT_EQ(execute_command(*session, command(probe::kCommandCount)), S_OK);
  EXPECT_EQ(count_of(*probe), 1);
  session->macros().start();
  for (auto c : {probe::kCommandCount, probe::kCommandToggle, probe::kCommandCount})  // Toggle is no macro command
    ASSERT_EQ(execute_command(*session, command(c)), S_OK);
  const auto steps = session->macros().stop();
  EXPECT_EQ(steps, (std::vector<MacroStep>{{"PRB", "Probe_Count", {}}, {"PRB", "Probe_Count", {}}}));
  EXPECT_EQ(count_of(*probe), 3);

  const auto path = std::filesystem::path(::testing::TempDir()) / "probe_count.macro";
  save_macro(path, steps);
  DocumentFrame& other = session->open(synthetic_document(5.0));
  EXPECT_EQ(replay_macro(other, load_macro(path)), (std::vector<HRESULT>{S_OK, S_OK}));
  EXPECT_EQ(count_of(*probe_of(other)), 2);
  EXPECT_EQ(count_of(*probe), 3) << "only the document it was replayed into counts";
  std::filesystem::remove(path);
}

TEST_F(CommandsTest, AMacroThatNamesAnUnknownCommandOrBadArgumentsRunsNothing) {
  auto message = [&](const std::vector<MacroStep>& steps) {
    try {
      replay_macro(*frame, steps);
    } catch (const MacroError& e) {
      return std::string(e.what());
    }
    return std::string("replayed");
  };
  EXPECT_EQ(message({{"PRB", "Probe_Count", {}}, {"PRB", "Probe_Nothing", {}}}),
            "step 2 (PRB Probe_Nothing): no extension offers this macro command");
  EXPECT_EQ(message({{"PRB", "Probe_Count", {}}, {"PRB", "Probe_Count", {"a", "b"}}}),
            "step 2 (PRB Probe_Count): the command does not take these arguments");
  EXPECT_EQ(count_of(*probe), 0);
  EXPECT_EQ(message({{"PRB", "Probe_Count", {"one"}}}), "replayed");
  EXPECT_EQ(count_of(*probe), 1);
}

TEST_F(CommandsTest, NotificationsOfBothFamiliesReachTheDocument) {
  journal();
  auto calculation = make_com<MenuService>();  // any object stands for a channel's calculation
  EXPECT_EQ(notify_data(*frame, kChannelCalculationChanged, {3, 4, 0, 0}, calculation->identity()), (std::vector<HRESULT>{S_OK}));
  notify_data(*frame, kDataChanged, {10, 0, -1, 0});
  EXPECT_EQ(notify_framework(*frame, 6), 1u) << "left to the host";
  EXPECT_EQ(journal(), (Lines{"data 6 3 4 0 0 object", "data 14 10 0 -1 0", "framework 6"}));
  EXPECT_NE(notification_type(kDataNotificationFamily, 4) >> 16, notification_type(kFrameworkNotificationFamily, 4) >> 16);
}

}  // namespace
}  // namespace korvel::services::test
