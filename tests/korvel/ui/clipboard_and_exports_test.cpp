// SPDX-License-Identifier: MIT
// The clipboard as the probe document copies to it, and the probe's export as the host's
// save-as runs it.
#include "korvel/ui/exports.h"

#include <filesystem>

#include "korvel/ui/ui_services.h"
#include "sdk/cpp/memory_stream.h"
#include "tests/korvel/io/temp_dir.h"
#include "tests/korvel/services/probe_session.h"

namespace korvel::ui {
namespace {

using ClipboardAndExportsTest = services::test::ProbeSession;

TEST_F(ClipboardAndExportsTest, KeepsEachFormatItWasGivenAndEmptiesOnRequest) {
  UiServices ui = install_ui(*session);
  ui.clipboard->SetData(u"Stale", "x", 1);
  ASSERT_EQ(probe->SetNote(u"RR 0.8 s"), S_OK);
  ASSERT_EQ(probe->CopyNote(), S_OK);
  EXPECT_EQ(ui.clipboard->formats().size(), 2u);  // the stale one emptied away
  EXPECT_EQ(ui.clipboard->text(), "RR 0.8 s");
  const auto html = ui.clipboard->data("HTML Format");
  ASSERT_TRUE(html);
  EXPECT_EQ(std::string(html->begin(), html->end()), std::string("<p>RR 0.8 s</p>") + '\0');

  ComPtr<IByteStream> stream;
  ASSERT_EQ(ui.clipboard->GetData(u"HTML Format", stream.put()), S_OK);
  std::uint64_t size = 0;
  ASSERT_EQ(stream->GetSize(&size), S_OK);
  EXPECT_EQ(size, html->size());
  EXPECT_EQ(ui.clipboard->GetData(u"Missing", stream.put()), S_FALSE);
  EXPECT_FALSE(stream);
  EXPECT_EQ(ui.clipboard->SetData(u"", "x", 1), E_INVALIDARG);
  EXPECT_EQ(ui.clipboard->SetData(u"Bytes", nullptr, 3), E_POINTER);
}

TEST_F(ClipboardAndExportsTest, TheExportWritesTheNoteOrAnEmptyFile) {
  io::test::TempDir folder;
  const auto types = export_types(*application);
  ASSERT_EQ(types.size(), 1u);
  EXPECT_EQ(types[0].description, "Probe Note Text File");
  EXPECT_EQ(types[0].extension, "txt");

  EXPECT_EQ(export_document(*frame, types[0], folder.file("empty.txt")), S_FALSE);
  EXPECT_TRUE(io::test::file_bytes(folder.file("empty.txt")).empty());
  ASSERT_EQ(probe->SetNote(u"first"), S_OK);
  EXPECT_EQ(export_document(*frame, types[0], folder.file("note.txt")), S_OK);
  const auto bytes = io::test::file_bytes(folder.file("note.txt"));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "first\r\n");
}

TEST_F(ClipboardAndExportsTest, TheExportRefusesWhatIsNoHostDocument) {
  io::test::TempDir folder;
  const auto types = export_types(*application);
  auto not_a_document = make_com<MemoryStream>();
  EXPECT_EQ(types[0].handler->Save(not_a_document->identity(), nullptr, u"/nowhere/x.txt"), E_FAIL);
  EXPECT_TRUE(application->message_boxes().shown().empty());
}

}  // namespace
}  // namespace korvel::ui
