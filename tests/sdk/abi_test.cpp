// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/guid.h"
#include "sdk/stream.h"
#include "sdk/variant.h"
#include "sdk/hrv/result_codes.h"

namespace {

TEST(Guid, ParsesAndFormatsTheBracedForm) {
  constexpr GUID g = make_guid("{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");
  EXPECT_EQ(g.Data1, 0xEA881A0Cu);
  EXPECT_EQ(g.Data2, 0xB5E6u);
  EXPECT_EQ(g.Data3, 0x42DDu);
  EXPECT_EQ(g.Data4[0], 0x9B);
  EXPECT_EQ(g.Data4[7], 0x5B);
  EXPECT_EQ(to_string(g), "{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");
  EXPECT_EQ(parse_guid("{ea881a0c-b5e6-42dd-9b2e-4714888d1b5b}"), g);
}

TEST(Guid, RejectsMalformedText) {
  EXPECT_FALSE(parse_guid("EA881A0C-B5E6-42DD-9B2E-4714888D1B5B"));
  EXPECT_FALSE(parse_guid("{EA881A0C-B5E6-42DD-9B2E-4714888D1B5}"));
  EXPECT_FALSE(parse_guid("{EA881A0C-B5E6-42DD-9B2E+4714888D1B5B}"));
  EXPECT_FALSE(parse_guid("{EA881A0C-B5E6-42DD-9B2E-4714888D1BXB}"));
}

TEST(Bstr, CarriesLengthAndTerminatorAndSurvivesEmbeddedZeros) {
  const char16_t text[] = {u'a', 0, u'b'};
  BSTR s = SysAllocStringLen(text, 3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(s[2], u'b');
  EXPECT_EQ(s[3], 0);
  SysFreeString(s);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(Utf, RoundTripsNonAsciiText) {
  const std::string text = "Poincar\xC3\xA9 \xC2\xB5s \xF0\x9F\x92\x93";
  std::u16string wide = utf8_to_utf16(text);
  EXPECT_EQ(wide[7], u'\u00E9');
  EXPECT_EQ(utf16_to_utf8(wide), text);
  EXPECT_EQ(Bstr(text).utf8(), text);
  EXPECT_EQ(utf8_to_utf16("\xE2\x82"), std::u16string(1, u'\uFFFD'));  // truncated sequence
}

TEST(Variant, CopyIsDeepAndClearFreesStrings) {
  VARIANT a, b;
  VariantInit(&a);
  VariantInit(&b);
  a.vt = VT_BSTR;
  a.bstrVal = SysAllocString(u"HRV");
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_NE(a.bstrVal, b.bstrVal);
  EXPECT_EQ(std::u16string_view(b.bstrVal), u"HRV");
  VariantClear(&a);
  EXPECT_EQ(a.vt, VT_EMPTY);
  EXPECT_EQ(std::u16string_view(b.bstrVal), u"HRV");
  VariantClear(&b);
}

// A small object with two interface chains, to check identity, symmetry and counting.
struct ITestA : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{11111111-0000-0000-0000-000000000001}");
  virtual int a() = 0;

 protected:
  ~ITestA() = default;
};
struct ITestB : IPersist {
  using base_interface = IPersist;
  static constexpr GUID iid = make_guid("{11111111-0000-0000-0000-000000000002}");

 protected:
  ~ITestB() = default;
};

int g_destroyed = 0;
class TestObject final : public ComObject<ITestA, ITestB> {
 public:
  ~TestObject() override { ++g_destroyed; }
  int a() override { return 7; }
  HRESULT GetClassID(GUID* id) override {
    if (!id) return E_POINTER;
    *id = ITestA::iid;
    return S_OK;
  }
};

TEST(ComObject, AnswersEveryInterfaceInEachChainWithOneIdentity) {
  auto obj = make_com<TestObject>();
  auto a = obj.query<ITestA>();
  auto b = obj.query<ITestB>();
  auto persist = obj.query<IPersist>();
  ASSERT_TRUE(a && b && persist);
  EXPECT_EQ(static_cast<IPersist*>(b.get()), persist.get());
  // Identity: IUnknown from any interface is the same pointer.
  EXPECT_EQ(a.query<IUnknown>().get(), persist.query<IUnknown>().get());
  // Symmetry: from B back to A.
  EXPECT_EQ(b.query<ITestA>().get(), a.get());
  EXPECT_FALSE(obj.query<IPersistStreamInit>());
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(obj->QueryInterface(IPersistStreamInit::iid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(obj->QueryInterface(ITestA::iid, nullptr), E_POINTER);
}

TEST(ComObject, DestroysOnLastReleaseOnly) {
  g_destroyed = 0;
  {
    auto obj = make_com<TestObject>();
    ComPtr<ITestB> b = obj.query<ITestB>();
    obj.reset();
    EXPECT_EQ(g_destroyed, 0);
    EXPECT_EQ(b->AddRef(), 2u);
    EXPECT_EQ(b->Release(), 1u);
  }
  EXPECT_EQ(g_destroyed, 1);
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
