// SPDX-License-Identifier: MIT
// Document files with the probe extension's document in them: a document saved, reloaded
// and compared; files that are truncated, damaged, or that refer to what is not there are
// refused with a message, and nothing else changes.
#include "korvel/docfile/document_file.h"

#include <cstdio>
#include <functional>

#include "korvel/services/commands.h"
#include "tests/korvel/io/temp_dir.h"
#include "tests/korvel/services/probe_session.h"

namespace korvel::docfile {
namespace {

using io::test::file_bytes;
using services::test::journal_of;
using services::test::Lines;
using services::test::probe_of;

// The synthetic recording as delimited text without a time column, at 500 Hz.
std::string as_csv(const io::Recording& r) {
  std::string out = "ECG (mV),Slow\n";
  const auto& channels = r.records[0].channels;
  char line[64];
  for (std::size_t i = 0; i < channels[0].samples.size(); ++i) {
    std::snprintf(line, sizeof line, "%.6g,%.6g\n", channels[0].samples[i], channels[1].samples[i]);
    out += line;
  }
  return out;
}

class DocumentFileTest : public services::test::ProbeSession {
 protected:
  void SetUp() override {
    ProbeSession::SetUp();
    csv = folder.write("ecg.csv", as_csv(korvel::test::synthetic_recording(korvel::test::synthetic_ecg(12.0, 500.0, 5), 500.0)));
    services::RecordingSource source{csv, {}};
    source.options.sampling_rate_hz = 500.0;
    saved = &open_recordings(*session, {source});
    doc = probe_of(*saved);
    // "Crossings" ends up naming a channel created after it.
    define(u"Crossings", u"cmpeakdet(Ch1,0.5,0.3,30)");
    define(u"Lp", u"lowpass(Ch1,40)");
    define(u"Crossings", u"cmpeakdet(Lp,0.5,0.3,30)");
    ASSERT_EQ(doc->SetNote(u"first note"), S_OK);
    ASSERT_EQ(services::execute_command(*session, command(probe::kCommandCount)), S_OK);
  }

  // Defines computed channel `name` as an extension does, through the data's interfaces.
  void define(const char16_t* name, const char16_t* expression) {
    app::HostDocument& d = saved->data();
    ChannelId id;
    ComPtr<IArithmeticCalculation> calculation;
    if (d.FindChannel(name, &id) != S_OK) {
      ASSERT_EQ(d.CreateChannel(name, &id), S_OK);
    }
    ASSERT_EQ(d.CreateArithmeticCalculation(calculation.put()), S_OK);
    ASSERT_EQ(calculation->Initialise(expression, nullptr, nullptr), S_OK);
    ASSERT_EQ(d.SetCalculation(id, calculation.get()), S_OK);
    ASSERT_EQ(d.SetChannelFlag(id, VARIANT_TRUE), S_OK);
  }
  std::string refusal(const std::filesystem::path& path) {
    const std::size_t open = session->documents().size();
    try {
      load_document(*session, path);
    } catch (const DocumentFileError& e) {
      EXPECT_EQ(session->documents().size(), open) << "a refused file left a document open";
      return e.what();
    }
    return "loaded";
  }
  std::size_t crossings(services::DocumentFrame& f) {
    auto& channels = f.data().channels();
    return channels.events(*channels.find("Crossings"), 0)->count();
  }

