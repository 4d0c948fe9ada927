#pragma once
// One instance's compositions, run on a thread of their own, so that neither
// the audio thread nor a host thread that automates a parameter ever reads a
// file, merges responses or prepares the engine's kernels.
//
// Requests and results travel without waiting: a request overwrites the one
// not yet started (only the latest values matter), and a finished result
// replaces one that nobody has taken yet. The owner takes the newest result at
// a block boundary, installs it, and retires it; the worker frees what it
// holds then (the storage the engine gave up), away from the audio thread.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "buffers/impulse_buffer.h"
#include "composer/impulse_selection.h"
#include "convolution/prepared_impulse.h"
#include "plugin/impulse_shape.h"

namespace tolvar {

struct CompositionRequest {
    ImpulseSelection selection;  // the files to read
    double sampleRate = 44100.0; // the host's rate, Hz
    uint64_t generation = 0;     // set by Request: 1, 2, ... in the order asked
};

struct CompositionResult {
    uint64_t generation = 0;
    double sampleRate = 0.0;     // the host's rate it was composed for, Hz
    bool usable = false;         // false: the composition failed, the previous impulse stays
    ImpulseBuffer composite;     // the response as composed, not padded
    int composedDelay = 0;       // its conversion delay, frames
    bool resampled = false;      // converted from the files' rate
    ImpulseShape shape;          // how `prepared` was padded and sized
    PreparedImpulse prepared;    // ready to install; after it, the storage the engine gave up
    CompositionResult* next = nullptr;  // the retired stack's link
};

class CompositionWorker {
public:
    // Runs on the worker's thread for every request it takes.
    using ComposeFunction = void (*)(void* context, const CompositionRequest& request, CompositionResult& result);

    CompositionWorker(ComposeFunction compose, void* context);
    // Stop().
    ~CompositionWorker();
    CompositionWorker(const CompositionWorker&) = delete;
    CompositionWorker& operator=(const CompositionWorker&) = delete;

    // Starts the thread. Without one (the system refused it) every request is
    // composed on the thread that makes it.
    void Start();
    // Lets a composition in flight finish, ends the thread and frees every
    // result not installed. No other call may overlap it or follow it.
    void Stop();

    // Asks for the composition of `request` and returns its generation. Any
    // thread; waits only for the worker's own short bookkeeping.
    uint64_t Request(const CompositionRequest& request);
    // The newest finished result not yet taken, or null; the caller holds it
    // until it retires it. Never blocks; allocates nothing.
    CompositionResult* TakeReady();
    // Hands a taken result back to be freed on the worker's thread when it
    // next wakes. Never blocks; allocates nothing; no system call.
    void Retire(CompositionResult* result);
    // Blocks until the composition of `generation` has finished (its result
    // ready, or found unusable). Not for the real-time audio thread.
    void WaitFor(uint64_t generation);

    uint64_t Requested() const { return requested.load(std::memory_order_acquire); }
    uint64_t Completed() const { return completed.load(std::memory_order_acquire); }

private:
    void Run();
    void ComposeAndPublish(const CompositionRequest& request);
    void FreeRetired();

    ComposeFunction compose;
    void* context;
    std::mutex mutex;                        // guards pending and stopping
    std::condition_variable wake;            // the worker: a request, a retired result or the stop
    std::condition_variable finished;        // waiters: a generation completed
    CompositionRequest pending;              // the latest request
    uint64_t taken = 0;                      // the latest generation the worker took
    bool stopping = false;
    std::atomic<uint64_t> requested{0};      // the latest generation asked for
    std::atomic<uint64_t> completed{0};      // the latest generation finished
    std::atomic<CompositionResult*> ready{nullptr};    // the newest result not taken
    std::atomic<CompositionResult*> retired{nullptr};  // taken results to free (a stack)
    std::thread thread;
    bool threaded = false;
};

}  // namespace tolvar
