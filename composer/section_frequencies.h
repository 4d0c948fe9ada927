#pragma once
// The frequencies of the equaliser's sections by frequency choice, and the
// range of their gains: what the section files of the IR library are named
// after, and so what the generator must write.
namespace tolvar {

constexpr int kLowShelfHz[] = {33, 56, 100, 180, 330};
constexpr int kBandHz[] = {270, 390, 560, 820, 1200, 1800, 2700, 3900, 5600, 8200};  // bands 1 and 2
constexpr int kHighShelfHz[] = {3300, 4700, 6800, 10000, 15000};

// Gain choices 0..24 are -12..+12 dB in steps of 1; choice 25 leaves the section out.
constexpr int kLowestGainDb = -12;
constexpr int kHighestGainDb = 12;

}  // namespace tolvar
