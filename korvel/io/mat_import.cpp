// SPDX-License-Identifier: MIT
#include "korvel/io/mat_import.h"

#include <matio.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "korvel/io/file_access.h"
#include "korvel/io/plausible_values.h"
#include "korvel/io/mat_structure.h"

namespace korvel::io {
namespace {

// A header claiming more data than the file could inflate to (mat_structure.h) is lying,
// and is refused before matio allocates for it.
constexpr std::size_t kMaxVariables = 100000;

// matio reports problems through a logging callback rather than return values; the last
// message of this thread's read goes into the error it raises.
thread_local std::string last_matio_message;

void remember_matio_message(int /*log_level*/, char* message) {
  if (message != nullptr) last_matio_message = message;
}

void route_matio_messages() {
  static std::once_flag once;
  std::call_once(once, [] { Mat_LogInitFunc("korvel_io", remember_matio_message); });
}

std::string with_matio_message(std::string what) {
  if (!last_matio_message.empty()) what += " (matio: " + last_matio_message + ")";
  return what;
}

// HDF5, which matio reads version 7.3 files with, prints its whole error stack to stderr.
// While matio works, stderr goes to a temporary file instead; the last "minor:" line of what
// was printed (the most specific reason) can join the one-line error.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    saved_ = ::dup(STDERR_FILENO);
    if (file_ && saved_ >= 0) ::dup2(::fileno(file_), STDERR_FILENO);
  }
  ~StderrCapture() {
    restore();
    if (file_) std::fclose(file_);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // stderr back; the reason HDF5 printed, or empty.
  std::string reason() {
    restore();
    if (!file_) return {};
    std::rewind(file_);
    std::string line, last;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, file_)) {
      line = buffer;
      if (const auto at = line.find("minor:"); at != std::string::npos) last = line.substr(at + 6);
    }
    const auto first = last.find_first_not_of(" \t"), end = last.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : last.substr(first, end - first + 1);
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

struct MatCloser {
  void operator()(mat_t* mat) const { Mat_Close(mat); }
};
struct VarFreer {
  void operator()(matvar_t* var) const { Mat_VarFree(var); }
};
using MatFile = std::unique_ptr<mat_t, MatCloser>;
using MatVar = std::unique_ptr<matvar_t, VarFreer>;

bool is_numeric(matio_classes c) { return c >= MAT_C_DOUBLE && c <= MAT_C_UINT64; }

struct VariableInfo {
  std::string name;
  matio_classes class_type = MAT_C_EMPTY;
  bool complex = false;
  std::vector<std::size_t> dims;
  std::uint64_t elements = 0;  // saturates at UINT64_MAX

