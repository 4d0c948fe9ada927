#pragma once
// What the validator can see of the heap: allocations counted on one thread,
// allocations of one library refused on purpose, and that library's blocks
// still alive. Three implementations sit behind this header, chosen at build
// time: replacing malloc in the executable (glibc), the sanitizers' allocation
// hooks (counting only), and none (other platforms). Ask HeapProbeAbilities()
// before relying on any of it; an inability is reported, never passed over.
//
// Threads: counting acts on the calling thread only; refusing acts on every
// thread (a plug-in may compose on a thread of its own) and tracking of live
// blocks is process-wide. Everything here is safe to call from any thread.
#include <cstddef>
#include <string>

namespace tolvar::validate {

struct HeapProbeAbilities {
    bool counts = false;   // AllocationCount works
    bool refuses = false;  // RefusedAllocations and library tracking work
    std::string whyNot;    // what is missing and why, when either is false
};

HeapProbeAbilities HeapProbeCan();

// Counts heap allocations (malloc, calloc, realloc, the aligned forms and so
// operator new) made on this thread while it lives, except inside a HeapPause.
class AllocationCount {
public:
    AllocationCount();
    ~AllocationCount();
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;
    long Count() const;  // allocations so far

private:
    long start;
};

// Neither counts nor refuses allocations on this thread while it lives: for the
// host's own work inside a call from the plug-in.
class HeapPause {
public:
    HeapPause();
    ~HeapPause();
    HeapPause(const HeapPause&) = delete;
    HeapPause& operator=(const HeapPause&) = delete;
};

// The library whose allocations are refused and tracked: the one mapped at
// `addressInLibrary` (any symbol of it). False when it cannot be found.
bool TargetLibraryAt(const void* addressInLibrary);

// Refuses, on every thread, allocations that code of the target library asks
// for itself while it lives (one at a time): the refuseNumber-th one (1-based; 0 refuses none
// by number), and every one of at least refuseFromBytes bytes (0: none by size).
// A refused malloc, calloc or realloc returns null and leaves any old block alone.
class RefusedAllocations {
public:
    RefusedAllocations(long refuseNumber, std::size_t refuseFromBytes);
    ~RefusedAllocations();
    RefusedAllocations(const RefusedAllocations&) = delete;
    RefusedAllocations& operator=(const RefusedAllocations&) = delete;
    long Seen() const;     // the target library's allocations seen, refused ones included
    long Refused() const;  // how many were refused
};

// Process-wide: from StartTrackingLibraryBlocks on, every block the target
// library allocates is remembered until it is freed (by anyone).
void StartTrackingLibraryBlocks();
void StopTrackingLibraryBlocks();
long TrackedLibraryBlocks();  // remembered blocks not yet freed; -1 when the record overflowed

}  // namespace tolvar::validate
