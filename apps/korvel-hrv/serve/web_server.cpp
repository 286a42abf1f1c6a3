// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/serve/web_server.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include <httplib.h>

#include "apps/korvel-hrv/usage_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/dialogs.h"

namespace korvel_hrv {

namespace {

using nlohmann::json;

// How long a request for the state waits for a change before answering with no change.
constexpr std::chrono::seconds kStateWait{20};

const std::map<std::string, std::string> kTypes = {
    {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"}, {".css", "text/css; charset=utf-8"},
    {".svg", "image/svg+xml"},            {".png", "image/png"},
};

RequestFacts facts_of(const httplib::Request& req) {
  auto header = [&](const char* name) -> std::optional<std::string> {
    if (!req.has_header(name)) return std::nullopt;
    return req.get_header_value(name);
  };
  RequestFacts f;
  f.method = req.method;
  f.host = req.get_header_value("Host");
  f.origin = header("Origin");
  f.fetch_site = header("Sec-Fetch-Site");
  f.cookie = header("Cookie");
  f.token_header = header("X-Korvel-Token");
  if (req.has_param("token")) f.token_query = req.get_param_value("token");
  f.content_type = header("Content-Type");
  return f;
}

void send_json(httplib::Response& res, const json& body, int status = 200) {
  res.status = status;
  res.set_content(body.dump(), "application/json");
}

void send_error(httplib::Response& res, int status, const std::string& message) {
  send_json(res, {{"error", message}}, status);
}

// The request body as a JSON object; RequestError 400 for anything else.
json body_of(const httplib::Request& req) {
  json body;
  try {
    body = json::parse(req.body.empty() ? std::string("{}") : req.body);
  } catch (const json::exception& e) {
    throw RequestError(400, std::string("the request body is not valid JSON: ") + e.what());
  }
  if (!body.is_object()) throw RequestError(400, "the request body must be a JSON object");
  return body;
}

template <class T>
T field(const json& body, const char* name) {
  if (!body.contains(name)) throw RequestError(400, std::string("the request lacks \"") + name + "\"");
  try {
    return body[name].get<T>();
  } catch (const json::exception&) {
    throw RequestError(400, std::string("\"") + name + "\" has the wrong type");
  }
}

int number_in(const httplib::Request& req, int match) { return std::stoi(req.matches[match].str()); }

double query_number(const httplib::Request& req, const char* name, double otherwise) {
  if (!req.has_param(name)) return otherwise;
  try {
    return std::stod(req.get_param_value(name));
  } catch (const std::exception&) {
    throw RequestError(400, std::string("?") + name + " must be a number");
  }
}

// Runs `work` and answers with what it returns, or with the error it throws.
template <class F>
void answer(httplib::Response& res, F work) {
  try {
    work();
  } catch (const RequestError& e) {
    send_error(res, e.status(), e.what());
  } catch (const UsageError& e) {
    send_error(res, 400, e.what());
  } catch (const std::logic_error& e) {  // a number out of range or malformed
    send_error(res, 400, e.what());
  } catch (const json::exception& e) {
    send_error(res, 400, e.what());
  } catch (const std::exception& e) {
    send_error(res, 500, e.what());
  }
}

}  // namespace

std::filesystem::path find_web_root() {
  std::vector<std::filesystem::path> candidates;
  if (const char* root = std::getenv("KORVEL_HRV_WEB")) candidates.emplace_back(root);
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) candidates.push_back(exe.parent_path().parent_path() / "share/korvel-hrv/web");
  candidates.emplace_back(KORVEL_HRV_SOURCE_WEB);
  for (const auto& c : candidates)
    if (std::filesystem::is_regular_file(c / "app/index.html")) return c;
  throw UsageError("cannot find the pages (app/index.html) in $KORVEL_HRV_WEB, share/korvel-hrv/web or " +
                   std::string(KORVEL_HRV_SOURCE_WEB) + "; set KORVEL_HRV_WEB to the web folder of the source tree");
}

WebServer::WebServer(HostThread& host, Workspace& workspace, const std::filesystem::path& web_root)
    : host_(host), workspace_(workspace), web_root_(web_root), server_(std::make_unique<httplib::Server>()) {
  routes();
}

WebServer::~WebServer() = default;

int WebServer::bind(int port) {
  const int bound = port == 0 ? server_->bind_to_any_port("127.0.0.1") : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) throw UsageError("cannot listen on 127.0.0.1:" + std::to_string(port) + " (is the port taken? try another --port)");
  guard_.emplace(RequestGuard::make_token(), bound);
  return bound;
}