  bool real_numeric() const { return is_numeric(class_type) && !complex; }
};

std::vector<VariableInfo> list_variables(mat_t* mat, const std::filesystem::path& file) {
  std::vector<VariableInfo> variables;
  while (MatVar var{Mat_VarReadNextInfo(mat)}) {
    if (variables.size() == kMaxVariables) fail(file, "more than " + std::to_string(kMaxVariables) + " variables");
    VariableInfo info;
    info.name = var->name != nullptr ? var->name : "";
    info.class_type = var->class_type;
    info.complex = var->isComplex != 0;
    info.elements = 1;
    for (int d = 0; d < var->rank && var->dims != nullptr; ++d) {
      info.dims.push_back(var->dims[d]);
      const std::uint64_t dim = var->dims[d];
      info.elements = dim != 0 && info.elements > UINT64_MAX / dim ? UINT64_MAX : info.elements * dim;
    }
    if (var->rank <= 0 || var->dims == nullptr) info.elements = 0;
    variables.push_back(std::move(info));
  }
  return variables;
}

bool is_rate_name(const std::string& name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  constexpr std::array<std::string_view, 7> kNames = {"fs",         "sampling_rate", "samplingrate", "sample_rate",
                                                      "samplerate", "srate",         "fs_hz"};
  return std::find(kNames.begin(), kNames.end(), lower) != kNames.end();
}

// The data of a real numeric variable as doubles, in matio's column-major order.
std::vector<double> read_values(mat_t* mat, const VariableInfo& info, std::uint64_t file_size,
                                const std::filesystem::path& file) {
  const std::uint64_t element_size = Mat_SizeOfClass(info.class_type);
  if (element_size == 0 || info.elements > kMaxInflationRatio * file_size / element_size) {
    fail(file, "variable \"" + info.name + "\" claims " + std::to_string(info.elements) +
                   " elements, more than a file of " + std::to_string(file_size) + " bytes can hold");
  }
  Mat_Rewind(mat);
  const MatVar var{Mat_VarRead(mat, info.name.c_str())};
  if (!var || var->data == nullptr || var->class_type != info.class_type || var->isComplex != 0) {
    fail(file, with_matio_message("cannot read the data of variable \"" + info.name + "\""));
  }
  const auto count = static_cast<std::size_t>(info.elements);
  if (var->nbytes < count * element_size) {
    fail(file, "variable \"" + info.name + "\" holds fewer bytes than its dimensions need");
  }
  std::vector<double> values(count);
  auto convert = [&]<typename T>(T) {
    const T* data = static_cast<const T*>(var->data);
    std::transform(data, data + count, values.begin(), [](T v) { return static_cast<double>(v); });
  };
  switch (info.class_type) {
    case MAT_C_DOUBLE:
      convert(double{});
      break;
    case MAT_C_SINGLE:
      convert(float{});
      break;
    case MAT_C_INT8:
      convert(std::int8_t{});
      break;
    case MAT_C_UINT8:
      convert(std::uint8_t{});
      break;
    case MAT_C_INT16:
      convert(std::int16_t{});
      break;
    case MAT_C_UINT16:
      convert(std::uint16_t{});
      break;
    case MAT_C_INT32:
      convert(std::int32_t{});
      break;
    case MAT_C_UINT32:
      convert(std::uint32_t{});
      break;
    case MAT_C_INT64:
      convert(std::int64_t{});
      break;
    case MAT_C_UINT64:
      convert(std::uint64_t{});
      break;
    default:
      fail(file, "variable \"" + info.name + "\" is not numeric");
  }
  return values;
}

std::string candidate_list(const std::vector<const VariableInfo*>& candidates) {
  std::string names;
  for (const VariableInfo* c : candidates) names += (names.empty() ? "\"" : ", \"") + c->name + "\"";
  return names;
}

const VariableInfo& pick_matrix(const std::vector<VariableInfo>& variables, const std::string& wanted,
                                const std::filesystem::path& file) {
  if (!wanted.empty()) {
    const auto it =
        std::find_if(variables.begin(), variables.end(), [&](const VariableInfo& v) { return v.name == wanted; });
    if (it == variables.end()) fail(file, "no variable named \"" + wanted + "\"");
    if (!it->real_numeric()) fail(file, "variable \"" + wanted + "\" is not a real numeric matrix");
    return *it;
  }
  std::vector<const VariableInfo*> candidates;
  for (const VariableInfo& v : variables) {
    if (v.real_numeric() && v.elements > 1) candidates.push_back(&v);
  }
  if (candidates.empty()) fail(file, "no real numeric matrix with more than one element");
  if (candidates.size() > 1) {
    fail(file, "several numeric matrices (" + candidate_list(candidates) + "); name the one to read");
  }
  return *candidates.front();
}

std::optional<double> file_rate(mat_t* mat, const std::vector<VariableInfo>& variables, std::uint64_t file_size,
                                const std::filesystem::path& file) {
  for (const VariableInfo& v : variables) {
    if (!is_rate_name(v.name) || !v.real_numeric() || v.elements != 1) continue;
    const double hz = read_values(mat, v, file_size, file).front();
    check_sampling_rate(file, "sampling rate \"" + v.name + "\"", hz);
    return hz;
  }
  return std::nullopt;
}

Recording read_mat_quietly(const std::filesystem::path& file, const std::string& variable, double sampling_rate_hz) {
  const std::uint64_t file_size = checked_file_size(file);
  check_mat_structure(file);
  route_matio_messages();
  last_matio_message.clear();
  const MatFile mat{Mat_Open(file.c_str(), MAT_ACC_RDONLY)};
  if (!mat) fail(file, with_matio_message("not a MATLAB .mat file that matio can open"));

  const std::vector<VariableInfo> variables = list_variables(mat.get(), file);
  const VariableInfo& matrix = pick_matrix(variables, variable, file);
  const std::size_t rows = matrix.dims.size() > 0 ? matrix.dims[0] : 0;
  const std::size_t columns = matrix.dims.size() > 1 ? matrix.dims[1] : 1;
  for (std::size_t d = 2; d < matrix.dims.size(); ++d) {
    if (matrix.dims[d] != 1) fail(file, "variable \"" + matrix.name + "\" has more than two dimensions");
  }
  const double hz = file_rate(mat.get(), variables, file_size, file).value_or(sampling_rate_hz);
  if (!(hz > 0))
    fail(file, "no sampling rate: the file has no variable fs (or sampling_rate, srate, ...) and none was given");
  check_sampling_rate(file, "sampling rate given", hz);
  const std::vector<double> values = read_values(mat.get(), matrix, file_size, file);

  // Column-major: element (r, c) is values[c * rows + r].
  const bool time_down_rows = rows >= columns;
  const std::size_t samples = time_down_rows ? rows : columns;
  const std::size_t channels = time_down_rows ? columns : rows;
  Record record;
  record.tick_interval_s = 1.0 / hz;
  for (std::size_t ch = 0; ch < channels; ++ch) {
    Channel channel;
    channel.name = channels == 1 ? matrix.name : matrix.name + " " + std::to_string(ch + 1);
    channel.samples.resize(samples);
    for (std::size_t t = 0; t < samples; ++t) {
      channel.samples[t] = static_cast<float>(time_down_rows ? values[ch * rows + t] : values[t * rows + ch]);
    }
    record.channels.push_back(std::move(channel));
  }
  Recording recording;
  recording.name = recording_name(file);
  recording.source = file.string();
  recording.records.push_back(std::move(record));
  return recording;
}


}  // namespace

Recording read_mat(const std::filesystem::path& file, const std::string& variable, double sampling_rate_hz) {
  StderrCapture capture;
  try {
    return read_mat_quietly(file, variable, sampling_rate_hz);
  } catch (const ImportError& e) {
    const std::string reason = capture.reason();
    if (reason.empty()) throw;
    throw ImportError(std::string(e.what()) + " (HDF5: " + reason + ")");
  }
}

}  // namespace korvel::io
