#include "fft/real_tables.h"

#include <cmath>

namespace tolvar {
namespace {

ComplexFloat realTwiddles[kRealPairTableSize];
int realPartners[kRealPairTableSize];

// The position holding bin -f (mod m) in m's scrambled order, f being the bin
// at position r: even bins pair within the first half, bins 4i+1 of the third
// quarter with bins -(4i+1) = 4(-i)-1 of the last quarter.
int NegatedPosition(int r, int m) {
    if (m <= 2) return r;
    if (r < m / 2) return NegatedPosition(r, m / 2);
    if (r < 3 * m / 4) return 3 * m / 4 + NegatedPosition(r - m / 2, m / 4);
    return m / 2 + NegatedPosition(r - 3 * m / 4, m / 4);
}

}  // namespace

const ComplexFloat* const kRealTwiddles = realTwiddles;
const int* const kRealPartners = realPartners;

void BuildRealTables() {
    const long double pi = 3.14159265358979323846264338327950288L;
    for (int quarter = 1; quarter < kRealPairTableSize; quarter *= 2) {  // quarter = L/4
        const int level = 4 * quarter;
        for (int r = 0; r < quarter; ++r) {
            const int i = quarter + r;
            realPartners[i] = 3 * quarter + NegatedPosition(r, quarter);
            const long double angle = 2 * pi * (4 * FftFrequencyAt(r, quarter) + 1) / (2 * level);
            realTwiddles[i] = {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
        }
    }
    realTwiddles[0] = {1.0f, 0.0f};
    realPartners[0] = 0;
}

}  // namespace tolvar
