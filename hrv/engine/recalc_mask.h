// SPDX-License-Identifier: MIT
// Which results AnalysisResults::Recalculate recomputes. The low 24 bits of a document's
// change mask are a RecalcMask; any higher bit means the beats must be read again.
#pragma once

#include <cstdint>

namespace HRV {

enum RecalcMask : std::uint32_t {
  RecalcSpectrum = 0x00000001,    // periodogram and total power
  RecalcBands = 0x00000002,       // VLF, LF and HF power
  RecalcGroups = 0x00000100,      // SDARR group sums
  RecalcMoments = 0x00010000,     // sums, sums of squares, corrected sums
  RecalcHistograms = 0x00020000,  // RR and delta-RR histograms
  RecalcThreshold = 0x00040000,   // over-threshold count and median RR
  RecalcCollect = 0xFF000000,     // any of these: reset and read every beat from the host first

  RecalcAnySpectrum = 0x000000FF,  // any bit runs the spectrum step
  RecalcAnyGroups = 0x0000FF00,    // any bit recounts the SDARR groups
  RecalcAnyCount = 0x00FF0000,     // any bit takes the beat count from the RR series
  RecalcAnyResult = 0x00FFFFFF,    // a mask without any of these does nothing
};

}  // namespace HRV
