// SPDX-License-Identifier: MIT
// korvel_hrv._native: the command-line tool's analysis, reached from Python. Every call
// drives a host session through the same code as `korvel-hrv analyze` and `batch`; the
// package's Python files (korvel_hrv/) shape what comes back into dicts and arrays.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include "apps/korvel-hrv/batch.h"
#include "apps/korvel-hrv/cohort_table.h"
#include "apps/korvel-hrv/commands.h"
#include "apps/korvel-hrv/hrv_session.h"
#include "apps/korvel-hrv/outputs.h"

namespace py = pybind11;
namespace fs = std::filesystem;

namespace {

// One host session at a time in this process. Sessions share no host object, but the
// extension keeps one application per process (the last one that loaded it) and shows
// its message boxes there, so two sessions at once could both write into one session's
// box list. Python threads still run while an analysis holds this lock (the GIL is released).
std::mutex host_mutex;

// An analysed document: its results and beats, and the session that can write the rest.
class Analysis {
 public:
  Analysis(std::unique_ptr<korvel_hrv::HrvSession> session, std::optional<double> arrayRateHz)
      : session_(std::move(session)), arrayRateHz_(arrayRateHz) {
    results_ = session_->results_json();
    beats_ = session_->beats_csv();
  }
  ~Analysis() {
    std::lock_guard lock(host_mutex);
    session_.reset();
  }

  const std::string& results_json() const { return results_; }
  const std::string& beats_csv() const { return beats_; }

  // The files `korvel-hrv analyze --out dir` writes. An analysis of an array writes the
  // samples too, as dir/samples.csv, which the document file refers to.
  void save(const fs::path& dir) {
    std::lock_guard lock(host_mutex);
    korvel_hrv::AnalyzeOptions options;
    options.out = dir;
    if (arrayRateHz_) {
      fs::create_directories(dir);
      const auto [pieces, dt] = session_->signal_samples(0);
      std::string text = "signal\n";
      char number[32];
      std::vector<float> values;
      for (const auto& piece : pieces) {
        values.resize(piece.length);
        piece.read(0, values.size(), values.data());
        for (float v : values) {
          text.append(number, std::to_chars(number, number + sizeof number, v).ptr);
          text += '\n';
        }
      }
      korvel_hrv::write_file_atomically(dir / "samples.csv", text);
      korvel::io::LoadOptions load;
      load.sampling_rate_hz = *arrayRateHz_;
      session_->refer_to(dir / "samples.csv", load);
    }
    korvel_hrv::write_analysis(*session_, options);
  }

 private:
  std::unique_ptr<korvel_hrv::HrvSession> session_;
  std::optional<double> arrayRateHz_;
  std::string results_, beats_;
};

// beats.csv's columns as arrays: each number column as double (an empty cell is NaN),
// flags as integers, class as text. The numbers read back exactly: beats.csv writes each
// in its shortest form that does.
py::dict beat_columns(const std::string& csv) {
  std::vector<std::string> names;
  std::size_t at = csv.find('\n');
  if (at == std::string::npos) throw korvel_hrv::UsageError("beats.csv has no header");
  for (std::size_t start = 0, comma = 0; start <= at; start = comma + 1) {
    comma = std::min(csv.find(',', start), at);
    names.emplace_back(csv.substr(start, comma - start));
  }
  std::vector<std::vector<double>> numbers(names.size());
  std::vector<std::string> classes;
  for (std::size_t line = at + 1; line < csv.size(); line = at + 1) {
    at = csv.find('\n', line);
    if (at == std::string::npos) at = csv.size();
    std::size_t start = line;
    for (std::size_t c = 0; c < names.size(); ++c) {
      const std::size_t end = c + 1 == names.size() ? at : std::min(csv.find(',', start), at);
      const char* first = csv.data() + start;
      const char* last = csv.data() + end;
      if (names[c] == "class") {
        classes.emplace_back(first, last);
      } else if (first == last) {
        numbers[c].push_back(std::nan(""));
      } else {
        double value = 0;
        const bool hex = last - first > 2 && first[0] == '0' && first[1] == 'x';
        std::from_chars_result parsed;
        if (hex) {
          std::uint32_t bits = 0;
          parsed = std::from_chars(first + 2, last, bits, 16);
          value = bits;
        } else {
          parsed = std::from_chars(first, last, value);
        }
        if (parsed.ec != std::errc() || parsed.ptr != last)
          throw korvel_hrv::UsageError("beats.csv: \"" + std::string(first, last) + "\" in column " + names[c] +
                                       " is not a number");
        numbers[c].push_back(value);
      }
      start = end + 1;
    }
  }
  py::dict columns;
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (names[c] == "class")
      columns[names[c].c_str()] = py::cast(classes);
    else
      columns[names[c].c_str()] = py::array_t<double>(static_cast<py::ssize_t>(numbers[c].size()), numbers[c].data());
  }
  return columns;
}

struct Request {
  int signal = 0;
  std::optional<std::string> preset;
  std::optional<std::string> box;  // "auto" or "preset"
  std::optional<fs::path> settingsFile;
  std::string settingValues;  // a JSON object
  std::optional<double> start, end;
};

korvel_hrv::AnalyzeOptions options_of(const Request& r) {
  korvel_hrv::AnalyzeOptions o;
  o.signal = r.signal;
  o.preset = r.preset;
  o.box = r.box;
  o.settings = r.settingsFile;
  o.settingValues = nlohmann::json::parse(r.settingValues);
  o.from = r.start;
  o.to = r.end;
  return o;
}

