#include "host/fader_law.h"

#include <cmath>
#include <limits>

namespace tolvar {

double Db2Slider(double db) {
    if (std::isnan(db)) return 0.0;
    if (db >= kFaderTopDb) return 1.0;
    return std::pow(10.0, (db - kFaderTopDb) / kFaderDbPerDecade);  // -inf gives 0
}

double Slider2Db(double position) {
    if (!(position > 0.0)) return -std::numeric_limits<double>::infinity();
    if (position >= 1.0) return kFaderTopDb;
    return kFaderTopDb + kFaderDbPerDecade * std::log10(position);
}

}  // namespace tolvar
