// SPDX-License-Identifier: MIT
// Puts the slower signals of a multi-rate file onto the record's ticks, which run at the
// fastest signal's rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "korvel/io/recording.h"

namespace korvel::io {

// Linear interpolation of a signal with `slow` samples per `fast` ticks (1 <= slow <= fast) onto
// `tick_count` ticks: source sample k lies at tick k * fast / slow, so tick 0 is sample 0.
// A tick on a sample takes its value exactly; a tick between a sample and a NaN is NaN;
// ticks after the last sample repeat it (there is nothing to interpolate towards).
std::vector<float> interpolate_onto_ticks(std::span<const float> samples, std::uint64_t slow, std::uint64_t fast,
                                          std::size_t tick_count);

// Refuses a record whose channels on the common ticks would hold more than 16 values per
// sample stored in the file. Upsampling is honest work, but a small file whose header
// claims an extreme rate ratio must not make the importer allocate without bound.
void check_interpolated_size(const std::filesystem::path& file, std::uint64_t tick_count, std::uint64_t channel_count,
                             std::uint64_t stored_samples);

}  // namespace korvel::io
