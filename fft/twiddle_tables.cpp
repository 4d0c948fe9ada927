#include "fft/twiddle_tables.h"

#include <cmath>

namespace tolvar {
namespace {

constexpr int kTableCount = 12;  // N = 16, 32, ..., 32768

constexpr int EntriesFor(int n) { return n <= 512 ? n / 4 - 1 : n / 8 - 1; }

ComplexFloat table16[EntriesFor(16)];
ComplexFloat table32[EntriesFor(32)];
ComplexFloat table64[EntriesFor(64)];
ComplexFloat table128[EntriesFor(128)];
ComplexFloat table256[EntriesFor(256)];
ComplexFloat table512[EntriesFor(512)];
ComplexFloat table1024[EntriesFor(1024)];
ComplexFloat table2048[EntriesFor(2048)];
ComplexFloat table4096[EntriesFor(4096)];
ComplexFloat table8192[EntriesFor(8192)];
ComplexFloat table16384[EntriesFor(16384)];
ComplexFloat table32768[EntriesFor(32768)];

ComplexFloat* const tables[kTableCount] = {
    table16,   table32,   table64,   table128,   table256,   table512,
    table1024, table2048, table4096, table8192, table16384, table32768,
};

FftConstants constants;

int TableIndex(int n) {
    int index = 0;
    for (int size = 16; size <= 32768; size *= 2, ++index) {
        if (size == n) return index;
    }
    return -1;
}

void FillTable(int n) {
    const int entries = EntriesFor(n);
    ComplexFloat* table = tables[TableIndex(n)];
    const long double quarterPi = 0.78539816339744830961566084581987572L;
    for (int j = 1; j <= entries; ++j) {
        long double angle = j * quarterPi / (entries + 1);
        if (n <= 512) angle *= 2;
        table[j - 1] = {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
    }
}

}  // namespace

const ComplexFloat* TwiddleTable(int n) {
    const int index = TableIndex(n);
    return index < 0 ? nullptr : tables[index];
}

int TwiddleTableSize(int n) { return TableIndex(n) < 0 ? 0 : EntriesFor(n); }

const FftConstants& SmallKernelConstants() { return constants; }

void BuildTwiddleTables() {
    for (int n = 16; n <= 32768; n *= 2) FillTable(n);
    constants = {table16[0].re, table16[0].im, table16[1].re};
}

}  // namespace tolvar