std::unique_ptr<Analysis> analyze_file(const fs::path& path, const Request& request, double rateHz) {
  korvel_hrv::AnalyzeOptions options = options_of(request);
  std::lock_guard lock(host_mutex);
  auto session = std::make_unique<korvel_hrv::HrvSession>();
  korvel::io::LoadOptions load;
  load.sampling_rate_hz = rateHz;
  session->open_recording(path, load);
  korvel_hrv::analyse_open_document(*session, options, path.filename().string());
  return std::make_unique<Analysis>(std::move(session), std::nullopt);
}

std::unique_ptr<Analysis> analyze_samples(std::vector<float> samples, double rateHz, const Request& request) {
  if (!(rateHz > 0)) throw korvel_hrv::UsageError("the sampling rate fs must be a positive number of samples per second");
  korvel::io::Recording recording;
  recording.name = "samples";
  recording.records.push_back({0.0, 1.0 / rateHz, {{"signal", "", std::move(samples)}}});
  korvel_hrv::AnalyzeOptions options = options_of(request);
  std::lock_guard lock(host_mutex);
  auto session = std::make_unique<korvel_hrv::HrvSession>();
  session->open_samples(std::move(recording));
  korvel_hrv::analyse_open_document(*session, options, "samples");
  return std::make_unique<Analysis>(std::move(session), rateHz);
}

// Signal `signal` of a recording file, as the host reads it: float32 samples and the
// sampling rate. A file of separate records (with gaps between them) is refused: one
// array cannot say where the gaps are.
std::pair<py::array_t<float>, double> read_signal(const fs::path& path, int signal) {
  korvel::io::Recording recording;
  {
    py::gil_scoped_release release;
    try {
      recording = korvel::io::load_recording(path);
    } catch (const korvel::io::ImportError& e) {
      throw korvel_hrv::UsageError(e.what());
    }
  }
  if (recording.records.size() != 1)
    throw korvel_hrv::UsageError(path.string() + ": holds " + std::to_string(recording.records.size()) +
                                 " records, not one continuous signal; analyse the file itself");
  const auto& record = recording.records.front();
  if (signal < 0 || static_cast<std::size_t>(signal) >= record.channels.size())
    throw korvel_hrv::UsageError("signal " + std::to_string(signal) + " does not exist: the recording has " +
                                 std::to_string(record.channels.size()) + " signal(s), numbered from 0");
  const auto& samples = record.channels[static_cast<std::size_t>(signal)].samples;
  return {py::array_t<float>(static_cast<py::ssize_t>(samples.size()), samples.data()), 1.0 / record.tick_interval_s};
}

fs::path tool_path() {
  if (const char* path = std::getenv("KORVEL_HRV_TOOL")) return path;
  return KORVEL_HRV_TOOL_PATH;
}

}  // namespace

PYBIND11_MODULE(_native, m) {
  m.doc() = "The korvel-hrv analysis, driven through the stand-in host and libhrv.so";
  py::register_exception<korvel_hrv::UsageError>(m, "Error", PyExc_RuntimeError);

  py::class_<Request>(m, "Request")
      .def(py::init<>())
      .def_readwrite("signal", &Request::signal)
      .def_readwrite("preset", &Request::preset)
      .def_readwrite("box", &Request::box)
      .def_readwrite("settings_file", &Request::settingsFile)
      .def_readwrite("setting_values", &Request::settingValues)
      .def_readwrite("start", &Request::start)
      .def_readwrite("end", &Request::end);

  py::class_<Analysis>(m, "Analysis")
      .def_property_readonly("results_json", &Analysis::results_json)
      .def_property_readonly("beats_csv", &Analysis::beats_csv)
      .def("beat_columns", [](const Analysis& a) { return beat_columns(a.beats_csv()); })
      .def("save", &Analysis::save, py::arg("dir"), py::call_guard<py::gil_scoped_release>());

  m.def("analyze_file", &analyze_file, py::arg("path"), py::arg("request"), py::arg("rate_hz") = 0.0,
        py::call_guard<py::gil_scoped_release>());
  m.def(
      "analyze_samples",
      [](py::array_t<float, py::array::c_style | py::array::forcecast> samples, double rateHz, const Request& request) {
        if (samples.ndim() != 1) throw py::value_error("samples must be a 1-D array");
        std::vector<float> copy(samples.data(), samples.data() + samples.size());
        py::gil_scoped_release release;
        return analyze_samples(std::move(copy), rateHz, request);
      },
      py::arg("samples"), py::arg("rate_hz"), py::arg("request"));
  m.def("read_signal", &read_signal, py::arg("path"), py::arg("signal") = 0);

  m.def("manifest_ids", [](const fs::path& manifest) {
    std::vector<std::string> ids;
    for (const auto& row : korvel_hrv::read_manifest(manifest)) ids.push_back(row.id);
    return ids;
  });
  m.def(
      "run_recording",
      [](const fs::path& manifest, std::size_t index, const fs::path& out) {
        const auto rows = korvel_hrv::read_manifest(manifest);
        const auto outcome = korvel_hrv::run_recording(tool_path(), rows.at(index), out);
        return outcome == korvel_hrv::RecordingOutcome::Analysed      ? "analysed"
               : outcome == korvel_hrv::RecordingOutcome::AlreadyDone ? "already done"
                                                                       : "failed";
      },
      py::arg("manifest"), py::arg("index"), py::arg("out"), py::call_guard<py::gil_scoped_release>());
  m.def(
      "write_cohort_tables",
      [](const fs::path& manifest, const fs::path& out) {
        return korvel_hrv::write_cohort_tables(korvel_hrv::read_manifest(manifest), out);
      },
      py::arg("manifest"), py::arg("out"), py::call_guard<py::gil_scoped_release>());
}
