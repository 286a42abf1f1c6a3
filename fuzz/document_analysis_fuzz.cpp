// SPDX-License-Identifier: MIT
// A document file of a real analysis (a short synthetic ECG) with the stored bytes of one of
// its extension items (settings, beat edits, ...) changed by the input, opened as the tool
// opens a document, analysed again and its results exported. A refusal with a message is
// fine; a crash, a sanitizer report, an allocation past libFuzzer's limit or a hang past its
// -timeout is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "apps/korvel-hrv/commands.h"
#include "apps/korvel-hrv/hrv_session.h"
#include "korvel/docfile/document_contents.h"
#include "korvel/io/file_access.h"

namespace {

struct Fixture {
  std::filesystem::path folder;
  korvel::docfile::DocumentContents contents;
};

const Fixture& fixture() {
  static const Fixture f = [] {
    Fixture made;
    made.folder = std::filesystem::temp_directory_path() / ("document_analysis_fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(made.folder);
    const auto header = made.folder / "ecg.hea";
    korvel_hrv::synthesize(header, "human", 0.5, 0, 1);
    korvel_hrv::AnalyzeOptions options;
    options.out = made.folder;
    korvel_hrv::analyze(header, options);
    const auto bytes = korvel::io::read_file_bytes(made.folder / "document.korvel", 1 << 20);
    made.contents = korvel::docfile::decode_document(bytes);
    if (made.contents.items.empty()) std::abort();
    return made;
  }();
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Fixture& f = fixture();
  if (size == 0) return 0;
  korvel::docfile::DocumentContents contents = f.contents;
  // The rest of the input is laid over the item's stored bytes (XOR), longer inputs append:
  // an empty overlay is the document as saved, so small inputs are small damages.
  auto& item = contents.items[data[0] % contents.items.size()];
  for (std::size_t i = 1; i < size; ++i) {
    if (i - 1 < item.bytes.size())
      item.bytes[i - 1] ^= data[i];
    else
      item.bytes.push_back(data[i]);
  }
  const auto bytes = korvel::docfile::encode_document(contents);
  const auto path = f.folder / "fuzzed.korvel";
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  try {
    korvel_hrv::HrvSession session;
    session.open_document(path);
    session.run_macro("HRV_Analyze");
    session.results_json();
    session.beats_csv();
  } catch (const std::exception& e) {
    if (!*e.what()) std::abort();  // a refusal always says why
  }
  return 0;
}
