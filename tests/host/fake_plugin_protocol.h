#pragma once
// What the fake plug-in (fake_plugin.cpp) does, shared with the tests that load it.
//
// A stereo effect with two parameters whose output is the input delayed by
// kFakeLatency frames and multiplied by parameter 0 ("Gain", default 0.5). Its
// `main` binds the host functions exactly as the real plug-in does
// (plugin/host_services/host_api.h) and, unlike it, returns null unless the host
// offered DB2SLIDER, SLIDER2DB and PCM_Source_CreateFromFile: a host that
// withholds one is seen to leave no instance.
#include <cstdint>

namespace tolvar::test {

constexpr int32_t kFakeLatency = 3;
constexpr int32_t kFakeChannels = 2;
constexpr int32_t kFakeParams = 2;
constexpr float kFakeDefaultGain = 0.5f;
constexpr int32_t kFakeUniqueId = 0x66616B65;  // 'fake'

// effVendorSpecific requests, chosen by index.
constexpr int32_t kFakeOpcode = 50;
enum FakeRequest : int32_t {
    kFakeReadFile = 1,          // ptr: path, opt: rate (0 = the file's). Opens it through the bound
                                // PCM_Source_CreateFromFile, reads it whole in one request, destroys the
                                // source; returns the frames delivered, -1 no source, -2 not available
    kFakeMainCalls = 2,         // calls of main since this load of the binary
    kFakeProcessCalls = 3,      // processReplacing calls on this instance
    kFakeEmptyProcessCalls = 4, // of those, calls with 0 frames
};

}  // namespace tolvar::test
