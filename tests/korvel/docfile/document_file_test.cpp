// SPDX-License-Identifier: MIT
// Document files with the probe extension's document in them: a document saved, reloaded
// and compared; files that are truncated, damaged, or that refer to what is not there are
// refused with a message, and nothing else changes.
#include "korvel/docfile/document_file.h"

#include <cstdio>

#include "korvel/services/channel_calculations.h"
#include "korvel/services/commands.h"
#include "tests/korvel/io/temp_dir.h"
#include "tests/korvel/services/probe_session.h"

namespace korvel::docfile {
namespace {

using services::test::lines;
using services::test::probe_of;
using io::test::file_bytes;
using Lines = std::vector<std::string>;

constexpr const char* kCrossings = "probethreshold(Lp,0.5)";

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
    define("Crossings", "probethreshold(Ch1,0.5)");
    define("Lp", "lowpass(Ch1,40)");
    define("Crossings", kCrossings);
    ASSERT_EQ(doc->SetNote(u"first note"), S_OK);
    ASSERT_EQ(services::execute_command(*session, command(probe::kCommandCount)), S_OK);
    saved->chart_view().select_range({100, 0}, {200, 0});
    ASSERT_EQ(doc->Analyse(), S_OK);
  }

  void define(const char* name, const char* expression) {
    BSTR error = nullptr;
    ASSERT_EQ(client()->Define(saved->data().identity(), utf8_to_utf16(name).c_str(), utf8_to_utf16(expression).c_str(), &error), S_OK)
        << Bstr::adopt(error).utf8();
  }
  ComPtr<probe::IProbeClient> client() {
    ComPtr<probe::IProbeClient> c;
    for (const auto* cls : application->extensions()->classes_in(probe::kProbeCategory))
      if (auto factory = cls->object.query<IClassFactory>(); factory && !c) factory->CreateInstance(nullptr, probe::IProbeClient::iid, c.put_void());
    return c;
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
  auto again = probe_of(loaded);
  BSTR text = nullptr;
  ASSERT_EQ(again->TakeJournal(&text), S_OK);
  EXPECT_EQ(lines(text), (Lines{"loaded note=first note count=1", "attached", "follow-up", "menus"}));
  ASSERT_EQ(again->GetNote(&text), S_OK);
  EXPECT_EQ(Bstr::adopt(text).utf8(), "first note");

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
  EXPECT_EQ(encode_document(contents_of(loaded)), file_bytes(path));
}

TEST_F(DocumentFileTest, AChannelKeepsItsExtensionCalculationAndItsSettings) {
  const std::vector<std::uint8_t> triple = {'P', 'R', 'B', '1', 8, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};  // factor 3, no guides
  const ChannelId scaled = services::add_channel_calculation(*saved, probe::kScaledClassId, "Scaled", triple);
  const auto path = folder.file("calculated.kvdoc");
  save_document(*saved, path);
  const DocumentContents contents = decode_document(file_bytes(path));
  ASSERT_EQ(contents.calculations.size(), 1u);
  EXPECT_EQ(contents.calculations[0].settings, triple);
  EXPECT_EQ(contents.channels.back().expression, "");  // the calculation makes it again

  services::DocumentFrame& loaded = load_document(*session, path);
  ASSERT_EQ(loaded.calculated_channels().size(), 1u);
  const ChannelId channel = loaded.calculated_channels()[0].channel;
  EXPECT_EQ(loaded.data().channels().name(channel.index), "Scaled");
  EXPECT_EQ(loaded.data().channels().expression(channel.index), "Ch1*3");
  EXPECT_EQ(loaded.data().channels().expression(scaled.index), "Ch1*3");  // indexes are kept
  BSTR text = nullptr;
  ASSERT_EQ(probe_of(loaded)->TakeJournal(&text), S_OK);
  const Lines journal = lines(text);
  EXPECT_EQ(journal.back(), "guides " + std::to_string(channel.index) + " off");
  EXPECT_FALSE(loaded.chart_guides().bands().at(channel.index).shown);
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

TEST_F(DocumentFileTest, AStreamTheExtensionRefusesClosesWhatWasOpened) {
  DocumentContents contents = contents_of(*saved);
  contents.items[1].bytes[0] ^= 0xFF;  // the counter's tag
  const auto path = folder.write("refused.kvdoc", encode_document(contents));
  const std::string message = refusal(path);
  EXPECT_NE(message.find("'Probe Document' persisted item 1 refused its saved stream"), std::string::npos) << message;
}

TEST_F(DocumentFileTest, RefusesFilesThatNeedWhatIsNotThere) {
  DocumentContents contents = contents_of(*saved);
  contents.items[0].document_class = make_guid("{00000000-0000-0000-0000-0000000000AB}");
  EXPECT_NE(refusal(folder.write("foreign.kvdoc", encode_document(contents))).find("which is not loaded"), std::string::npos);

  contents = contents_of(*saved);
  contents.recordings[0].path = folder.file("gone.csv");
  EXPECT_NE(refusal(folder.write("gone.kvdoc", encode_document(contents))).find("a recording of the document cannot be read"),
            std::string::npos);

  contents = contents_of(*saved);
  contents.channels[1].expression = "lowpass(Crossings,";
  const std::string message = refusal(folder.write("bad.kvdoc", encode_document(contents)));
  EXPECT_NE(message.find("computed channel 'Lp': "), std::string::npos) << message;

  contents = contents_of(*saved);
  contents.channels[1].name = "Crossings";
  EXPECT_NE(refusal(folder.write("twice.kvdoc", encode_document(contents))).find("cannot be created"), std::string::npos);
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
