// The heap probe under AddressSanitizer or ThreadSanitizer: their runtime owns
// the heap, so malloc cannot be replaced; their allocation hook still sees every
// allocation, on the allocating thread, which is enough to count.
#include "tools/validate/heap_probe.h"

// The sanitizer runtimes export this; GCC ships no header that declares it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                         void (*onFree)(const volatile void*));

namespace tolvar::validate {
namespace {

thread_local long tAllocations = 0;
thread_local int tPaused = 0;

void OnMalloc(const volatile void*, std::size_t) {
    if (!tPaused) ++tAllocations;
}
void OnFree(const volatile void*) {}

const bool installed = __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree) != 0;

}  // namespace

HeapProbeAbilities HeapProbeCan() {
    return {installed, false,
            installed ? "the sanitizer runtime owns the heap: allocations cannot be refused or tracked here"
                      : "the sanitizer runtime refused the allocation hooks"};
}

AllocationCount::AllocationCount() : start(tAllocations) {}
AllocationCount::~AllocationCount() = default;
long AllocationCount::Count() const { return tAllocations - start; }

HeapPause::HeapPause() { ++tPaused; }
HeapPause::~HeapPause() { --tPaused; }

}  // namespace tolvar::validate
