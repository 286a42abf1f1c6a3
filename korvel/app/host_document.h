// SPDX-License-Identifier: MIT
// A host document as extensions see it: its recorded data, computed channels and the
// calculations attached to them. Tests and tools reach the same document through the
// plain accessors.
#pragma once

#include <memory>

#include "korvel/app/document_core.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/document_data.h"

namespace korvel::app {

class Application;

class HostDocument final : public ComObject<IDocumentData, IChartData, IComputedChannels, IChannelCalculations> {
 public:
  // A document of `application` (whose extensions provide enumerator functions), or of no
  // application (host functions only) when it is null.
  HostDocument(doc::Document document, const Application* application);

  doc::Document& document() noexcept { return core_->document(); }
  calc::ComputedChannels& channels() noexcept { return core_->channels(); }

  // IDocumentData
  HRESULT GetRecordCount(std::int32_t* count) override;
  HRESULT GetRecordLength(std::int32_t record, std::int32_t* ticks) override;
  HRESULT GetChannelCount(std::int32_t* count) override;
  HRESULT ChannelHasData(std::int32_t record, ChannelId channel, VARIANT_BOOL* hasData) override;
  HRESULT GetSampleInterval(std::int32_t record, ChannelId channel, double* seconds) override;
  HRESULT GetRecordStartTime(std::int32_t record, double* seconds) override;
  HRESULT GetEndOfData(TickPosition* end) override;
  HRESULT GetChannelName(ChannelId channel, BSTR* name) override;
  HRESULT GetChannelUnit(ChannelId channel, BSTR* unit) override;
  HRESULT GetChannelColour(ChannelId channel, std::uint32_t* rgb) override;
  HRESULT GetDocumentName(BSTR* name) override;
  HRESULT IsSampling(VARIANT_BOOL* sampling) override;
  HRESULT GetSamplingStart(std::int32_t* record, TickPosition* position) override;
  HRESULT IsRegionValid(TickPosition start, TickPosition end, VARIANT_BOOL* valid) override;
  HRESULT IsChannelValid(ChannelId channel, std::int32_t firstRecord, std::int32_t lastRecord, VARIANT_BOOL* valid) override;
  HRESULT OpenEventReader(ChannelId channel, TickPosition from, TickPosition to, IEventReader** reader) override;

  // IChartData: the document's children, which enumerators see too.
  HRESULT GetChild(std::uint32_t typeId, IChartDataChildData** child) override;
  HRESULT AddChild(IChartDataChildData* child) override;
  HRESULT RemoveChild(std::uint32_t typeId) override;

  // IComputedChannels
  HRESULT FindChannel(const char16_t* name, ChannelId* channel) override;
  HRESULT CreateChannel(const char16_t* name, ChannelId* channel) override;
  HRESULT DeleteChannel(ChannelId channel) override;
  HRESULT GetChannelFlag(ChannelId channel, VARIANT_BOOL* set) override;
  HRESULT SetChannelFlag(ChannelId channel, VARIANT_BOOL set) override;
  HRESULT GetSourceName(ChannelId source, BSTR* name) override;
  HRESULT CreateArithmeticCalculation(IArithmeticCalculation** calculation) override;
  HRESULT SetCalculation(ChannelId channel, IUnknown* calculation) override;
  HRESULT ShowEventsOn(ChannelId eventChannel, std::int32_t targetIndex) override;
  HRESULT HideEventsOn(ChannelId eventChannel, std::int32_t targetIndex) override;
  HRESULT IsShowingEventsOn(ChannelId eventChannel, std::int32_t targetIndex, VARIANT_BOOL* shown) override;

  // IChannelCalculations
  HRESULT GetCalculation(ChannelId channel, IUnknown** calculation) override;

 private:
  std::int32_t computed_index(ChannelId channel) const;
  void check_record(std::int32_t record) const;

  std::shared_ptr<DocumentCore> core_;
};

}  // namespace korvel::app
