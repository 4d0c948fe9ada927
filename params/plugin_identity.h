#pragma once
// Who the plug-in is to a host: the identity in its record and the names the
// dispatcher hands out. The command line and the validator know Tolvar by
// these too.
#include <cstdint>

#include "abi/vst2.h"

namespace tolvar {

constexpr int32_t kUniqueId = FourCharCode("tlvr");
constexpr char kEffectName[] = "Tolvar";  // also the product string
constexpr char kVendorName[] = "Halvek";

// The version in the record: major, minor and patch as its thousands, hundreds
// and tens (1100 is 1.1.0).
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 1;
constexpr int kVersionPatch = 0;
constexpr int32_t kVersion = 1000 * kVersionMajor + 100 * kVersionMinor + 10 * kVersionPatch;

}  // namespace tolvar
