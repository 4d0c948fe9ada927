#include "convolution/pointer_list.h"

#include <cstring>

namespace tolvar {

void* PointerList::SetAt(int i, void* p) {
    if (!buffer.Data() || i < 0 || i >= Count()) return nullptr;
    buffer.As<void*>()[i] = p;
    return p;
}

void* PointerList::Push(void* p) {
    const int count = Count();
    if (!buffer.Resize((count + 1) * static_cast<int>(sizeof(void*)), true)) return nullptr;
    buffer.As<void*>()[count] = p;
    return p;
}

void PointerList::RemoveAt(int i) {
    const int count = Count();
    if (!buffer.Data() || i < 0 || i >= count) return;
    void** entries = buffer.As<void*>();
    std::memmove(entries + i, entries + i + 1, sizeof(void*) * static_cast<std::size_t>(count - i - 1));
    // Removing the last entry keeps the storage: a list that runs empty and
    // fills again on every audio block must not go back to the heap each time.
    buffer.Resize((count - 1) * static_cast<int>(sizeof(void*)), count > 1);
}

bool PointerList::Reserve(int count) {
    const int length = buffer.Length();
    if (count <= Count() || buffer.Capacity() >= count * static_cast<int>(sizeof(void*))) return true;
    if (!buffer.Resize(count * static_cast<int>(sizeof(void*)), false)) return false;
    buffer.Resize(length, false);  // keeps the capacity
    return true;
}

}  // namespace tolvar
