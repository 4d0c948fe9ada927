#pragma once
// The responses of one composition, gathered section by section and convolved
// into one when the last has arrived, so that the cheapest way to convolve
// them can be chosen knowing all their lengths.
#include "buffers/heap_buffer.h"
#include "composer/compose_workspace.h"

namespace tolvar {

// The most frames the files of one composition may hold together: at the
// composition rate (what reading and merging cost) and converted to the host
// rate (what the response and its installation cost). Enough for the library's
// longest sections several times over; it keeps a tampered folder from holding
// a composition for longer than about 100 ms or more than about 100 MB.
constexpr long long kBudgetAtCompositionRate = 1 << 19;
constexpr long long kBudgetAtHostRate = 1 << 20;

class ImpulseAccumulator {
public:
    static constexpr int kCapacity = 7;  // one file per section

    // From here on the responses added are held to the budget for a host at
    // hostRate (Hz); until then they are not limited.
    void LimitForHostRate(double hostRate) { budgetHostRate = hostRate; }
    // Frames at compositionRate that the budget still has room for.
    long long Room(double compositionRate) const;

    // Takes the storage of `samples`, whose first `count` doubles are the
    // response, and its scale; `samples` is left empty. False, taking
    // nothing, when count < 1, the buffer holds fewer doubles, or every slot
    // is in use.
    bool Add(HeapBuffer& samples, int count, double scale);

    int Count() const { return used; }

    // The merge rule's result: the full linear convolution of every response
    // added, times the product of their scales; the sum of their lengths minus
    // one per response after the first, or empty when none was added. A
    // response of one tap only scales the result; of the others, short ones
    // are merged by direct sums (MergeImpulse) and long ones by ConvolveByFft,
    // whichever split costs least. Either way the result equals the direct
    // sums within about 1e-15 of its peak. The responses are consumed. Returns
    // false when a buffer cannot be sized; `result` is then unspecified.
    bool Merge(HeapBuffer& result, ComposeWorkspace& workspace);

private:
    struct Entry {
        HeapBuffer samples{64};
        int count = 0;
        double scale = 1.0;
    };

    int ChooseDirectLimit() const;
    bool MergeLonger(HeapBuffer& result, ComposeWorkspace& workspace);
    bool MergeLongByFft(int directLimit, HeapBuffer& result, ComposeWorkspace& workspace);

    Entry entries[kCapacity];
    int used = 0;
    long long frames = 0;         // counts of the responses added
    double budgetHostRate = 0.0;  // Hz; 0: no budget
};

}  // namespace tolvar
