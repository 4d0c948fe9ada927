// The parts of the heap probe that a build without its own allocator cannot
// have: no allocation is refused and no block is tracked, so the tests that
// need them say "skipped".
#include "tools/validate/heap_probe.h"

namespace tolvar::validate {

bool TargetLibraryAt(const void*) { return false; }
RefusedAllocations::RefusedAllocations(long, std::size_t) {}
RefusedAllocations::~RefusedAllocations() = default;
long RefusedAllocations::Seen() const { return 0; }
long RefusedAllocations::Refused() const { return 0; }
void StartTrackingLibraryBlocks() {}
void StopTrackingLibraryBlocks() {}
long TrackedLibraryBlocks() { return -1; }

}  // namespace tolvar::validate
