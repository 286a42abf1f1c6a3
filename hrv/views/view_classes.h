// SPDX-License-Identifier: MIT
// The class objects of the seven views, in the order they are registered: report,
// tachogram, spectrum, RR histogram, delta-RR histogram, classifier, Poincaré. The host
// creates a view through its class when a document asks it to open that view type; the
// view finds the document's analysis and the host's plot, page, clipboard and display
// services through the host document.
#pragma once

#include <vector>

#include "sdk/cpp/com_ptr.h"
#include "sdk/unknown.h"

namespace HRV {

std::vector<ComPtr<IUnknown>> make_view_classes();

}  // namespace HRV
