// The heap probe where this build has no way into the heap (e.g. Windows):
// everything reports that it cannot, so the tests that need it say "skipped".
#include "tools/validate/heap_probe.h"

namespace tolvar::validate {

HeapProbeAbilities HeapProbeCan() {
    return {false, false, "this platform's build has no allocation probe (allocations are neither counted nor refused)"};
}

AllocationCount::AllocationCount() : start(0) {}
AllocationCount::~AllocationCount() = default;
long AllocationCount::Count() const { return 0; }
HeapPause::HeapPause() {}
HeapPause::~HeapPause() {}

}  // namespace tolvar::validate
