// SPDX-License-Identifier: MIT
#include "korvel/ui/plot_snapshot.h"

#include <cctype>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "korvel/ui/engine_files.h"
#include "sdk/cpp/hresult_error.h"

namespace korvel::ui {
namespace {

constexpr std::int64_t kEverything = 2147483647;

nlohmann::json ask(PlotControl& control, const nlohmann::json& message) {
  nlohmann::json reply = control.reply(message);
  if (reply.contains("error")) throw_hresult(E_FAIL, "the plot control did not answer: " + reply["error"].get<std::string>());
  return reply;
}

// Text inside a script element ends at "</script": JSON writes every "</" as "<\/", which
// reads back the same (in place: the data of a day's beats runs to megabytes); the engine's
// own files must not hold it at all.
std::string script_json(std::string json) {
  for (std::size_t at = json.find("</"); at != std::string::npos; at = json.find("</", at + 3)) json.replace(at, 2, "<\\/");
  return json;
}

std::string script_file(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower.find("</script") != std::string::npos)
    throw std::logic_error("a file of the plot engine holds \"</script\", which would end its script element");
  return std::string(text);
}

// What every snapshot page carries of the engine: its style sheet, its modules and the
// loader. The files are compiled in, so they are assembled and checked once.
struct EngineParts {
  std::string style, modules, loader;
};

const EngineParts& engine_parts() {
  static const EngineParts parts = [] {
    EngineParts p;
    for (const EngineFile& f : engine_files()) {
      if (f.name == "etch.css")
        p.style += "<style>\n" + std::string(f.text) + "</style>\n";
      else if (f.name == "inline_loader.js")
        p.loader = script_file(f.text);
      else if (f.name.ends_with(".js"))
        p.modules += "<script type=\"text/plain\" data-etch-module=\"" + std::string(f.name) + "\">\n" + script_file(f.text) +
                     "</script>\n";
    }
    return p;
  }();
  return parts;
}

}  // namespace

std::string html_text(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string plot_snapshot_page(PlotControl& control, std::string_view title) {
  nlohmann::json snapshot;
  snapshot["title"] = title;
  snapshot["commands"] = nlohmann::json::array();
  if (!control.commands().empty()) snapshot["commands"].push_back(control.commands().front());
  if (!control.markup_command().empty()) snapshot["commands"].push_back(control.markup_command());
  snapshot["series"] = nlohmann::json::object();
  for (const std::string& id : control.named_sources()) {
    nlohmann::json series = ask(control, {{"op", "series"}, {"id", id}, {"start", 0}, {"count", kEverything}});
    series["labels"] = ask(control, {{"op", "labels"}, {"id", id}, {"start", 0}, {"count", kEverything}})["labels"];
    snapshot["series"][id] = std::move(series);
  }
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += "<title>" + html_text(title) + "</title>\n";
  const EngineParts& engine = engine_parts();
  const std::string data = script_json(snapshot.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  page.reserve(page.size() + engine.style.size() + data.size() + engine.modules.size() + engine.loader.size() + 256);
  page += engine.style;
  page += "</head>\n<body>\n<main id=\"etch\"></main>\n";
  page += "<script type=\"application/json\" id=\"etch-snapshot\">";
  page += data;
  page += "</script>\n";
  page += engine.modules;
  page += "<script>\n" + engine.loader + "</script>\n</body>\n</html>\n";
  return page;
}

}  // namespace korvel::ui
