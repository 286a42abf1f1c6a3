// SPDX-License-Identifier: MIT
#include "hrv/resources/dialog_templates.h"

#include <array>
#include <iterator>

namespace HRV {

namespace {

using C = DialogControlTemplate;
constexpr const char16_t* kHelpText = u"HRV HTML Help";  // string 3
constexpr const char16_t* kFont = u"MS Shell Dlg";

constexpr C label(std::int16_t x, std::int16_t y, std::int16_t w, const char16_t* text) {
  return {0, DialogLabel, x, y, w, 8, 0, 0, text, nullptr};
}
constexpr C edit(std::int32_t id, std::int16_t x, std::int16_t y, std::int16_t w, const char16_t* field) {
  return {id, DialogEdit, x, y, w, 12, 0, 0, u"", field};
}
constexpr C mark(std::int32_t id, std::int16_t x, std::int16_t y) { return {id, DialogIndicator, x, y, 10, 10, 0, 0, u"", nullptr}; }
constexpr C group(std::int16_t x, std::int16_t y, std::int16_t w, std::int16_t h, const char16_t* text) {
  return {0, DialogGroup, x, y, w, h, 0, 0, text, nullptr};
}
constexpr C button(std::int32_t id, std::int16_t x, std::int16_t y, std::int16_t w, std::int16_t h, const char16_t* text) {
  return {id, DialogButton, x, y, w, h, 0, 0, text, nullptr};
}

// "HRV Settings": data source, preset, analysis, classification box and spectrum.
constexpr C kSettings[] = {
    group(7, 7, 200, 50, u"Data source"),
    {100, DialogList, 14, 20, 186, 12, 0, 0, u"", nullptr},
    {101, DialogRadio, 14, 38, 90, 10, 0, 0, u"&Whole channel", nullptr},
    {102, DialogRadio, 110, 38, 90, 10, 0, 0, u"&Selection", nullptr},
    group(7, 62, 200, 36, u"Beat detection"),
    label(14, 78, 30, u"&Preset:"),
    {110, DialogList, 46, 76, 90, 12, 0, 0, u"", nullptr},
    button(111, 142, 75, 58, 14, u"Advanced..."),
    group(7, 103, 200, 100, u"Analysis"),
    label(14, 119, 80, u"Histogram bin width:"),
    edit(120, 100, 117, 48, u"BinWidthSec"),
    label(152, 119, 14, u"ms"),
    mark(124, 165, 118),
    {122, DialogCheck, 178, 118, 26, 10, 0, 0, u"Auto", nullptr},
    label(14, 137, 80, u"pRR threshold:"),
    edit(121, 100, 135, 48, u"PRRThresholdSec"),
    label(152, 137, 14, u"ms"),
    mark(125, 165, 136),
    label(14, 155, 80, u"SDARR averaging:"),
    edit(126, 100, 153, 48, u"SDARRPeriodSec"),
    label(152, 155, 14, u"s"),
    mark(127, 165, 154),
    {123, DialogCheck, 14, 178, 150, 10, 0, 0, u"Exclude ectopics from analysis", nullptr},
    group(215, 7, 200, 50, u"Beat classification"),
    label(222, 22, 52, u"RR Interval:"),
    edit(150, 276, 20, 40, u"MinRR"),
    mark(152, 318, 21),
    label(332, 22, 10, u"to"),
    edit(151, 344, 20, 40, u"MaxRR"),
    mark(153, 386, 21),
    label(398, 22, 14, u"ms"),
    label(222, 40, 52, u"Complexity:"),
    edit(154, 276, 38, 40, u"MinFF"),
    mark(156, 318, 39),
    label(332, 40, 10, u"to"),
    edit(155, 344, 38, 40, u"MaxFF"),
    mark(157, 386, 39),
    group(215, 62, 200, 141, u"Spectrum"),
    label(222, 78, 80, u"Maximum frequency:"),
    edit(130, 312, 76, 40, u"MaxFrequencyHz"),
    mark(131, 354, 77),
    label(366, 78, 14, u"Hz"),
    label(222, 96, 80, u"Number of frequencies:"),
    edit(132, 312, 94, 40, u"FrequencyCount"),
    mark(133, 354, 95),
    label(222, 122, 52, u"VLF:"),
    edit(134, 276, 120, 40, u"VLFLowHz"),
    mark(136, 318, 121),
    label(332, 122, 10, u"to"),
    edit(135, 344, 120, 40, u"VLFHighHz"),
    mark(137, 386, 121),
    label(398, 122, 14, u"Hz"),
    label(222, 140, 52, u"LF:"),
    edit(138, 276, 138, 40, u"LFLowHz"),
    mark(140, 318, 139),
    label(332, 140, 10, u"to"),
    edit(139, 344, 138, 40, u"LFHighHz"),
    mark(141, 386, 139),
    label(398, 140, 14, u"Hz"),
    label(222, 158, 52, u"HF:"),
    edit(142, 276, 156, 40, u"HFLowHz"),
    mark(144, 318, 157),
    label(332, 158, 10, u"to"),
    edit(143, 344, 156, 40, u"HFHighHz"),
    mark(145, 386, 157),
    label(398, 158, 14, u"Hz"),
    button(160, 7, 212, 80, 16, kHelpText),
    button(1, 300, 212, 54, 16, u"OK"),
    button(2, 361, 212, 54, 16, u"Cancel"),
};

// "HRV Detector Settings": the six detector parameters over a live preview.
constexpr C kDetector[] = {
    group(7, 7, 478, 120, u"Preview of detected cycles"),
    {511, DialogPreviewPane, 14, 18, 464, 102, 0, 0, u"", nullptr},
    group(7, 132, 230, 98, u"Auto levelling"),
    label(14, 148, 44, u"Window:"),
    edit(501, 60, 146, 40, u"WindowSec"),
    label(104, 148, 10, u"s"),
    mark(510, 116, 147),
    {503, DialogSlider, 14, 164, 216, 14, 1, 200, u"", nullptr},
    label(14, 180, 40, u"0.1 s"),
    label(206, 180, 24, u"20 s"),
    label(14, 200, 44, u"Noise:"),
    edit(502, 60, 198, 40, u"Noise"),
    {516, DialogLabel, 104, 200, 10, 8, 0, 0, u"V", nullptr},
    mark(512, 116, 199),
    group(245, 132, 240, 98, u"Detection adjustment"),
    label(252, 148, 80, u"Minimum peak height:"),
    edit(505, 340, 146, 40, u"MinPeakHeightSD"),
    {504, DialogUpDown, 380, 146, 10, 12, 0, 9, u"", nullptr},
    label(394, 148, 20, u"S.D."),
    mark(513, 416, 147),
    {507, DialogSlider, 252, 162, 226, 14, 1, 180, u"", nullptr},
    label(252, 176, 40, u"0.05 S.D."),
    label(450, 176, 28, u"9 S.D."),
    label(252, 190, 80, u"Typical QRS width:"),
    edit(506, 340, 188, 40, u"QRSWidthSec"),
    label(384, 190, 20, u"ms"),
    mark(514, 416, 189),
    label(252, 204, 80, u"Minimum period:"),
    edit(508, 340, 202, 40, u"MinPeriodSec"),
    label(384, 204, 20, u"ms"),
    mark(515, 416, 203),
    label(252, 218, 80, u"Low pass filter:"),
    edit(517, 340, 216, 40, u"LowPassHz"),
    label(384, 218, 20, u"Hz"),
    mark(518, 416, 217),
    button(509, 7, 236, 80, 14, kHelpText),
    button(1, 370, 236, 54, 14, u"OK"),
    button(2, 431, 236, 54, 14, u"Cancel"),
};

// "HRV Calculations": which beat value an HRV Calculation channel shows.
constexpr C kCalculations[] = {
    group(7, 7, 240, 42, u"Output"),
    label(14, 24, 58, u"&HRV Parameter:"),
    {170, DialogList, 76, 22, 84, 12, 0, 0, u"", nullptr},
    {171, DialogCheck, 166, 23, 76, 10, 0, 0, u"Set Guide Lines", nullptr},
    button(160, 7, 56, 80, 14, kHelpText),
    button(1, 134, 56, 54, 14, u"OK"),
    button(2, 193, 56, 54, 14, u"Cancel"),
};

// The message every settings dialog shows when OK finds an invalid value.
constexpr C kSettingsWarning[] = {
    label(10, 10, 220, u"One or more settings are invalid and need correcting."),
    label(10, 26, 150, u"The invalid settings are marked with a"),
    {0, DialogWarningIcon, 162, 25, 10, 10, 0, 0, u"", nullptr},
    label(10, 42, 220, u"Correct these settings before continuing."),
    button(1, 93, 56, 54, 14, u"OK"),
};

template <std::size_t N>
constexpr DialogTemplate make(std::int32_t id, std::int16_t w, std::int16_t h, const char16_t* title, const C (&controls)[N]) {
  return {id, w, h, title, kFont, 8, static_cast<std::int32_t>(N), controls};
}

constexpr std::array kTemplates{
    make(kSettingsDialogId, 422, 236, u"HRV Settings", kSettings),
    make(kDetectorDialogId, 492, 254, u"HRV Detector Settings", kDetector),
    make(kCalculationsDialogId, 254, 76, u"HRV Calculations", kCalculations),
    make(kSettingsWarningDialogId, 240, 76, u"HRV", kSettingsWarning),
};

}  // namespace

const DialogTemplate* FindDialogTemplate(std::int32_t id) noexcept {
  for (const DialogTemplate& t : kTemplates)
    if (t.id == id) return &t;
  return nullptr;
}

}  // namespace HRV
