// The heap probe for glibc: the executable replaces malloc and its kin (the C
// library's documented way to do so) and forwards to glibc's own allocator, so
// every allocation of the process, including those of a plug-in loaded later,
// passes here first.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "tools/validate/heap_probe.h"

extern "C" {
void* __libc_malloc(std::size_t bytes);
void* __libc_calloc(std::size_t count, std::size_t bytes);
void* __libc_realloc(void* block, std::size_t bytes);
void* __libc_memalign(std::size_t alignment, std::size_t bytes);
void __libc_free(void* block);
}

namespace tolvar::validate {
namespace {

// Plain thread-locals of the initial-exec model: reading them never allocates.
#define TOLVAR_PROBE_TLS __thread __attribute__((tls_model("initial-exec")))
TOLVAR_PROBE_TLS long tAllocations;   // allocations made on this thread
TOLVAR_PROBE_TLS int tPaused;         // HeapPause depth

// Refusals act on every thread: a plug-in may do its work on threads of its own.
std::atomic<bool> gRefusing{false};  // a RefusedAllocations lives
std::atomic<long> gRefuseNumber{0};
std::atomic<std::size_t> gRefuseFromBytes{0};
std::atomic<long> gSeen{0};
std::atomic<long> gRefused{0};

std::atomic<uintptr_t> gTargetBegin{0};  // executable code of the target library
std::atomic<uintptr_t> gTargetEnd{0};

// Live blocks of the target library: open addressing, never resized, so that
// it works inside malloc. 0 is an empty slot, 1 a freed one.
constexpr std::size_t kTrackSlots = std::size_t{1} << 17;
std::atomic<uintptr_t> gTracked[kTrackSlots];
std::atomic<bool> gTracking{false};
std::atomic<long> gTrackedLive{0};
std::atomic<bool> gTrackOverflow{false};

bool FromTarget(const void* returnAddress) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(returnAddress);
    return at >= gTargetBegin.load(std::memory_order_relaxed) && at < gTargetEnd.load(std::memory_order_relaxed);
}

std::size_t SlotOf(uintptr_t block) { return (block >> 4) * 0x9E3779B97F4A7C15ull >> (64 - 17); }

void Track(void* block) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(block);
    for (std::size_t i = 0, slot = SlotOf(value); i < kTrackSlots; ++i, slot = (slot + 1) % kTrackSlots) {
        uintptr_t seen = gTracked[slot].load(std::memory_order_relaxed);
        while (seen <= 1) {
            if (gTracked[slot].compare_exchange_weak(seen, value)) {
                gTrackedLive.fetch_add(1);
                return;
            }
        }
    }
    gTrackOverflow = true;
}

void Untrack(void* block) {
    if (!block || !gTracking.load(std::memory_order_relaxed)) return;
    const uintptr_t value = reinterpret_cast<uintptr_t>(block);
    for (std::size_t i = 0, slot = SlotOf(value); i < kTrackSlots; ++i, slot = (slot + 1) % kTrackSlots) {
        uintptr_t seen = gTracked[slot].load(std::memory_order_relaxed);
        if (seen == 0) return;
        if (seen == value && gTracked[slot].compare_exchange_strong(seen, 1)) {
            gTrackedLive.fetch_sub(1);
            return;
        }
    }
}

// Called before each allocation: counts it and says whether to refuse it.
bool Refuse(std::size_t bytes, const void* returnAddress) {
    if (tPaused) return false;
    ++tAllocations;
    if (!gRefusing.load(std::memory_order_acquire) || !FromTarget(returnAddress)) return false;
    const long seen = gSeen.fetch_add(1) + 1;
    const std::size_t fromBytes = gRefuseFromBytes.load(std::memory_order_relaxed);
    const bool refuse = seen == gRefuseNumber.load(std::memory_order_relaxed) || (fromBytes > 0 && bytes >= fromBytes);
    if (refuse) gRefused.fetch_add(1);
    return refuse;
}

// What a refused allocation returns, as the C library reports exhaustion.
void* RefusedBlock() {
    errno = ENOMEM;
    return nullptr;
}

void NoteNew(void* block, const void* returnAddress) {
    if (block && gTracking.load(std::memory_order_relaxed) && FromTarget(returnAddress)) Track(block);
}

struct CodeRange {
    uintptr_t wanted;
    uintptr_t begin;
    uintptr_t end;
};

