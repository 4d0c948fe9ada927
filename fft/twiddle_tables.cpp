#include "fft/twiddle_tables.h"

#include <cmath>

namespace tolvar {
namespace {

ComplexFloat table16[TwiddleTableEntries(16)];
ComplexFloat table32[TwiddleTableEntries(32)];
ComplexFloat table64[TwiddleTableEntries(64)];
ComplexFloat table128[TwiddleTableEntries(128)];
ComplexFloat table256[TwiddleTableEntries(256)];
ComplexFloat table512[TwiddleTableEntries(512)];
ComplexFloat table1024[TwiddleTableEntries(1024)];
ComplexFloat table2048[TwiddleTableEntries(2048)];
ComplexFloat table4096[TwiddleTableEntries(4096)];
ComplexFloat table8192[TwiddleTableEntries(8192)];
ComplexFloat table16384[TwiddleTableEntries(16384)];
ComplexFloat table32768[TwiddleTableEntries(32768)];

void FillTable(int n) {
    const int entries = TwiddleTableEntries(n);
    ComplexFloat* table = kTwiddleTables[TwiddleTableIndex(n)];
    const long double quarterPi = 0.78539816339744830961566084581987572L;
    for (int j = 1; j <= entries; ++j) {
        // j * (pi/4) / (M + 1) is 2*pi*j/N for the mirrored tables; the full
        // tables cover twice the angle with the same number of steps.
        long double angle = j * quarterPi / (entries + 1);
        if (n <= 512) angle *= 2;
        table[j - 1] = {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
    }
}

}  // namespace

ComplexFloat* const kTwiddleTables[kTwiddleTableCount] = {
    table16,   table32,   table64,   table128,   table256,   table512,
    table1024, table2048, table4096, table8192, table16384, table32768,
};

const ComplexFloat* TwiddleTable(int n) {
    const int index = TwiddleTableIndex(n);
    return index < 0 ? nullptr : kTwiddleTables[index];
}

void BuildTwiddleTables() {
    for (int n = 16; n <= 32768; n *= 2) FillTable(n);
}

}  // namespace tolvar
