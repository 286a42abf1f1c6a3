// SPDX-License-Identifier: MIT
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "hrv/core/settings.h"
#include "hrv/core/settings_properties.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/utf.h"

namespace {

class Bag final : public ComObject<IPropertyBag, IErrorLog> {
 public:
  std::map<std::u16string, VARIANT> values;
  std::vector<std::string> errors;

  ~Bag() override {
    for (auto& [name, v] : values) VariantClear(&v);
  }
  void set(const std::u16string& name, double x) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = x;
    Write(name.c_str(), &v);
  }
  HRESULT Read(const char16_t* name, VARIANT* value) override {
    auto it = values.find(name);
    if (it == values.end()) return S_FALSE;
    return VariantCopy(value, &it->second);
  }
  HRESULT Write(const char16_t* name, const VARIANT* value) override {
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, value);
    VariantClear(&values[name]);
    values[name] = copy;
    return S_OK;
  }
  HRESULT AddError(const char16_t* property, const char16_t* description) override {
    errors.push_back(utf16_to_utf8(property) + " " + utf16_to_utf8(description));
    return S_OK;
  }
};

TEST(SettingsProperties, SaveWritesEveryValueAndLoadTakesItBack) {
  auto original = make_com<HRV::Settings>();
  original->MinRR = 0.55, original->FrequencyCount = 256, original->ExcludeEctopic = false;
  auto bag = make_com<Bag>();
  ASSERT_EQ(original->Save(static_cast<IPropertyBag*>(bag.get()), VARIANT_FALSE), S_OK);
  EXPECT_EQ(bag->values.size(), HRV::settings_properties().size());
  EXPECT_EQ(bag->values[u"FrequencyCount"].vt, VT_I4);
  EXPECT_EQ(bag->values[u"ExcludeEctopic"].lVal, 0);
  auto copy = make_com<HRV::Settings>();
  ASSERT_EQ(copy->Load(static_cast<IPropertyBag*>(bag.get()), nullptr), S_OK);
  EXPECT_EQ(original->CompareForRecompute(copy.get()), 0u);
  EXPECT_EQ(copy->MinRR, 0.55);
  EXPECT_TRUE(copy->Dirty);
}

TEST(SettingsProperties, APresetBringsItsSpeciesValuesAndNamedValuesOverrideThem) {
  auto settings = make_com<HRV::Settings>();
  auto bag = make_com<Bag>();
  bag->set(u"Preset", 4);  // mouse
  bag->set(u"MinPeakHeightSD", 4);
  ASSERT_EQ(settings->Load(static_cast<IPropertyBag*>(bag.get()), bag.get()), S_OK);
  EXPECT_EQ(settings->Preset, 4);
  EXPECT_EQ(settings->LowPassHz, 150.0);  // the detector, classifier and spectrum presets all applied
  EXPECT_EQ(settings->MinRR, 0.09);
  EXPECT_EQ(settings->HFHighHz, 5.0);
  EXPECT_EQ(settings->MinPeakHeightSD, 4.0);
  auto custom = make_com<Bag>();  // Custom keeps what is there
  custom->set(u"Preset", 8);
  ASSERT_EQ(settings->Load(static_cast<IPropertyBag*>(custom.get()), custom.get()), S_OK);
  EXPECT_EQ(settings->LowPassHz, 150.0);
  EXPECT_EQ(settings->Preset, 8);
}

TEST(SettingsProperties, RefusesOutOfRangeValuesAndChangesNothing) {
  auto settings = make_com<HRV::Settings>();
  auto bag = make_com<Bag>();
  bag->set(u"LowPassHz", 5);        // the detector accepts 10 to 200 Hz
  bag->set(u"FrequencyCount", 12.5); // not a whole number
  bag->set(u"WindowSec", 2);        // fine on its own, but nothing is taken when anything is refused
  EXPECT_EQ(settings->Load(static_cast<IPropertyBag*>(bag.get()), bag.get()), E_INVALIDARG);
  EXPECT_EQ(settings->WindowSec, 5.0);
  EXPECT_EQ(settings->LowPassHz, 30.0);
  EXPECT_EQ(bag->errors, (std::vector<std::string>{"LowPassHz 5 is outside the range 10 to 200",
                                                    "FrequencyCount must be a whole number"}));
  // A text where a number belongs is refused too.
  auto other = make_com<Bag>();
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"fast");
  other->Write(u"Preset", &text);
  VariantClear(&text);
  EXPECT_EQ(settings->Load(static_cast<IPropertyBag*>(other.get()), other.get()), E_INVALIDARG);
  EXPECT_EQ(other->errors, std::vector<std::string>{"Preset is not a number"});
}

// Named values follow the settings dialog's rules: its ranges, pairs stored low-high, band
// edges within the maximum frequency in force afterwards.
TEST(SettingsProperties, FollowTheSettingsDialogsRules) {
  struct Case {
    std::vector<std::pair<std::u16string, double>> given;
    std::string refused;  // empty: accepted
  } cases[] = {
      {{{u"FrequencyCount", 5}}, "FrequencyCount 5 is outside the range 10 to 10000"},
      {{{u"FrequencyCount", 10}}, ""},
      {{{u"MaxFrequencyHz", 2}, {u"HFHighHz", 2.5}}, "HFHighHz 2.5 is outside the range 0 to 2"},
      {{{u"MaxFrequencyHz", 3}, {u"HFHighHz", 2.5}}, ""},
      {{{u"MaxFrequencyHz", 0.3}}, "HFHighHz 0.45 is outside the range 0 to 0.3"},  // the default edge, not given
      {{{u"MaxFrequencyHz", 10.5}}, "MaxFrequencyHz 10.5 is outside the range 0 to 10"},
      {{{u"BinWidthSec", 0.0001}, {u"PRRThresholdSec", 0.000001}, {u"SDARRPeriodSec", 3600}}, ""},
      {{{u"SDARRPeriodSec", 3601}}, "SDARRPeriodSec 3601 is outside the range 1 to 3600"},
      {{{u"PRRThresholdSec", 1.5}}, "PRRThresholdSec 1.5 is outside the range 1e-06 to 1"},
  };
  for (const Case& c : cases) {
    auto settings = make_com<HRV::Settings>();
    auto bag = make_com<Bag>();
    for (const auto& [name, x] : c.given) bag->set(name, x);
    const HRESULT hr = settings->Load(static_cast<IPropertyBag*>(bag.get()), bag.get());
    const std::string errors = bag->errors.empty() ? "" : bag->errors[0];
    SCOPED_TRACE(utf16_to_utf8(c.given[0].first));
    EXPECT_EQ(hr, c.refused.empty() ? S_OK : E_INVALIDARG) << errors;
    EXPECT_EQ(errors.substr(0, c.refused.size()), c.refused);
  }
  auto settings = make_com<HRV::Settings>();
  auto bag = make_com<Bag>();
  bag->set(u"MinRR", 1.2), bag->set(u"MaxRR", 0.8), bag->set(u"LFLowHz", 0.2);  // LF high stays 0.15
  ASSERT_EQ(settings->Load(static_cast<IPropertyBag*>(bag.get()), bag.get()), S_OK);
  EXPECT_EQ(std::pair(settings->MinRR, settings->MaxRR), std::pair(0.8, 1.2));
  EXPECT_EQ(std::pair(settings->LFLowHz, settings->LFHighHz), std::pair(0.15, 0.2));
}

}  // namespace
