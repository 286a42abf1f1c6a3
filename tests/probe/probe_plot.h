// SPDX-License-Identifier: MIT
// The probe document's plot: a series of numbers it hands the host's plot control, and
// the callbacks through which the control reports clicks and dragged lines into the
// document's journal.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sdk/cpp/com_ptr.h"
#include "sdk/host/plot_control.h"

namespace probe {

using Journal = std::shared_ptr<std::vector<std::string>>;

ComPtr<IPlotData> make_series(std::shared_ptr<const std::vector<double>> values, std::u16string id);
ComPtr<IPlotCallbacks> make_plot_callbacks(Journal journal);
// The markup as one script string literal: "'" becomes "\'", CR LF becomes "\n\" CR LF.
std::u16string escape_markup(std::u16string_view markup);

}  // namespace probe
