// SPDX-License-Identifier: MIT
#include "korvel/app/host_document.h"

#include "korvel/app/application.h"
#include "korvel/app/arithmetic_calculation.h"
#include "korvel/app/event_reader.h"
#include "korvel/app/host_guard.h"
#include "sdk/cpp/utf.h"

namespace korvel::app {
namespace {

HRESULT put_text(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = Bstr(text).detach();
  return S_OK;
}

std::string text_of(const char16_t* text) {
  if (!text) throw_hresult(E_POINTER, "no text");
  return utf16_to_utf8(text);
}

}  // namespace

HostDocument::HostDocument(doc::Document document, const Application* application)
    : core_(std::make_shared<DocumentCore>(std::move(document), application ? application->extensions() : nullptr)) {}

void HostDocument::check_record(std::int32_t record) const {
  if (record < 0 || record >= core_->document().record_count()) throw_hresult(E_INVALIDARG, "no record " + std::to_string(record));
}

std::int32_t HostDocument::computed_index(ChannelId channel) const {
  const ChannelRef ref = core_->resolve(channel);
  if (!ref.computed) throw_hresult(E_INVALIDARG, "channel " + std::to_string(channel.index) + " is a recorded channel");
  return ref.index;
}

// ---- IDocumentData

HRESULT HostDocument::GetRecordCount(std::int32_t* count) {
  if (!count) return E_POINTER;
  *count = core_->document().record_count();
  return S_OK;
}

HRESULT HostDocument::GetRecordLength(std::int32_t record, std::int32_t* ticks) {
  return host_guard([&] {
    if (!ticks) return E_POINTER;
    check_record(record);
    *ticks = core_->document().record_length(record);
    return S_OK;
  });
}

HRESULT HostDocument::GetChannelCount(std::int32_t* count) {
  if (!count) return E_POINTER;
  *count = core_->document().channel_count();
  return S_OK;
}

HRESULT HostDocument::ChannelHasData(std::int32_t record, ChannelId channel, VARIANT_BOOL* hasData) {
  return host_guard([&] {
    if (!hasData) return E_POINTER;
    check_record(record);
    const ChannelRef ref = core_->resolve(channel);
    const bool has = ref.computed ? core_->channels().has_data(ref.index, record) : core_->document().has_data(record, ref.index);
    *hasData = to_variant_bool(has);
    return S_OK;
  });
}

// Every channel of a record, computed or recorded, is sampled on the record's ticks.
HRESULT HostDocument::GetSampleInterval(std::int32_t record, ChannelId channel, double* seconds) {
  return host_guard([&] {
    if (!seconds) return E_POINTER;
    core_->resolve(channel);
    const doc::Document& d = core_->document();
    if (record == TickPosition::kOpenEndRecord) {
      // A new record is sampled at the rate sampling was set up for, else like the last one;
      // before either there is no interval.
      *seconds = d.next_tick_interval();
      return *seconds > 0 ? S_OK : S_FALSE;
    }
    check_record(record);
    *seconds = d.tick_interval(record);
    return S_OK;
  });
}

HRESULT HostDocument::GetRecordStartTime(std::int32_t record, double* seconds) {
  return host_guard([&] {
    if (!seconds) return E_POINTER;
    check_record(record);
    *seconds = core_->document().record_start(record);
    return S_OK;
  });
}

HRESULT HostDocument::GetEndOfData(TickPosition* end) {
  if (!end) return E_POINTER;
  const doc::Document& d = core_->document();
  const std::int32_t last = d.record_count() - 1;
  *end = last < 0 ? TickPosition{0, 0} : TickPosition{d.record_length(last), last};
  return S_OK;
}

HRESULT HostDocument::GetChannelName(ChannelId channel, BSTR* name) {
  return host_guard([&] {
    const ChannelRef ref = core_->resolve(channel);
    return put_text(ref.computed ? core_->channels().name(ref.index) : core_->document().channel(ref.index).name, name);
  });
}

// Computed channels carry no unit of their own.
HRESULT HostDocument::GetChannelUnit(ChannelId channel, BSTR* unit) {
  return host_guard([&] {
    const ChannelRef ref = core_->resolve(channel);
    return put_text(ref.computed ? std::string() : core_->document().channel(ref.index).unit, unit);
  });
}

HRESULT HostDocument::GetChannelColour(ChannelId channel, std::uint32_t* rgb) {
  return host_guard([&] {
    if (!rgb) return E_POINTER;
    const ChannelRef ref = core_->resolve(channel);
    *rgb = ref.computed ? doc::default_colour(ref.index) : core_->document().channel(ref.index).colour;
    return S_OK;
  });
}

HRESULT HostDocument::GetDocumentName(BSTR* name) {
  return host_guard([&] { return put_text(core_->document().name(), name); });
}

HRESULT HostDocument::IsSampling(VARIANT_BOOL* sampling) {
  if (!sampling) return E_POINTER;
  *sampling = to_variant_bool(core_->document().sampling());
  return S_OK;
}

HRESULT HostDocument::GetSamplingStart(std::int32_t* record, TickPosition* position) {
  if (!record || !position) return E_POINTER;
  const doc::Document& d = core_->document();
  *record = d.sampling_record();
  *position = d.sampling() ? TickPosition{0, *record} : TickPosition::unset();
  return S_OK;
}

HRESULT HostDocument::IsRegionValid(TickPosition start, TickPosition end, VARIANT_BOOL* valid) {
  if (!valid) return E_POINTER;
  const doc::Document& d = core_->document();
  auto inside = [&](TickPosition p) {
    if (p.record < 0 || p.record >= d.record_count()) return false;
    return p.tick == TickPosition::kUnset || (p.tick >= 0 && p.tick <= d.record_length(p.record));
  };
  const bool open = end.record >= TickPosition::kOpenEndRecord;
  *valid = to_variant_bool(inside(start) && start.tick != TickPosition::kUnset && (open || (inside(end) && start <= end)));
  return S_OK;
}

HRESULT HostDocument::IsChannelValid(ChannelId channel, std::int32_t firstRecord, std::int32_t lastRecord, VARIANT_BOOL* valid) {
  return host_guard([&] {
    if (!valid) return E_POINTER;
    const doc::Document& d = core_->document();
    bool ok = firstRecord >= 0 && firstRecord < d.record_count() &&
              (lastRecord >= TickPosition::kOpenEndRecord || (lastRecord >= firstRecord && lastRecord < d.record_count()));
    try {
      core_->resolve(channel);
    } catch (const HResultError&) {
      ok = false;
    }
    *valid = to_variant_bool(ok);
    return S_OK;
  });
}

HRESULT HostDocument::OpenEventReader(ChannelId channel, TickPosition from, TickPosition to, IEventReader** reader) {
  return host_guard([&] {
    if (!reader) return E_POINTER;
    *reader = nullptr;
    const std::int32_t index = computed_index(channel);
    if (core_->channels().kind(index) != expr::ValueKind::Events)
      throw_hresult(E_INVALIDARG, "channel '" + core_->channels().name(index) + "' yields no events");
    *reader = make_com<EventReader>(core_, index, from, to).detach();
    return S_OK;
  });
}

// ---- IChartData. Enumerators reach the same children through a separate object, which
// does not keep the document alive.

HRESULT HostDocument::GetChild(std::uint32_t typeId, IChartDataChildData** child) { return core_->chart()->GetChild(typeId, child); }
HRESULT HostDocument::AddChild(IChartDataChildData* child) { return core_->chart()->AddChild(child); }
HRESULT HostDocument::RemoveChild(std::uint32_t typeId) { return core_->chart()->RemoveChild(typeId); }

// ---- IComputedChannels

HRESULT HostDocument::FindChannel(const char16_t* name, ChannelId* channel) {
  return host_guard([&] {
    if (!channel) return E_POINTER;
    auto index = core_->channels().find(text_of(name));
    *channel = index ? core_->id_of(*index) : ChannelId::not_found();
    return index ? S_OK : S_FALSE;
  });
}

HRESULT HostDocument::CreateChannel(const char16_t* name, ChannelId* channel) {
  return host_guard([&] {
    if (!channel) return E_POINTER;
    *channel = core_->id_of(core_->channels().create(text_of(name)));
    return S_OK;
  });
}

HRESULT HostDocument::DeleteChannel(ChannelId channel) {
  return host_guard([&] {
    core_->remove(computed_index(channel));
    return S_OK;
  });
}

HRESULT HostDocument::GetChannelFlag(ChannelId channel, VARIANT_BOOL* set) {
  return host_guard([&] {
    if (!set) return E_POINTER;
    *set = to_variant_bool(core_->channels().flag(computed_index(channel)));
    return S_OK;
  });
}

HRESULT HostDocument::SetChannelFlag(ChannelId channel, VARIANT_BOOL set) {
  return host_guard([&] {
    core_->channels().set_flag(computed_index(channel), set != VARIANT_FALSE);
    return S_OK;
  });
}

HRESULT HostDocument::GetSourceName(ChannelId source, BSTR* name) {
  return host_guard([&] {
    const ChannelRef ref = core_->resolve(source);
    if (ref.computed) return put_text(core_->channels().name(ref.index), name);
    const bool raw = source.reference() == ChannelId::kRawReference;
    return put_text((raw ? "RCh" : "Ch") + std::to_string(ref.index + 1), name);
  });
}

HRESULT HostDocument::CreateArithmeticCalculation(IArithmeticCalculation** calculation) {
  return host_guard([&] {
    if (!calculation) return E_POINTER;
    *calculation = make_com<ArithmeticCalculation>(core_).detach();
    return S_OK;
  });
}

HRESULT HostDocument::SetCalculation(ChannelId channel, IUnknown* calculation) {
  return host_guard([&] {
    core_->attach(computed_index(channel), calculation);
    return S_OK;
  });
}

HRESULT HostDocument::ShowEventsOn(ChannelId eventChannel, std::int32_t targetIndex) {
  return host_guard([&] { return core_->show_events(computed_index(eventChannel), targetIndex, true) ? S_OK : S_FALSE; });
}

HRESULT HostDocument::HideEventsOn(ChannelId eventChannel, std::int32_t targetIndex) {
  return host_guard([&] { return core_->show_events(computed_index(eventChannel), targetIndex, false) ? S_OK : S_FALSE; });
}

HRESULT HostDocument::IsShowingEventsOn(ChannelId eventChannel, std::int32_t targetIndex, VARIANT_BOOL* shown) {
  return host_guard([&] {
    if (!shown) return E_POINTER;
    *shown = to_variant_bool(core_->showing_events(computed_index(eventChannel), targetIndex));
    return S_OK;
  });
}

// ---- IChannelCalculations

HRESULT HostDocument::GetCalculation(ChannelId channel, IUnknown** calculation) {
  return host_guard([&] {
    if (!calculation) return E_POINTER;
    *calculation = nullptr;
    ComPtr<IUnknown> c = core_->calculation(computed_index(channel));
    if (!c) return S_FALSE;
    return c.copy_to(calculation);
  });
}

}  // namespace korvel::app
