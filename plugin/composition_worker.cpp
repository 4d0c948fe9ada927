#include "plugin/composition_worker.h"

#include <new>
#include <system_error>

#include "plugin/platform/platform.h"

namespace tolvar {

CompositionWorker::CompositionWorker(ComposeFunction composeFunction, void* composeContext)
    : compose(composeFunction), context(composeContext) {}

CompositionWorker::~CompositionWorker() { Stop(); }

void CompositionWorker::Start() {
    if (threaded) return;
    try {
        thread = std::thread([this] { Run(); });
        threaded = true;
    } catch (const std::system_error&) {
        threaded = false;  // compose on the requesting thread instead
    }
}

void CompositionWorker::Stop() {
    if (threaded) {
        {
            const std::lock_guard<std::mutex> hold(mutex);
            stopping = true;
        }
        wake.notify_one();
        thread.join();
        threaded = false;
    }
    delete ready.exchange(nullptr, std::memory_order_acq_rel);
    FreeRetired();
}

uint64_t CompositionWorker::Request(const CompositionRequest& request) {
    CompositionRequest job = request;
    {
        const std::lock_guard<std::mutex> hold(mutex);
        job.generation = requested.load(std::memory_order_relaxed) + 1;
        pending = job;
        requested.store(job.generation, std::memory_order_release);
    }
    if (threaded) {
        wake.notify_one();
    } else {
        ComposeAndPublish(job);
    }
    return job.generation;
}

CompositionResult* CompositionWorker::TakeReady() { return ready.exchange(nullptr, std::memory_order_acq_rel); }

void CompositionWorker::Retire(CompositionResult* result) {
    if (!result) return;
    result->next = retired.load(std::memory_order_relaxed);
    while (!retired.compare_exchange_weak(result->next, result, std::memory_order_release,
                                          std::memory_order_relaxed)) {
    }
    // The worker frees it when it next wakes: waking it now would cost the
    // audio thread, which retires, a system call.
}

void CompositionWorker::WaitFor(uint64_t generation) {
    std::unique_lock<std::mutex> hold(mutex);
    finished.wait(hold, [&] { return completed.load(std::memory_order_acquire) >= generation || !threaded; });
}

void CompositionWorker::Run() {
    LowerThisThreadsPriority();
    std::unique_lock<std::mutex> hold(mutex);
    for (;;) {
        wake.wait(hold, [&] {
            return stopping || requested.load(std::memory_order_relaxed) > taken ||
                   retired.load(std::memory_order_relaxed) != nullptr;
        });
        if (stopping) return;
        hold.unlock();
        FreeRetired();
        hold.lock();
        if (requested.load(std::memory_order_relaxed) <= taken) continue;
        const CompositionRequest request = pending;
        taken = request.generation;
        hold.unlock();
        ComposeAndPublish(request);
        hold.lock();
    }
}

// A result that nobody took before this one was finished is never installed:
// it is freed here.
void CompositionWorker::ComposeAndPublish(const CompositionRequest& request) {
    auto* result = new (std::nothrow) CompositionResult;
    if (result) {
        result->generation = request.generation;
        result->sampleRate = request.sampleRate;
        compose(context, request, *result);
        delete ready.exchange(result, std::memory_order_acq_rel);
    }
    {
        const std::lock_guard<std::mutex> hold(mutex);
        if (completed.load(std::memory_order_relaxed) < request.generation) {
            completed.store(request.generation, std::memory_order_release);
        }
    }
    finished.notify_all();
}

void CompositionWorker::FreeRetired() {
    CompositionResult* result = retired.exchange(nullptr, std::memory_order_acquire);
    while (result) {
        CompositionResult* next = result->next;
        delete result;
        result = next;
    }
}

}  // namespace tolvar
