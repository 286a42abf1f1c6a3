// SPDX-License-Identifier: MIT
// The analysis manager: which clients a request concerns, the regions it collects, and
// what it refuses.
#include "korvel/services/analysis_manager.h"

#include <gtest/gtest.h>

#include <tuple>

#include "sdk/cpp/memory_stream.h"

namespace korvel::services {
namespace {

// Reports a fixed region and asks, when asked to clear or reanalyse, whether it is concerned.
class Client final : public ComObject<IAnalysisClient> {
 public:
  Client(AnalysisManager& manager, Region region) : manager_(manager), region_(region) {}
  HRESULT ReportRegion(std::int32_t argument) override { return manager_.ReportRegion(cookie, region_.start, region_.end, argument); }
  HRESULT RequestClear(std::int32_t argument) override { return ask("clear", argument); }
  HRESULT RequestReanalysis(std::int32_t argument) override { return ask("reanalyse", argument); }
  std::int32_t cookie = -1;
  std::vector<std::string> answers;

 private:
  HRESULT ask(const std::string& what, std::int32_t argument) {
    VARIANT_BOOL affected = VARIANT_FALSE;
    const HRESULT hr = manager_.IsAffected(cookie, argument, &affected);
    answers.push_back(what + (affected ? " yes" : " no"));
    return hr;
  }
  AnalysisManager& manager_;
  Region region_;
};

TEST(AnalysisManager, AskedClientsAreConcernedWhenTheirRegionOverlapsTheStretch) {
  const TickPosition from{100, 1}, to{200, 1};
  const std::tuple<const char*, Region, bool> cases[] = {
      {"inside", {{120, 1}, {150, 1}}, true},
      {"ends where the stretch starts", {{0, 0}, {100, 1}}, true},
      {"ends just before", {{0, 0}, {99, 1}}, false},
      {"starts after", {{201, 1}, {5, 2}}, false},
      {"open end, started before", {{0, 1}, TickPosition::open_end()}, true},
      {"open end, started after", {{0, 2}, TickPosition::open_end()}, false},
      {"unset", {TickPosition::unset(), TickPosition::unset()}, false},
  };
  for (const auto& [name, region, affected] : cases) {
    auto manager = make_com<AnalysisManager>();
    auto client = make_com<Client>(*manager, region);
    ASSERT_EQ(manager->RegisterClient(u"A", u"Analysis A", client.get(), &client->cookie), S_OK);
    EXPECT_EQ(manager->request_clear(from, to), 1u);
    EXPECT_EQ(manager->request_reanalysis(from, to), 1u);
    const std::string expected = affected ? " yes" : " no";
    EXPECT_EQ(client->answers, (std::vector<std::string>{"clear" + expected, "reanalyse" + expected})) << name;
    const auto regions = manager->collect_regions();  // what each client reports, unset or not
    EXPECT_EQ(regions.at(client->cookie), region) << name;
  }
}

TEST(AnalysisManager, RefusesUnknownCookiesArgumentsAndTakenNames) {
  auto manager = make_com<AnalysisManager>();
  auto client = make_com<Client>(*manager, Region{{0, 0}, {10, 0}});
  std::int32_t other = 0;
  ASSERT_EQ(manager->RegisterClient(u"A", u"A", client.get(), &client->cookie), S_OK);
  EXPECT_EQ(manager->RegisterClient(u"A", u"again", client.get(), &other), E_INVALIDARG);
  EXPECT_EQ(manager->RegisterClient(u"B", u"B", make_com<MemoryStream>().get(), &other), E_NOINTERFACE);
  VARIANT_BOOL affected = VARIANT_TRUE;
  EXPECT_EQ(manager->IsAffected(client->cookie, 99, &affected), E_INVALIDARG) << "no request in progress";
  EXPECT_EQ(manager->IsAffected(42, 1, &affected), E_INVALIDARG);
  EXPECT_EQ(manager->MarkChanged(42), E_INVALIDARG);
  EXPECT_EQ(manager->ReportRegion(42, {}, {}, 0), E_INVALIDARG);
  EXPECT_EQ(manager->UnregisterClient(42), S_FALSE);
  EXPECT_EQ(manager->UnregisterClient(client->cookie), S_OK);
  EXPECT_EQ(manager->MarkChanged(client->cookie), E_INVALIDARG);
  ASSERT_EQ(manager->RegisterClient(u"A", u"A", client.get(), &other), S_OK);
  EXPECT_NE(other, client->cookie) << "cookies are not reused";
}

}  // namespace
}  // namespace korvel::services
