#pragma once
// An in-memory IR library for the tests: PcmSource objects laid out as a host
// lays them out (first word -> operations table built from the slot types),
// keyed by file name, recording what the composer asks of them.
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "composer/ir_library.h"

namespace tolvar::test {

struct FakeIrFile {
    std::vector<double> samples;
    double sampleRate = 96000.0;  // what slot 10 reports
    // What slot 11 reports; by default samples.size() / sampleRate.
    std::optional<double> lengthSeconds;
    bool available = true;
    // Frames delivered as reported; by default the samples written, which are
    // min(samples.size(), frames requested). Never more than requested are written.
    bool overrideDelivered = false;
    int reportedDelivered = 0;
};

// What one getSamples call was given.
struct FakeRequest {
    std::string name;
    double startTime;
    double sampleRate;
    int channels;
    int framesRequested;
    bool deliveredWasZero;  // frames delivered and the reserved bytes zero before the call
};

// Installs itself as the library that FakeIrLibrary().openSource serves; one at a time.
class FakeIrFolder {
public:
    explicit FakeIrFolder(std::string folder = "/fake/tolvar/");
    ~FakeIrFolder();
    FakeIrFolder(const FakeIrFolder&) = delete;
    FakeIrFolder& operator=(const FakeIrFolder&) = delete;

    void Add(const std::string& name, FakeIrFile file) { files[name] = std::move(file); }
    IrLibrary Library() const;

    // File names asked for, folder stripped (a path outside the folder is kept whole).
    const std::vector<std::string>& Opens() const { return opens; }
    // The thread of each open, in the same order.
    const std::vector<std::thread::id>& OpenThreads() const { return openThreads; }
    const std::vector<FakeRequest>& Requests() const { return requests; }
    int SourcesCreated() const { return created; }
    int SourcesDestroyed() const { return destroyed; }
    int SampleRateQueries() const { return sampleRateQueries; }
    // Faults seen: a second destroy, destroy flags other than 1, two sources open at once.
    const std::vector<std::string>& Misuses() const { return misuses; }

    // Called by the fake's operations.
    void* Open(const char* path);
    void NoteDestroy(void* source, unsigned flags);
    void NoteSampleRateQuery() { ++sampleRateQueries; }
    void NoteRequest(const FakeRequest& request) { requests.push_back(request); }

private:
    std::string folder;
    std::map<std::string, FakeIrFile> files;
    std::vector<std::string> opens;
    std::vector<std::thread::id> openThreads;
    std::vector<FakeRequest> requests;
    std::vector<std::string> misuses;
    std::vector<void*> live;
    int created = 0;
    int destroyed = 0;
    int sampleRateQueries = 0;
};

}  // namespace tolvar::test
