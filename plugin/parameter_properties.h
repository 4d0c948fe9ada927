#pragma once
// How effGetParameterProperties describes the fifteen parameters, so that
// hosts draw stepped lists and on/off switches instead of plain 0..1 sliders.
#include "abi/vst2.h"

namespace tolvar {

// Fills `properties` for parameter `index` and returns true; false (nothing
// written) for an index outside 0..14 or a null pointer.
//
// A switch is kVstParameterIsSwitch. A list of n choices is
// kVstParameterUsesFloatStep with every step 1/(n-1) of the normalised range
// (rounded so that 1/step never exceeds n-1 in float), so that a host counts n
// positions and each lands on its choice. Integer min/max are never declared:
// several hosts pass values within minInteger..maxInteger to setParameter as
// they are, while the plug-in stores the normalised 0..1 value.
// `label` is the parameter's full name, `shortLabel` a form of at most 7
// characters.
bool DescribeParameter(int index, VstParameterProperties* properties);

}  // namespace tolvar