int FindCodeRange(dl_phdr_info* info, std::size_t, void* data) {
    auto* range = static_cast<CodeRange*>(data);
    uintptr_t begin = UINTPTR_MAX, end = 0;
    bool holds = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type != PT_LOAD) continue;
        const uintptr_t start = info->dlpi_addr + header.p_vaddr, stop = start + header.p_memsz;
        if (range->wanted >= start && range->wanted < stop) holds = true;
        if (header.p_flags & PF_X) begin = std::min(begin, start), end = std::max(end, stop);
    }
    if (!holds || begin >= end) return 0;
    range->begin = begin;
    range->end = end;
    return 1;
}

}  // namespace

HeapProbeAbilities HeapProbeCan() { return {true, true, ""}; }

AllocationCount::AllocationCount() : start(tAllocations) {}
AllocationCount::~AllocationCount() = default;
long AllocationCount::Count() const { return tAllocations - start; }

HeapPause::HeapPause() { ++tPaused; }
HeapPause::~HeapPause() { --tPaused; }

bool TargetLibraryAt(const void* addressInLibrary) {
    CodeRange range{reinterpret_cast<uintptr_t>(addressInLibrary), 0, 0};
    if (!dl_iterate_phdr(&FindCodeRange, &range)) return false;
    gTargetBegin = range.begin;
    gTargetEnd = range.end;
    return true;
}

RefusedAllocations::RefusedAllocations(long refuseNumber, std::size_t refuseFromBytes) {
    gRefuseNumber = refuseNumber;
    gRefuseFromBytes = refuseFromBytes;
    gSeen = 0;
    gRefused = 0;
    gRefusing.store(true, std::memory_order_release);
}
RefusedAllocations::~RefusedAllocations() { gRefusing = false; }
long RefusedAllocations::Seen() const { return gSeen.load(); }
long RefusedAllocations::Refused() const { return gRefused.load(); }

void StartTrackingLibraryBlocks() {
    gTracking = false;
    for (auto& slot : gTracked) slot.store(0, std::memory_order_relaxed);
    gTrackedLive = 0;
    gTrackOverflow = false;
    gTracking = true;
}

void StopTrackingLibraryBlocks() { gTracking = false; }

long TrackedLibraryBlocks() { return gTrackOverflow ? -1 : gTrackedLive.load(); }

}  // namespace tolvar::validate

// --- the replacements ------------------------------------------------------
using tolvar::validate::NoteNew;
using tolvar::validate::Refuse;
using tolvar::validate::RefusedBlock;
using tolvar::validate::Untrack;

extern "C" {

void* malloc(std::size_t bytes) {
    const void* caller = __builtin_return_address(0);
    if (Refuse(bytes, caller)) return RefusedBlock();
    void* block = __libc_malloc(bytes);
    NoteNew(block, caller);
    return block;
}

void* calloc(std::size_t count, std::size_t bytes) {
    const void* caller = __builtin_return_address(0);
    if (Refuse(count * bytes, caller)) return RefusedBlock();
    void* block = __libc_calloc(count, bytes);
    NoteNew(block, caller);
    return block;
}

void* realloc(void* old, std::size_t bytes) {
    const void* caller = __builtin_return_address(0);
    if (Refuse(bytes, caller)) return RefusedBlock();
    void* block = __libc_realloc(old, bytes);
    if (block || bytes == 0) Untrack(old);
    NoteNew(block, caller);
    return block;
}

void free(void* block) {
    Untrack(block);
    __libc_free(block);
}

void* memalign(std::size_t alignment, std::size_t bytes) {
    const void* caller = __builtin_return_address(0);
    if (Refuse(bytes, caller)) return RefusedBlock();
    void* block = __libc_memalign(alignment, bytes);
    NoteNew(block, caller);
    return block;
}

void* aligned_alloc(std::size_t alignment, std::size_t bytes) {
    const void* caller = __builtin_return_address(0);
    if (Refuse(bytes, caller)) return RefusedBlock();
    void* block = __libc_memalign(alignment, bytes);
    NoteNew(block, caller);
    return block;
}

int posix_memalign(void** result, std::size_t alignment, std::size_t bytes) {
    const void* caller = __builtin_return_address(0);
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    if (Refuse(bytes, caller)) return ENOMEM;
    void* block = __libc_memalign(alignment, bytes);
    if (!block) return ENOMEM;
    NoteNew(block, caller);
    *result = block;
    return 0;
}

void* valloc(std::size_t bytes) { return memalign(4096, bytes); }

void* pvalloc(std::size_t bytes) { return memalign(4096, (bytes + 4095) & ~std::size_t{4095}); }

}  // extern "C"
