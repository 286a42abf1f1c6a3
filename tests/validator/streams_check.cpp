// SPDX-License-Identifier: MIT
// The two persisted items go to the host storage when the analysis changes, and what the
// host saves loads into a new document as the same analysis: saving again gives the same
// bytes. Streams of a newer version are refused.
#include <cstring>

#include "validator_fixture.h"
#include "sdk/hrv/result_codes.h"

namespace validator {
namespace {

TEST_F(LibraryTest, BothPersistedItemsRoundTripThroughTheHostStorage) {
  fake_host::HostDocument& first = new_host();
  ComPtr<IExtensionDocument> original = open_document(first);
  ASSERT_TRUE(original);
  execute(original.get(), first, "HRV|Analyse");
  first.view->select(kSelectionRange, {1500, 0}, {3500, 0});
  execute(original.get(), first, "HRV|RemoveMarker");
  first.view->select(kSelectionPoint, {3300, 0}, {3300, 0});
  execute(original.get(), first, "HRV|AddMarker");

  // What the host would write into its file, taken from the storage it was handed.
  ASSERT_EQ(first.storage->items.size(), 2u) << "the analysis did not reach the host storage";
  std::vector<std::uint8_t> saved[2];
  for (std::int32_t index : {0, 1}) {
    auto stream = make_com<MemoryStream>();
    ASSERT_EQ(first.storage->items[index].first->Save(stream.get(), VARIANT_TRUE), S_OK);
    saved[index] = stream->bytes();
    EXPECT_EQ(first.storage->items[index].first->IsDirty(), S_FALSE) << "saving with clear-dirty left item " << index << " dirty";
  }
  EXPECT_EQ(saved[0], saved_item(original.get(), 0)) << "the storage holds another settings object than the document";
  EXPECT_EQ(saved[1].size(), 12u + 8u + 8u * 2u) << "version, one added and two removed beats";

  // A new document loads them before it is attached, as the host opens a file.
  fake_host::HostDocument& second = new_host();
  ComPtr<IExtensionDocument> reopened;
  ASSERT_EQ(documentClass->CreateDocument(&second, IExtensionDocument::iid, reopened.put_void()), S_OK);
  for (std::int32_t index : {0, 1}) {
    ComPtr<IPersist> item;
    ASSERT_EQ(reopened->GetPersistedObject(index, kPersistedObjectKind, item.put()), S_OK);
    auto stream = make_com<MemoryStream>(saved[index]);
    EXPECT_EQ(item.query<IPersistStreamInit>()->Load(stream.get()), S_OK) << index;
    EXPECT_EQ(item.query<IPersistStreamInit>()->IsDirty(), S_FALSE) << index;
  }
  EXPECT_EQ(reopened->OnLoaded(), S_OK);
  EXPECT_TRUE(second.notices.empty()) << "a current-format document is not an earlier-format one";
  EXPECT_EQ(saved_item(reopened.get(), 0), saved[0]);
  EXPECT_EQ(saved_item(reopened.get(), 1), saved[1]);

  // Attaching runs the stored analysis again.
  const HostMessage attached{kMessageDocumentAttached, {second.identity, second.identity, 0, 0}, nullptr};
  EXPECT_EQ(reopened.query<IMessageSink>()->OnMessage(&attached), S_OK);
  EXPECT_FALSE(second.expression("HRV_vFID").empty()) << "the stored region was not analysed again";
  EXPECT_EQ(reopened->Close(), S_OK);
  EXPECT_EQ(original->Close(), S_OK);
}

TEST_F(LibraryTest, StreamsOfANewerVersionAreRefusedAndChangeNothing) {
  fake_host::HostDocument& host = new_host();
  ComPtr<IExtensionDocument> document = open_document(host);
  ASSERT_TRUE(document);
  for (std::int32_t index : {0, 1}) {
    const auto before = saved_item(document.get(), index);
    std::vector<std::uint8_t> newer(before);
    const std::int32_t version = 7;
    std::memcpy(newer.data(), &version, sizeof version);
    ComPtr<IPersist> item;
    ASSERT_EQ(document->GetPersistedObject(index, kPersistedObjectKind, item.put()), S_OK);
    auto stream = make_com<MemoryStream>(newer);
    EXPECT_EQ(item.query<IPersistStreamInit>()->Load(stream.get()), HRV_E_NEWER_VERSION) << index;
    EXPECT_EQ(saved_item(document.get(), index), before) << index;
  }
  EXPECT_EQ(document->Close(), S_OK);
}

}  // namespace
}  // namespace validator
