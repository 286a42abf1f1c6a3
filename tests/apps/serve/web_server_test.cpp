// SPDX-License-Identifier: MIT
// The local server's gate, in-process against the real server and host: requests without
// the token, from another site or naming another host, and malformed ones are refused
// with a 4xx and leave the open document as it was.
#include "apps/korvel-hrv/serve/web_server.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "apps/korvel-hrv/synthetic_ecg.h"

namespace {

using namespace korvel_hrv;

class WebServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("korvel-serve-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    const auto ecg = make_synthetic_ecg(find_species("human"), 60, 1);
    std::ofstream csv(dir_ / "ecg.csv");
    csv << "time_s,ECG (mV)\n";
    const auto& record = ecg.recording.records.front();
    for (std::size_t i = 0; i < record.length(); ++i) csv << i * record.tick_interval_s << ',' << record.channels[0].samples[i] << '\n';
    csv.close();
    workspace_ = host_.call([] { return std::make_unique<Workspace>(AnalyzeOptions{}); });
    document_ = host_.call([&] { return workspace_->open(dir_ / "ecg.csv"); });
    server_ = std::make_unique<WebServer>(host_, *workspace_, KORVEL_HRV_SOURCE_WEB);
    port_ = server_->bind(0);
    listener_ = std::thread([&] { server_->listen(); });
  }
  void TearDown() override {
    server_->stop();
    listener_.join();
    host_.call([&] { workspace_.reset(); });
    std::filesystem::remove_all(dir_);
  }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  httplib::Headers allowed() const { return {{"Host", host()}, {"X-Korvel-Token", server_->guard().token()}}; }

  std::filesystem::path dir_;
  HostThread host_;
  std::unique_ptr<Workspace> workspace_;
  int document_ = 0;
  std::unique_ptr<WebServer> server_;
  int port_ = 0;
  std::thread listener_;
};

TEST_F(WebServerTest, RefusesForeignOrMalformedRequestsAndChangesNothing) {
  const std::string close = "/api/documents/" + std::to_string(document_) + "/close";
  const std::string save = "/api/documents/" + std::to_string(document_) + "/save";
  const std::string token = server_->guard().token();
  const std::string wrong = std::string(token.size(), '0');
  struct Case {
    const char* what;
    std::string path;
    httplib::Headers headers;
    std::string body;  // empty: a GET
    std::string type;
    int status;
  };
  const Case cases[] = {
      {"no token", "/api/state", {{"Host", host()}}, "", "", 403},
      {"a wrong token", "/api/state", {{"Host", host()}, {"X-Korvel-Token", wrong}}, "", "", 403},
      {"a wrong token cookie", "/api/state", {{"Host", host()}, {"Cookie", "korvel_hrv_" + std::to_string(port_) + "=" + wrong}}, "", "", 403},
      {"a rebound host name", "/api/state", {{"Host", "attacker.example:" + std::to_string(port_)}, {"X-Korvel-Token", token}}, "", "", 403},
      {"another port in Host", "/api/state", {{"Host", "127.0.0.1:1"}, {"X-Korvel-Token", token}}, "", "", 403},
      {"a foreign origin", close, {{"Host", host()}, {"X-Korvel-Token", token}, {"Origin", "http://attacker.example"}}, "{}", "application/json", 403},
      {"a cross-site fetch", close, {{"Host", host()}, {"X-Korvel-Token", token}, {"Sec-Fetch-Site", "cross-site"}}, "{}", "application/json", 403},
      {"a form post", close, allowed(), "a=b", "application/x-www-form-urlencoded", 415},
      {"malformed JSON", save, allowed(), "{\"path\":", "application/json", 400},
      {"a body that is no object", save, allowed(), "[1]", "application/json", 400},
      {"a path of the wrong type", save, allowed(), "{\"path\": 3}", "application/json", 400},
      {"a file that is no document", save, allowed(), "{\"path\": \"" + (dir_ / "ecg.csv").string() + "\"}", "application/json", 400},
      {"an unknown document", "/api/documents/99/close", allowed(), "{}", "application/json", 404},
      {"a huge document number", "/api/documents/99999999999999999999/close", allowed(), "{}", "application/json", 400},
      {"an unknown menu command", "/api/documents/" + std::to_string(document_) + "/command", allowed(), "{\"command\": 7}", "application/json", 404},
      {"a file outside the pages", "/engine/..%2f..%2fCMakeLists.txt", allowed(), "", "", 404},
  };
  httplib::Client client("127.0.0.1", port_);
  for (const Case& c : cases) {
    auto res = c.body.empty() ? client.Get(c.path.c_str(), c.headers) : client.Post(c.path.c_str(), c.headers, c.body, c.type.c_str());
    ASSERT_TRUE(res) << c.what;
    EXPECT_EQ(res->status, c.status) << c.what << ": " << res->body;
  }
  EXPECT_EQ(client.Delete(close.c_str(), allowed())->status, 405);

  // The document is still open, unsaved, and the CSV untouched.
  auto state = client.Get("/api/state", allowed());
  ASSERT_TRUE(state);
  ASSERT_EQ(state->status, 200) << state->body;
  const auto documents = nlohmann::json::parse(state->body)["documents"];
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_TRUE(documents[0]["file"].is_null());
  std::ifstream csv(dir_ / "ecg.csv");
  std::string header;
  std::getline(csv, header);
  EXPECT_EQ(header, "time_s,ECG (mV)");
}

TEST_F(WebServerTest, TheFirstLoadTradesTheAddressTokenForACookie) {
  httplib::Client client("127.0.0.1", port_);
  auto first = client.Get(("/?token=" + server_->guard().token()).c_str(), httplib::Headers{{"Host", host()}});
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 303);
  const std::string cookie = first->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos) << cookie;
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos) << cookie;
  const auto pair = cookie.substr(0, cookie.find(';'));
  auto page = client.Get("/app/index.html", httplib::Headers{{"Host", "localhost:" + std::to_string(port_)}, {"Cookie", pair}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("X-Frame-Options"), "SAMEORIGIN");
}

}  // namespace
