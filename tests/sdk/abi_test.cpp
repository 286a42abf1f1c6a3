// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <tuple>

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/guid.h"
#include "sdk/hrv/result_codes.h"

namespace {

TEST(Guid, ParsesAndFormatsTheBracedForm) {
  constexpr GUID g = make_guid("{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");
  EXPECT_EQ(std::tuple(g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[7]), std::tuple(0xEA881A0Cu, 0xB5E6, 0x42DD, 0x9B, 0x5B));
  EXPECT_EQ(to_string(g), "{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");
  EXPECT_EQ(parse_guid("{ea881a0c-b5e6-42dd-9b2e-4714888d1b5b}"), g);
}

TEST(Guid, RejectsMalformedText) {
  for (const char* text : {"EA881A0C-B5E6-42DD-9B2E-4714888D1B5B", "{EA881A0C-B5E6-42DD-9B2E-4714888D1B5}",
                           "{EA881A0C-B5E6-42DD-9B2E+4714888D1B5B}", "{EA881A0C-B5E6-42DD-9B2E-4714888D1BXB}"})
    EXPECT_FALSE(parse_guid(text)) << text;
}

TEST(Utf, RoundTripsNonAsciiText) {
  const std::string text = "Poincar\xC3\xA9 \xC2\xB5s \xF0\x9F\x92\x93";
  std::u16string wide = utf8_to_utf16(text);
  EXPECT_EQ(wide[7], u'\u00E9');
  EXPECT_EQ(utf16_to_utf8(wide), text);
  EXPECT_EQ(Bstr(text).utf8(), text);
  EXPECT_EQ(utf8_to_utf16("\xE2\x82"), std::u16string(1, u'\uFFFD'));  // truncated sequence
}

TEST(Guard, TurnsExceptionsIntoTheirResultCodes) {
  EXPECT_EQ(guard([] { return S_FALSE; }), S_FALSE);
  EXPECT_EQ(guard([]() -> HRESULT { throw_hresult(HRV_E_NEWER_VERSION); }), HRV_E_NEWER_VERSION);
  EXPECT_EQ(guard([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(guard([]() -> HRESULT { throw 42; }), E_FAIL);
  EXPECT_THROW(check_hresult(E_NOINTERFACE), HResultError);
  EXPECT_EQ(check_hresult(S_FALSE), S_FALSE);
}

}  // namespace
