// SPDX-License-Identifier: MIT
#include "korvel/services/macros.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "korvel/services/document_frame.h"
#include "korvel/services/session.h"
#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

constexpr std::string_view kFirstLine = "korvel macro 1";

std::vector<std::string> split_tabs(std::string_view line) {
  std::vector<std::string> out;
  for (;;) {
    const auto tab = line.find('\t');
    out.emplace_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return out;
    line.remove_prefix(tab + 1);
  }
}

std::string describe(const MacroStep& step) { return step.prefix + " " + step.name; }

}  // namespace

std::string format_macro(const std::vector<MacroStep>& steps) {
  std::string out(kFirstLine);
  out += '\n';
  for (const MacroStep& step : steps) {
    if (step.prefix.empty() || step.name.empty()) throw MacroError("a macro step needs a prefix and a name");
    std::vector<std::string> fields{step.prefix, step.name};
    fields.insert(fields.end(), step.arguments.begin(), step.arguments.end());
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (fields[i].find_first_of("\t\r\n") != std::string::npos)
        throw MacroError("step " + describe(step) + ": a tab or line break cannot be written in a macro file");
      out += (i ? "\t" : "") + fields[i];
    }
    out += '\n';
  }
  return out;
}

void save_macro(const std::filesystem::path& path, const std::vector<MacroStep>& steps) {
  const std::string text = format_macro(steps);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!(file << text) || !file.flush()) throw MacroError("cannot write macro file " + path.string());
}

std::vector<MacroStep> parse_macro(std::string_view text) {
  std::vector<MacroStep> steps;
  std::size_t number = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number;
    if (number == 1) {
      if (line != kFirstLine) throw MacroError("line 1: not a macro file (expected \"" + std::string(kFirstLine) + "\")");
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string> fields = split_tabs(line);
    if (fields.size() < 2 || fields[0].empty() || fields[1].empty())
      throw MacroError("line " + std::to_string(number) + ": a step needs a prefix and a name separated by a tab");
    steps.push_back({fields[0], fields[1], {fields.begin() + 2, fields.end()}});
  }
  if (number == 0) throw MacroError("line 1: not a macro file (it is empty)");
  return steps;
}

std::vector<MacroStep> load_macro(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw MacroError("cannot read macro file " + path.string());
  std::ostringstream text;
  text << file.rdbuf();
  try {
    return parse_macro(text.str());
  } catch (const MacroError& e) {
    throw MacroError(path.string() + ", " + e.what());
  }
}

std::vector<HRESULT> replay_macro(DocumentFrame& frame, const std::vector<MacroStep>& steps) {
  const auto& classes = frame.session().application().extensions()->message_classes();
  std::vector<std::uint32_t> types;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const MacroStep& step = steps[i];
    const std::string where = "step " + std::to_string(i + 1) + " (" + describe(step) + "): ";
    auto it = std::find_if(classes.begin(), classes.end(), [&](const auto& c) { return c.prefix == step.prefix && c.name == step.name; });
    if (it == classes.end()) throw MacroError(where + "no extension offers this macro command");
    std::vector<Bstr> held;
    std::vector<BSTR> positional;
    for (const std::string& a : step.arguments) positional.push_back(held.emplace_back(a).get());
    // The text value that the class builds from the arguments has no place in a host
    // message; the class is asked only whether it accepts them.
    Bstr text;
    if (HRESULT hr = it->object->ParseArguments(0, positional.data(), static_cast<std::uint32_t>(positional.size()), text.put()); FAILED(hr))
      throw MacroError(where + (hr == DISP_E_BADPARAMCOUNT ? "the command does not take these arguments" : "the command refuses its arguments"));
    types.push_back(it->type);
  }
  std::vector<HRESULT> results;
  for (std::uint32_t type : types) results.push_back(frame.deliver_macro(HostMessage{type, {}, nullptr}));
  return results;
}

}  // namespace korvel::services
