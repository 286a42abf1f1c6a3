// SPDX-License-Identifier: MIT
// A host document that answers E_NOTIMPL to everything, for test fakes to override only the
// calls the code under test makes. `Extra` lists further interfaces the fake implements.
#pragma once

#include "sdk/cpp/com_object.h"
#include "sdk/host/document_data.h"

template <class... Extra>
class DocumentDataStub : public ComObject<IDocumentData, Extra...> {
 public:
  HRESULT GetRecordCount(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT GetRecordLength(std::int32_t, std::int32_t*) override { return E_NOTIMPL; }
  HRESULT GetChannelCount(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT ChannelHasData(std::int32_t, ChannelId, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT GetSampleInterval(std::int32_t, ChannelId, double*) override { return E_NOTIMPL; }
  HRESULT GetRecordStartTime(std::int32_t, double*) override { return E_NOTIMPL; }
  HRESULT GetEndOfData(TickPosition*) override { return E_NOTIMPL; }
  HRESULT GetChannelName(ChannelId, BSTR*) override { return E_NOTIMPL; }
  HRESULT GetChannelUnit(ChannelId, BSTR*) override { return E_NOTIMPL; }
  HRESULT GetChannelColour(ChannelId, std::uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetDocumentName(BSTR*) override { return E_NOTIMPL; }
  HRESULT IsSampling(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT GetSamplingStart(std::int32_t*, TickPosition*) override { return E_NOTIMPL; }
  HRESULT IsRegionValid(TickPosition, TickPosition, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT IsChannelValid(ChannelId, std::int32_t, std::int32_t, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT OpenEventReader(ChannelId, TickPosition, TickPosition, IEventReader**) override { return E_NOTIMPL; }
};