  io::test::TempDir folder;
  std::filesystem::path csv;
  services::DocumentFrame* saved = nullptr;
  ComPtr<probe::IProbeDocument> doc;
};

TEST_F(DocumentFileTest, ADocumentSavedAndReloadedIsTheSameDocument) {
  const auto path = folder.file("first.kvdoc");
  save_document(*saved, path);
  EXPECT_FALSE(saved->dirty());
  EXPECT_FALSE(std::filesystem::exists(folder.file("first.kvdoc.saving")));

  services::DocumentFrame& loaded = load_document(*session, path);
  EXPECT_EQ(journal_of(*probe_of(loaded)), (Lines{"loaded note=first note count=1", "attached", "follow-up", "menus"}));

  ASSERT_EQ(loaded.sources().size(), 1u);
  EXPECT_EQ(loaded.sources()[0].path, std::filesystem::absolute(csv));
  EXPECT_EQ(loaded.sources()[0].options.sampling_rate_hz, 500.0);
  EXPECT_EQ(loaded.data().document().record_length(0), 6000);
  const auto& channels = loaded.data().channels();
  const auto lp = channels.find("Lp");
  ASSERT_TRUE(lp);
  EXPECT_EQ(channels.expression(*lp), "lowpass(Ch1,40)");
  EXPECT_TRUE(channels.flag(*lp));
  EXPECT_EQ(crossings(loaded), crossings(*saved));
  EXPECT_GT(crossings(loaded), 8u);
  // Saved again, it makes the same file.
  EXPECT_EQ(encode_document(contents_of(loaded, folder.file(""))), file_bytes(path));
}

// A file that named its recording absolutely opens from a moved study folder holding both;
// saved inside the folder, it names the recording relatively.
TEST_F(DocumentFileTest, AStudyFolderOpensWhereverItIsMoved) {
  ASSERT_TRUE(contents_of(*saved).recordings[0].path.is_absolute());
  const std::filesystem::path moved = folder.file("moved");
  std::filesystem::create_directory(moved);
  std::filesystem::rename(folder.write("study.kvdoc", encode_document(contents_of(*saved))), moved / "study.kvdoc");
  std::filesystem::rename(csv, moved / csv.filename());
  services::DocumentFrame& loaded = load_document(*session, moved / "study.kvdoc");
  EXPECT_EQ(loaded.sources()[0].path, moved / csv.filename());
  EXPECT_EQ(loaded.data().document().record_length(0), 6000);
  save_document(loaded, moved / "study.kvdoc");
  EXPECT_EQ(decode_document(file_bytes(moved / "study.kvdoc")).recordings[0].path, csv.filename());
}

TEST_F(DocumentFileTest, ATruncatedOrDamagedFileIsRefusedAndLeftAsItWas) {
  const auto path = folder.file("doc.kvdoc");
  save_document(*saved, path);
  const auto bytes = file_bytes(path);

  const auto truncated = folder.write("truncated.kvdoc", std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 5));
  const std::string cut = refusal(truncated);
  EXPECT_NE(cut.find("section 'ITEM' needs"), std::string::npos) << cut;
  EXPECT_EQ(file_bytes(truncated).size(), bytes.size() - 5);

  auto flipped = bytes;
  flipped[bytes.size() - 3] ^= 0x40;
  const auto damaged = folder.write("damaged.kvdoc", flipped);
  EXPECT_NE(refusal(damaged).find("section 'ITEM' (at byte"), std::string::npos);
  EXPECT_EQ(file_bytes(damaged), flipped);
  EXPECT_NE(refusal(folder.file("missing.kvdoc")).find("cannot open"), std::string::npos);
}

TEST_F(DocumentFileTest, RefusesFilesThatNeedWhatIsNotThereAndClosesWhatWasOpened) {
  struct Case {
    const char* expected;
    std::function<void(DocumentContents&)> change;
  };
  const Case cases[] = {
      {"'Probe Document' persisted item 1 refused its saved stream", [](auto& c) { c.items[1].bytes[0] ^= 0xFF; }},  // the counter's tag
      {"which is not loaded", [](auto& c) { c.items[0].document_class = make_guid("{00000000-0000-0000-0000-0000000000AB}"); }},
      {"a recording of the document cannot be read", [&](auto& c) { c.recordings[0].path = folder.file("gone.csv"); }},
      {"computed channel 'Lp': ", [](auto& c) { c.channels[1].expression = "lowpass(Crossings,"; }},
      {"cannot be created", [](auto& c) { c.channels[1].name = "Crossings"; }},
  };
  for (const Case& c : cases) {
    DocumentContents contents = contents_of(*saved);
    c.change(contents);
    const std::string message = refusal(folder.write("refused.kvdoc", encode_document(contents)));
    EXPECT_NE(message.find(c.expected), std::string::npos) << message;
  }
}

TEST_F(DocumentFileTest, ASaveThatCannotBeWrittenLeavesTheEarlierFile) {
  const auto path = folder.file("kept.kvdoc");
  save_document(*saved, path);
  const auto before = file_bytes(path);
  ASSERT_EQ(doc->SetNote(u"changed"), S_OK);
  EXPECT_THROW(save_document(*saved, folder.file("no such folder") / "x.kvdoc"), DocumentFileError);
  EXPECT_TRUE(saved->dirty());
  EXPECT_EQ(file_bytes(path), before);
  save_document(*saved, path);
  EXPECT_NE(file_bytes(path), before);
}

}  // namespace
}  // namespace korvel::docfile
