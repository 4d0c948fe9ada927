#pragma once
// The stand-in host's fader law, offered to plug-ins as DB2SLIDER and SLIDER2DB
// (C signature double (*)(double)).
//
// A fader position runs from 0 (silence) to 1 (+12 dB). Position is the fourth
// root of the amplitude relative to the top, so each factor of ten in position
// is 80 dB: position = 10^((dB - 12) / 80). 0 dB sits at about 0.708, -68 dB
// at 0.1. The two functions are exact inverses on [0, 1].

namespace tolvar {

constexpr double kFaderTopDb = 12.0;          // dB at position 1
constexpr double kFaderDbPerDecade = 80.0;    // dB per factor of ten in position

// dB to position in [0, 1]. Above +12 dB gives 1; -inf and NaN give 0.
double Db2Slider(double db);

// Position to dB. Positions above 1 count as 1; 0, negative and NaN give -inf.
double Slider2Db(double position);

}  // namespace tolvar
