// How closely a host's render matches a reference render of the same input.
#pragma once

#include <cstddef>
#include <optional>

#include "tests/hosts/whole_sound_file.h"

namespace tolvar::hosts {

// Frame n of the reference is set against frame n + shift of the host's
// render, for n in [from, to).
struct Alignment {
    long shift = 0;
    std::size_t from = 0;
    std::size_t to = 0;
};

struct Residual {
    double rmsDb;   // residual energy against the reference's energy over the range
    double peakDb;  // largest residual sample against the reference's largest sample
};

// Throws std::runtime_error when the files differ in channels or rate, or when
// the host's render does not cover the aligned range.
Residual MeasureResidual(const WholeSoundFile& host, const WholeSoundFile& reference, const Alignment& alignment);

// The first reference frame in [from, to) at which the two differ by more than
// the threshold (dB against the reference's peak over the range); none if they
// never do.
std::optional<std::size_t> FirstDeparture(const WholeSoundFile& host, const WholeSoundFile& reference,
                                          const Alignment& alignment, double thresholdDb);

}  // namespace tolvar::hosts
