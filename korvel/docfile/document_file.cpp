// SPDX-License-Identifier: MIT
#include "korvel/docfile/document_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <system_error>

#include <boost/crc.hpp>

#include "korvel/io/file_output.h"
#include "korvel/services/channel_calculations.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::docfile {
namespace {

io::Recording read_joined(const std::vector<services::RecordingSource>& sources) {
  io::Recording joined;
  for (const services::RecordingSource& s : sources) {
    io::Recording r = io::load_recording(s.path, s.options);
    if (joined.records.empty() && joined.name.empty()) {
      joined.name = r.name;
      joined.source = r.source;
    }
    std::move(r.records.begin(), r.records.end(), std::back_inserter(joined.records));
  }
  return joined;
}

// Where a document file in `folder` finds a recording it names: a relative path from the
// folder; an absolute path as it is, or, when nothing is there any more, the file of that
// name in the folder (a study folder moved with its recordings).
std::filesystem::path resolve(const std::filesystem::path& named, const std::filesystem::path& folder) {
  if (named.is_relative()) return (std::filesystem::absolute(folder) / named).lexically_normal();
  std::error_code ec;
  if (std::filesystem::exists(named, ec)) return named;
  const std::filesystem::path beside = std::filesystem::absolute(folder) / named.filename();
  return std::filesystem::exists(beside, ec) ? beside : named;
}

// How a document file in `folder` names a recording: relative to the folder when the
// recording lies inside it, so that the folder can move as a whole; absolute otherwise.
std::filesystem::path reference_from(const std::filesystem::path& folder, const std::filesystem::path& recording) {
  const std::filesystem::path path = std::filesystem::absolute(recording).lexically_normal();
  if (folder.empty()) return path;
  const std::filesystem::path relative = path.lexically_relative(std::filesystem::absolute(folder).lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return path;
  return relative;
}

RecordingFingerprint fingerprint_of(const std::filesystem::path& file) {
  struct stat st{};
  RecordingFingerprint f;
  if (::stat(file.c_str(), &st) != 0) return f;
  f.size = static_cast<std::uint64_t>(st.st_size);
  f.modified_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  std::ifstream in(file, std::ios::binary);
  std::vector<char> head(64 * 1024);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  boost::crc_32_type crc;
  crc.process_bytes(head.data(), static_cast<std::size_t>(in.gcount()));
  f.header_crc = crc.checksum();
  return f;
}

std::string time_text(std::int64_t ns) {
  const std::time_t seconds = static_cast<std::time_t>(ns / 1000000000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
  return text;
}

// Refuses a recording that is no longer the file the document was saved with, unless the
// user asked to re-attach it.
void check_unchanged(const std::string& name, const std::filesystem::path& file, const RecordingFingerprint& saved) {
  if (saved == RecordingFingerprint{}) return;  // not known when saved
  const RecordingFingerprint now = fingerprint_of(file);
  if (now == saved || now == RecordingFingerprint{}) return;  // unreadable: its importer says why
  std::string what = now.size != saved.size ? "its size is " + std::to_string(now.size) + " bytes, was " + std::to_string(saved.size)
                     : now.header_crc != saved.header_crc ? "its header differs"
                                                          : "it was modified at " + time_text(now.modified_ns) + ", saved with the one of " +
                                                                time_text(saved.modified_ns);
  throw DocumentFileError(name + "the recording " + file.string() + " has changed since the document was saved (" + what +
                          "): the document's beats and edits belong to the old data. Open it with --reattach to analyse the "
                          "new data with the document's settings and edits, or analyse the recording anew");
}

// Defines the channels as extensions do, through the interfaces: each gets a host
// arithmetic calculation with its expression. All channels are created first; an expression
// compiles only once the channels it names have theirs, so the expressions are set in
// rounds until a round makes no progress; then every channel still failing is named.
void define_channels(app::HostDocument& data, const std::vector<ChannelDefinition>& definitions, const std::string& name) {
  std::vector<ChannelId> ids;
  for (const ChannelDefinition& c : definitions) {
    ChannelId id;
    if (FAILED(data.CreateChannel(utf8_to_utf16(c.name).c_str(), &id)))
      throw DocumentFileError(name + "computed channel '" + c.name + "' cannot be created (a name taken twice, or not a name)");
    check_hresult(data.SetChannelFlag(id, to_variant_bool(c.flag)));
    ids.push_back(id);
  }
  std::vector<std::size_t> pending;
  for (std::size_t i = 0; i < definitions.size(); ++i)
    if (!definitions[i].expression.empty()) pending.push_back(i);
  while (!pending.empty()) {
    std::vector<std::size_t> failed;
    std::string errors;
    for (std::size_t i : pending) {
      ComPtr<IArithmeticCalculation> calculation;
      check_hresult(data.CreateArithmeticCalculation(calculation.put()));
      Bstr error;
      if (SUCCEEDED(calculation->Initialise(utf8_to_utf16(definitions[i].expression).c_str(), nullptr, error.put())) &&
          SUCCEEDED(data.SetCalculation(ids[i], calculation.get())))
        continue;
      errors += std::string(errors.empty() ? "" : "; ") + "computed channel '" + definitions[i].name +
                "': " + (error.get() ? error.utf8() : "its expression depends on itself");
      failed.push_back(i);
    }
    if (failed.size() == pending.size()) throw DocumentFileError(name + errors);
    pending = std::move(failed);
  }
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw DocumentFileError("cannot open " + path.string());
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw DocumentFileError("cannot read " + path.string());
  return bytes;
}

}  // namespace

services::DocumentFrame& open_recordings(services::Session& session, const std::vector<services::RecordingSource>& sources,
                                         const services::FrameOptions& options) {
  services::DocumentFrame& frame = session.open(doc::Document(read_joined(sources)), options);
  frame.set_sources(sources);
  return frame;
}

DocumentContents contents_of(const services::DocumentFrame& frame, const std::filesystem::path& folder) {
  DocumentContents c;
  for (services::RecordingSource s : frame.sources()) {
    c.fingerprints.push_back(fingerprint_of(s.path));
    s.path = reference_from(folder, s.path);
    c.recordings.push_back(std::move(s));
  }
  auto& f = const_cast<services::DocumentFrame&>(frame);
  const calc::ComputedChannels& channels = f.data().channels();
  for (const services::CalculatedChannel& calculated : frame.calculated_channels())
    c.calculations.push_back({channels.name(calculated.channel.index), calculated.class_id,
                              services::channel_calculation_settings(f, calculated.channel)});
  for (std::int32_t index : channels.indexes()) {
    if (channels.recorded_events(index)) continue;  // they come again with the recording
    // An extension's calculation makes its expression again when the document is opened.
    const bool calculated = std::any_of(frame.calculated_channels().begin(), frame.calculated_channels().end(),
                                        [&](const services::CalculatedChannel& x) { return x.channel.index == index; });
    c.channels.push_back({channels.name(index), calculated ? std::string() : channels.expression(index), channels.flag(index)});
  }
  c.items = frame.save_items(false);
  return c;
}

void save_document(const services::DocumentFrame& frame, const std::filesystem::path& path, std::filesystem::path folder) {
  if (folder.empty()) folder = path.parent_path();
  std::vector<std::uint8_t> bytes;
  try {
    bytes = encode_document(contents_of(frame, folder.empty() ? std::filesystem::path(".") : folder));
  } catch (const HResultError& e) {
    throw DocumentFileError(std::string("the document cannot be saved: ") + e.what());
  }
  try {
    io::write_file_atomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } catch (const std::runtime_error& e) {
    throw DocumentFileError(e.what());
  }
  // Saved: a second save with clear_dirty tells each item so.
  frame.save_items(true);
}

services::DocumentFrame& load_document(services::Session& session, const std::filesystem::path& path,
                                       const services::FrameOptions& options, bool reattach) {
  const std::string name = path.string() + ": ";
  DocumentContents contents;
  try {
    contents = decode_document(read_file(path));
  } catch (const DocumentFileError& e) {
    throw DocumentFileError(name + e.what());
  }

  // Every class the file needs must be registered before anything is read.
  auto registered = [&](const GUID& category, const GUID& class_id) {
    const auto classes = session.application().extensions()->classes_in(category);
    return std::any_of(classes.begin(), classes.end(), [&](const auto* c) { return c->class_id == class_id; });
  };
  for (const services::SavedItem& item : contents.items)
    if (!registered(kDocumentCategory, item.document_class))
      throw DocumentFileError(name + "it needs the extension whose document class is " + to_string(item.document_class) +
                              ", which is not loaded");
  for (const CalculationDefinition& c : contents.calculations)
    if (!registered(kChannelCalculationCategory, c.class_id))
      throw DocumentFileError(name + "channel '" + c.channel + "' needs the extension whose calculation class is " +
                              to_string(c.class_id) + ", which is not loaded");

  const std::filesystem::path folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
  for (services::RecordingSource& s : contents.recordings) s.path = resolve(s.path, folder);
  if (!reattach)
    for (std::size_t i = 0; i < contents.fingerprints.size(); ++i) check_unchanged(name, contents.recordings[i].path, contents.fingerprints[i]);
  io::Recording recording;
  try {
    recording = read_joined(contents.recordings);
  } catch (const io::ImportError& e) {
    throw DocumentFileError(name + "a recording of the document cannot be read: " + e.what());
  }
  ComPtr<app::HostDocument> data;
  try {
    data = make_com<app::HostDocument>(doc::Document(std::move(recording)), &session.application());
  } catch (const std::invalid_argument& e) {
    throw DocumentFileError(name + "the recordings do not make one document: " + e.what());
  }
  try {
    define_channels(*data, contents.channels, name);
  } catch (const HResultError& e) {
    throw DocumentFileError(name + "its computed channels cannot be defined: " + e.what());
  }
  services::DocumentFrame* frame = nullptr;
  try {
    frame = &session.open(std::move(data), options, contents.items);
  } catch (const HResultError& e) {
    throw DocumentFileError(name + e.what());
  }
  // The extension documents are there now and hear of each calculation as it is set.
  for (const CalculationDefinition& c : contents.calculations) {
    try {
      ChannelId channel;
      check_hresult(frame->data().FindChannel(utf8_to_utf16(c.channel).c_str(), &channel));
      services::attach_channel_calculation(*frame, channel, c.class_id, c.settings);
    } catch (const HResultError& e) {
      session.close(*frame);
      throw DocumentFileError(name + "channel '" + c.channel + "': " + e.what());
    }
  }
  frame->set_sources(std::move(contents.recordings));
  return *frame;
}

}  // namespace korvel::docfile
