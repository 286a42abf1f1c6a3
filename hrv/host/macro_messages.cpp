// SPDX-License-Identifier: MIT
#include "hrv/host/macro_messages.h"

#include <string_view>

#include "hrv/core/document.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

struct MacroCommand {
  MacroNumber number;
  std::u16string_view name;
  std::u16string_view description;
  void (Document::*operation)();
};

constexpr MacroCommand kMacros[] = {
    {MacroAnalyze, u"HRV_Analyze", u"Performs the analysis currently set up in the HRV module", &Document::Analyze},
    {MacroClearAnalysis, u"HRV_ClearAnalysis", u"Clears the last analysis performed by HRV",
     &Document::ClearAnalysisCommand},
    {MacroReselectAnalyzedRegion, u"HRV_ReselectAnalyzedRegion",
     u"Reselects the data that was used in the last HRV analysis", &Document::ReselectAnalyzedData},
    {MacroToggleOnlineMode, u"HRV_ToggleOnlineMode", u"Enables/disables HRV from analyzing while sampling",
     &Document::ToggleOnlineMode},
    {MacroToggleEventMarkers, u"HRV_ToggleEventMarkers", u"Enables/disables the event markers appearing on HRV events",
     &Document::ToggleBeatMarkers},
};

std::uint32_t message_type(MacroNumber number) {
  return make_type_id(HostContext::instance().module_id(GUID_HRVDocumentObj), number);
}

class MacroMessageClass final : public ComObject<IMessageClass> {
 public:
  explicit MacroMessageClass(const MacroCommand& command) : command_(command) {}

  HRESULT GetPrefix(BSTR* prefix) override { return guard([&] { return copy_text(u"HRV", prefix); }); }
  HRESULT GetName(BSTR* name) override { return guard([&] { return copy_text(command_.name, name); }); }
  HRESULT GetDescription(BSTR* description) override { return guard([&] { return copy_text(command_.description, description); }); }
  HRESULT GetMessageType(std::uint32_t* type) override {
    if (!type) return E_POINTER;
    return guard([&] {
      *type = message_type(command_.number);
      return S_OK;
    });
  }

  // A macro command carries no data: at most one positional argument, which becomes the
  // message's text value; named arguments are refused.
  HRESULT ParseArguments(std::uint32_t named, const BSTR* positional, std::uint32_t count, BSTR* text) override {
    if (named > 0 || count > 1) return DISP_E_BADPARAMCOUNT;
    if (count == 0) {
      if (text) *text = nullptr;
      return S_OK;
    }
    if (!positional || !text) return E_POINTER;
    return copy_text({positional[0], SysStringLen(positional[0])}, text);
  }

 private:
  const MacroCommand& command_;
};

}  // namespace

const std::vector<ComPtr<IMessageClass>>& macro_message_classes() {
  static const std::vector<ComPtr<IMessageClass>> classes = [] {
    std::vector<ComPtr<IMessageClass>> list;
    for (const MacroCommand& command : kMacros) list.push_back(make_com<MacroMessageClass>(command));
    return list;
  }();
  return classes;
}

bool run_macro_message(Document& document, std::uint32_t type) {
  for (const MacroCommand& command : kMacros)
    if (type == message_type(command.number)) {
      (document.*command.operation)();
      return true;
    }
  return false;
}

}  // namespace HRV
