#include "host/source_registry.h"

#include <mutex>
#include <set>

namespace tolvar {
namespace {

struct Registry {
    std::mutex mutex;
    std::set<const void*> live;
    std::vector<std::string> openedPaths;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

int LiveMediaSourceCount() {
    std::lock_guard lock(TheRegistry().mutex);
    return static_cast<int>(TheRegistry().live.size());
}

std::vector<std::string> OpenedMediaPaths() {
    std::lock_guard lock(TheRegistry().mutex);
    return TheRegistry().openedPaths;
}

void ClearOpenedMediaPaths() {
    std::lock_guard lock(TheRegistry().mutex);
    TheRegistry().openedPaths.clear();
}

void RecordOpenedMediaPath(const char* path) {
    std::lock_guard lock(TheRegistry().mutex);
    try {
        TheRegistry().openedPaths.emplace_back(path);
    } catch (...) {
    }
}

bool RegisterLiveMediaSource(const void* source) {
    std::lock_guard lock(TheRegistry().mutex);
    try {
        TheRegistry().live.insert(source);
        return true;
    } catch (...) {
        return false;
    }
}

bool UnregisterLiveMediaSource(const void* source) {
    std::lock_guard lock(TheRegistry().mutex);
    return TheRegistry().live.erase(source) == 1;
}

bool IsLiveMediaSource(const void* source) {
    std::lock_guard lock(TheRegistry().mutex);
    return TheRegistry().live.count(source) == 1;
}

}  // namespace tolvar
