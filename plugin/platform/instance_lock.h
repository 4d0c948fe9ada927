#pragma once
// The instance lock: re-entrant, because a parameter change holds it while the
// composition it triggers takes it again.
#if defined(_WIN32)
#include <windows.h>
#else
#include <mutex>
#endif

namespace tolvar {

class InstanceLock {
public:
    InstanceLock();
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    void Lock();
    void Unlock();

private:
#if defined(_WIN32)
    CRITICAL_SECTION section;
#else
    std::recursive_mutex mutex;
#endif
};

class ScopedInstanceLock {
public:
    explicit ScopedInstanceLock(InstanceLock& held) : lock(held) { lock.Lock(); }
    ~ScopedInstanceLock() { lock.Unlock(); }
    ScopedInstanceLock(const ScopedInstanceLock&) = delete;
    ScopedInstanceLock& operator=(const ScopedInstanceLock&) = delete;

private:
    InstanceLock& lock;
};

}  // namespace tolvar
