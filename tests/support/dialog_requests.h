// SPDX-License-Identifier: MIT
// What a dialog asked of its window since the last look, as a test reads it.
#pragma once

#include <string>
#include <vector>

#include "hrv/dialogs/dialog_controller.h"
#include "sdk/cpp/utf.h"

namespace dialog_test {

struct Request {
  std::int32_t kind;
  std::int32_t result;
  ComPtr<HRV::DialogController> dialog;
  std::string help;  // "file/topic"
};

inline std::vector<Request> requests(HRV::DialogController& d) {
  std::vector<Request> out;
  DialogRequest r;
  while (d.NextRequest(&r) == S_OK) {
    Request x{r.kind, r.result, ComPtr<HRV::DialogController>::adopt(static_cast<HRV::DialogController*>(
                                    static_cast<IExtensionDialog*>(r.dialog))),
              {}};
    if (r.file) x.help = utf16_to_utf8(r.file) + "/" + utf16_to_utf8(r.text);
    SysFreeString(r.file), SysFreeString(r.text);
    out.push_back(std::move(x));
  }
  return out;
}

// The texts of a dialog's template, in order (what the window shows as static text).
inline std::vector<std::string> template_texts(HRV::DialogController& d) {
  const DialogTemplate* t = nullptr;
  d.GetTemplate(&t);
  std::vector<std::string> texts;
  for (std::int32_t i = 0; i < t->controlCount; ++i)
    if (t->controls[i].text[0]) texts.push_back(utf16_to_utf8(t->controls[i].text));
  return texts;
}

inline std::string text(const HRV::DialogController& d, std::int32_t id) { return utf16_to_utf8(d.control(id).text); }

}  // namespace dialog_test