void WebServer::listen() { server_->listen_after_bind(); }

void WebServer::stop() { server_->stop(); }

void WebServer::routes() {
  httplib::Server& s = *server_;
  s.set_payload_max_length(1 << 20);
  // A response goes out as headers then body; with Nagle's algorithm the body waits for the
  // client's delayed acknowledgement of the headers, some 40 ms on every request.
  s.set_tcp_nodelay(true);
  s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Frame-Options", "SAMEORIGIN");
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data: blob:; style-src 'self' 'unsafe-inline'; frame-ancestors 'self'");
    const RequestFacts facts = facts_of(req);
    if (const auto refusal = guard_->check(facts)) {
      send_error(res, refusal->status, refusal->reason);
      return httplib::Server::HandlerResponse::Handled;
    }
    if (guard_->token_in_query(facts) && req.method == "GET" && req.path == "/") {
      // The first load: the token moves into the cookie and out of the address bar.
      res.set_header("Set-Cookie", guard_->cookie());
      res.set_redirect("/", 303);
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  // The pages: only files of web/app, web/engine and web/help, by plain name.
  s.Get(R"(/(app|engine|help)/([A-Za-z0-9_-]+\.[a-z]+))", [this](const httplib::Request& req, httplib::Response& res) {
    const std::filesystem::path file = web_root_ / req.matches[1].str() / req.matches[2].str();
    const auto type = kTypes.find(file.extension().string());
    std::ifstream in(file, std::ios::binary);
    if (type == kTypes.end() || !in) return send_error(res, 404, "no page " + req.path);
    std::ostringstream text;
    text << in.rdbuf();
    res.set_content(text.str(), type->second.c_str());
  });
  s.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/app/index.html", 303); });

  s.Get("/api/state", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      if (req.has_param("after")) host_.wait_for_change(std::stoull(req.get_param_value("after")), kStateWait);
      // The version is read before the state, so that a change while it is made is seen next time.
      const auto version = host_.version();
      json state = host_.call([&] { return workspace_.state(); });
      state["version"] = version;
      send_json(res, state);
    });
  });
  s.Post("/api/open", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const auto path = field<std::string>(body_of(req), "path");
      const int id = host_.call([&] { return workspace_.open(path); });
      host_.changed();
      send_json(res, {{"document", id}});
    });
  });
  s.Post("/api/play", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const json body = body_of(req);
      const auto path = field<std::string>(body, "path");
      const double speed = body.contains("speed") ? field<double>(body, "speed") : 1.0;
      const int id = host_.call([&] { return workspace_.play(path, speed); });
      host_.wake_idle_at(HostThread::Clock::now());
      host_.changed();
      send_json(res, {{"document", id}});
    });
  });
  s.Post(R"(/api/macro/(start|stop|replay|save))", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const json body = body_of(req);
      const std::string action = req.matches[1].str();
      if (action == "start") {
        host_.call([&] { workspace_.start_macro(); });
      } else if (action == "stop") {
        host_.call([&] { workspace_.stop_macro(); });
      } else if (action == "replay") {
        const int document = field<int>(body, "document");
        host_.call([&] { workspace_.replay_macro(document); });
      } else {
        const std::filesystem::path path = field<std::string>(body, "path");
        host_.call([&] { workspace_.save_macro(path); });
      }
      host_.changed();
      send_json(res, json::object());
    });
  });
  s.Post(R"(/api/documents/(\d+)/(save|close|command|select|activate|stop|calculation|calculation_settings))", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const json body = body_of(req);
      const int document = number_in(req, 1);
      const std::string action = req.matches[2].str();
      json reply = json::object();
      if (action == "save") {
        std::optional<std::filesystem::path> path;
        if (body.contains("path")) path = field<std::string>(body, "path");
        host_.call([&] { workspace_.save(document, path); });
      } else if (action == "calculation_settings") {
        host_.call([&] { workspace_.edit_calculation(document); });
      } else if (action == "calculation") {
        const int parameter = field<int>(body, "parameter");
        host_.call([&] { workspace_.add_calculation(document, parameter); });
      } else if (action == "stop") {
        host_.call([&] { workspace_.stop(document); });
      } else if (action == "activate") {
        host_.call([&] { workspace_.activate(document); });
      } else if (action == "close") {
        host_.call([&] { workspace_.close(document); });
      } else if (action == "command") {
        const auto command = field<std::uint32_t>(body, "command");
        reply["done"] = host_.call([&] { return workspace_.run_command(document, command); });
      } else {
        const auto from = field<double>(body, "from");
        std::optional<double> to;
        if (body.contains("to")) to = field<double>(body, "to");
        host_.call([&] { workspace_.select(document, from, to); });
      }
      host_.changed();
      send_json(res, reply);
    });
  });
  // A notification of a control of the dialog in front (dialog_service.h).
  s.Post(R"(/api/dialogs/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const json body = body_of(req);
      const auto dialog = static_cast<std::size_t>(number_in(req, 1));
      const int control = field<int>(body, "control");
      const int code = field<int>(body, "code");
      if (code < DialogTextChanged || code > DialogStepped) throw RequestError(400, "\"code\" is 1 to 6 (sdk/host/dialogs.h)");
      const int value = body.contains("value") ? field<int>(body, "value") : 0;
      const std::u16string text = utf8_to_utf16(body.contains("text") ? field<std::string>(body, "text") : std::string());
      host_.call([&] { workspace_.dialogs().notify(dialog, {control, code, value, text.c_str()}); });
      host_.changed();
      send_json(res, json::object());
    });
  });
  s.Post(R"(/api/documents/(\d+)/views/(\d+)/(copy|print))", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      body_of(req);
      const int document = number_in(req, 1);
      const std::size_t view = static_cast<std::size_t>(number_in(req, 2));
      const bool copy = req.matches[3].str() == "copy";
      send_json(res, host_.call([&] { return workspace_.view_command(document, view, copy); }));
      host_.changed();
    });
  });
  s.Get(R"(/api/documents/(\d+)/(results|beats))", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const int document = number_in(req, 1);
      if (req.matches[2].str() == "results")
        res.set_content(host_.call([&] { return workspace_.results_json(document); }), "application/json");
      else
        res.set_content(host_.call([&] { return workspace_.beats_csv(document); }), "text/csv; charset=utf-8");
    });
  });
  s.Get(R"(/api/documents/(\d+)/chart)", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const int document = number_in(req, 1);
      ChartRequest chart;
      chart.from = query_number(req, "from", 0);
      chart.to = query_number(req, "to", 0);
      const double columns = query_number(req, "columns", 800);
      chart.columns = columns >= 1 && columns <= 1e5 ? static_cast<int>(columns) : 0;  // 0: refused as out of range
      chart.computed = query_number(req, "computed", 0) != 0;
      send_json(res, host_.call([&] { return workspace_.chart(document, chart); }));
    });
  });
  s.Get(R"(/api/documents/(\d+)/table)", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const int document = number_in(req, 1);
      const double window = query_number(req, "window", 300);
      const double step = query_number(req, "step", window);
      res.set_content(host_.call([&] { return workspace_.table_csv(document, window, step); }), "text/csv; charset=utf-8");
      res.set_header("Content-Disposition", "attachment; filename=\"table.csv\"");
    });
  });
  s.Post(R"(/api/plots/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const json message = body_of(req);
      const std::size_t control = static_cast<std::size_t>(number_in(req, 1));
      const std::string text = message.dump();
      // A gesture changes the analysis; a request for numbers changes nothing.
      const bool gesture = message.value("op", "") == "callback";
      res.set_content(host_.call([&] { return workspace_.plot_message(control, text, gesture); }), "application/json");
      if (gesture) host_.changed();
    });
  });
  s.Get(R"(/api/plots/(\d+)/commands)", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const std::size_t control = static_cast<std::size_t>(number_in(req, 1));
      const double from = query_number(req, "from", 0);
      if (!(from >= 0)) throw RequestError(400, "?from must be a command number, from 0");
      send_json(res, host_.call([&] { return workspace_.plot_commands(control, static_cast<std::size_t>(from)); }));
    });
  });
  s.Get(R"(/api/pages/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
    answer(res, [&] {
      const std::size_t page = static_cast<std::size_t>(number_in(req, 1));
      send_json(res, {{"html", host_.call([&] { return workspace_.page_html(page); })}});
    });
  });
  s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) send_error(res, res.status, res.status == 404 ? "no such address" : "the request was refused");
  });
}

}  // namespace korvel_hrv
