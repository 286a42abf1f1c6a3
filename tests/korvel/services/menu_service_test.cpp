// SPDX-License-Identifier: MIT
// The menu service: which paths it accepts, the texts it reads, and how the host finds
// items again.
#include "korvel/services/menu_service.h"

#include <gtest/gtest.h>

#include <map>

#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

class Strings final : public ComObject<IExtensionStrings> {
 public:
  HRESULT GetString(std::uint32_t id, BSTR* text) override {
    if (!text) return E_POINTER;
    *text = nullptr;
    static const std::map<std::uint32_t, std::string> table = {{30, "&Settings..."}, {31, "Settings"}, {32, "Settings"}, {39, "Analysis Plots"}};
    auto it = table.find(id);
    if (it == table.end()) return S_FALSE;
    *text = Bstr(it->second).detach();
    return S_OK;
  }
};

class MenuServiceTest : public ::testing::Test {
 protected:
  HRESULT add(std::uint32_t command, const char16_t* path, std::uint32_t text = 0, const char16_t* anchor = nullptr) {
    const MenuItem item{command, path, text, anchor, 1003, 10};
    return menus->AddMenuItem(&item, strings.get());
  }
  ComPtr<MenuService> menus = make_com<MenuService>();
  ComPtr<Strings> strings = make_com<Strings>();
};

TEST_F(MenuServiceTest, AcceptsItemsOnlyUnderLevelsAddedBefore) {
  EXPECT_EQ(add(1, u"HRV|Settings"), E_INVALIDARG);  // no menu yet
  ASSERT_EQ(menus->AddMenu(u"HRV", u"HRV"), S_OK);
  EXPECT_EQ(menus->AddMenu(u"HRV", u"HRV"), S_FALSE);
  EXPECT_EQ(add(0, u"HRV^EXTENSION|"), S_OK);
  EXPECT_EQ(add(0, u"Other^EXTENSION|"), E_INVALIDARG);
  EXPECT_EQ(add(1, u"HRV|Settings"), S_OK);
  EXPECT_EQ(add(5, u"HRV|AnalysisPlots|Tachogram"), E_INVALIDARG);  // submenu not added
  EXPECT_EQ(add(4, u"HRV|AnalysisPlots|"), S_OK);
  EXPECT_EQ(add(5, u"HRV|AnalysisPlots|Tachogram"), S_OK);
  EXPECT_EQ(add(0, u"HRV|-"), S_OK);
  EXPECT_EQ(add(6, u"HRV|Report"), S_OK);
  EXPECT_EQ(add(0, u"HRV|-"), S_OK);  // separators repeat
  // A second document adds the same items again, separators among them.
  EXPECT_EQ(add(5, u"HRV|AnalysisPlots|Tachogram"), S_FALSE);
  EXPECT_EQ(add(0, u"HRV|-"), S_FALSE);
  EXPECT_EQ(add(6, u"HRV|Report"), S_FALSE);
  EXPECT_EQ(add(0, u"HRV|-"), S_FALSE);
  EXPECT_EQ(add(1, u"HRV|Settings"), S_FALSE);
  EXPECT_EQ(add(9, u"Settings"), E_INVALIDARG);
  EXPECT_EQ(menus->AddMenu(u"A|B", u"x"), E_INVALIDARG);
  EXPECT_EQ(menus->items().size(), 7u);
}

TEST_F(MenuServiceTest, ReadsThreeTextsAndFindsItemsByAnchorAndParent) {
  ASSERT_EQ(menus->AddMenu(u"HRV", u"HRV"), S_OK);
  ASSERT_EQ(add(0x10000001, u"HRV|Settings", 30, u"settings"), S_OK);
  ASSERT_EQ(add(0x10000004, u"HRV|AnalysisPlots|", 39, u"windows_graphsmenu"), S_OK);
  ASSERT_EQ(add(0x10000005, u"HRV|AnalysisPlots|Tachogram"), S_OK);
  EXPECT_EQ(menus->find(0x10000001)->texts, (std::array<std::string, 3>{"&Settings...", "Settings", "Settings"}));
  EXPECT_EQ(menus->find(0x10000004)->texts[1], "") << "the table lacks 40";
  EXPECT_EQ(menus->anchored("windows_graphsmenu").at(0)->path, "HRV|AnalysisPlots|");
  const auto plots = menus->children("HRV|AnalysisPlots|");
  ASSERT_EQ(plots.size(), 1u);
  EXPECT_EQ(plots[0]->command_id, 0x10000005u);
}

}  // namespace
}  // namespace korvel::services
