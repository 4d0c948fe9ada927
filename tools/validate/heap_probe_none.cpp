// The heap probe where this build has no way into the heap (e.g. Windows):
// everything reports that it cannot, so the tests that need it say "skipped".
#include "tools/validate/heap_probe.h"

namespace tolvar::validate {

HeapProbeAbilities HeapProbeCan() {
    return {false, false, "this platform's build has no allocation probe (allocations are neither counted nor refused)"};
}

AllocationCount::AllocationCount() : start_(0) {}
AllocationCount::~AllocationCount() = default;
long AllocationCount::Count() const { return 0; }
HeapPause::HeapPause() {}
HeapPause::~HeapPause() {}
bool TargetLibraryAt(const void*) { return false; }
RefusedAllocations::RefusedAllocations(long, std::size_t) {}
RefusedAllocations::~RefusedAllocations() = default;
long RefusedAllocations::Seen() const { return 0; }
long RefusedAllocations::Refused() const { return 0; }
void StartTrackingLibraryBlocks() {}
void StopTrackingLibraryBlocks() {}
long TrackedLibraryBlocks() { return -1; }

}  // namespace tolvar::validate
