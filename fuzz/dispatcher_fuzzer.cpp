// The entry points a host calls, in any order and with any values: dispatcher
// opcodes with indexes, values, float options and pointers (null, or buffers of
// various sizes, never arbitrary addresses, which no host passes), parameter
// reads and writes, and audio blocks of any size, against one live instance
// whose IR folder holds a small library (fast and slow sections, several
// rates, broken files). What a host relies on is checked after every call:
//   - strings are terminated within their bound and nothing is written past
//     it; parameter names, labels and display texts have at most 8 characters;
//   - opcodes that do not use the pointer leave its buffer alone; those that
//     fill a record (effGetParameterProperties) or hand out a pointer
//     (effEditGetRect) write nothing past it;
//   - getParameter returns what setParameter stored (0 for a bad index);
//   - a block of finite input gives finite output in every frame; a block the
//     plug-in refuses (no frames, missing buffers) is left alone, and the
//     input buffers are never written (unless they are the outputs);
//   - initialDelay is never negative and never decreases except after
//     effMainsChanged(0);
//   - no media source is left open; a record without an instance does nothing.
//
// Input: operations until the input ends (at most kMaxOperations), each an
// operation byte and its fields (see the Run... functions).
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_ir_library.h"
#include "params/param_info.h"

namespace tolvar::fuzz {
namespace {

constexpr int kMaxOperations = 64;
constexpr uint8_t kUntouched = 0xA5;  // fill of every buffer the plug-in must not write
constexpr int kParamTextBound = kVstMaxParamStrLen + 1;

constexpr int32_t kServedOpcodes[] = {effOpen,         effGetParamLabel,   effGetParamDisplay, effGetParamName,
                                      effSetSampleRate, effSetBlockSize,   effMainsChanged,    effEditGetRect,
                                      effEditOpen,      effEditClose,      effEditIdle,        effGetChunk,
                                      effSetChunk,      effGetPlugCategory, effGetEffectName,  effGetVendorString,
                                      effGetProductString, effGetVendorVersion, effCanDo,      effGetTailSize,
                                      effGetVstVersion, effGetProgramName, effCanBeAutomated,
                                      effGetParameterProperties};

constexpr int32_t kFrameCounts[] = {0,   -1,  -4096, INT_MIN, 1,    2,    3,    31,   64,    127,  128,  129,
                                    255, 256, 257,   511,     512,  1000, 1024, 2048, 4096,  8192, 16384, 32768};

// Bytes a host provides for a string opcode's answer; 0 for other opcodes.
int StringBound(int32_t opcode) {
    switch (opcode) {
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName: return kParamTextBound;
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString: return kVstMaxEffectNameLen;
        default: return 0;
    }
}

// Bytes a host provides for an opcode that fills a record or a pointer; 0 for others.
int RecordBound(int32_t opcode) {
    switch (opcode) {
        case effGetParameterProperties: return static_cast<int>(sizeof(VstParameterProperties));
        case effEditGetRect: return static_cast<int>(sizeof(void*));
        default: return 0;
    }
}

int32_t ReadOpcode(ByteReader& input) {
    const uint8_t selector = input.U8();
    if (selector == 0xFF) return static_cast<int32_t>(input.U32());
    if (selector < 64) return selector;
    return kServedOpcodes[selector % std::size(kServedOpcodes)];
}

// Mostly -2..17 (every parameter and its neighbours), sometimes any int.
int32_t ReadIndex(ByteReader& input) {
    const uint8_t selector = input.U8();
    if (selector == 0xFF) return static_cast<int32_t>(input.U32());
    return selector % 20 - 2;
}

intptr_t ReadValue(ByteReader& input) {
    const uint8_t selector = input.U8();
    if (selector == 0xFF) return static_cast<intptr_t>(static_cast<int32_t>(input.U32()));
    return selector % 4 == 3 ? -1 : selector % 4;
}

float ReadFloat(ByteReader& input) {
    const uint8_t selector = input.U8();
    return selector == 0xFF ? input.F32() : WildFloat(selector);
}

bool IsUntouched(const std::vector<uint8_t>& bytes, std::size_t from) {
    for (std::size_t i = from; i < bytes.size(); ++i)
        if (bytes[i] != kUntouched) return false;
    return true;
}

void RequireBoundedText(const std::vector<uint8_t>& buffer, int bound, const char* what) {
    const void* end = std::memchr(buffer.data(), '\0', static_cast<std::size_t>(bound));
    Require(end != nullptr, what);
    Require(IsUntouched(buffer, static_cast<std::size_t>(bound)), "a string opcode wrote past its bound");
}

class Session {
public:
    explicit Session(ByteReader& in) : input(in), effect(CreateInstance()), latencyFloor(effect->initialDelay) {
        for (int i = 0; i < kParamCount; ++i) stored[i] = effect->getParameter(effect, i);
    }
    ~Session() { CloseInstance(effect); }

    void RunOne() {
        switch (input.U8() % 8) {
            case 0: RunDispatcher(effect, ReadOpcode(input)); break;
            case 1: RunSetParameter(); break;
            case 2: RunGetParameter(); break;
            case 3: RunProcess(effect); break;
            case 4: RunDispatcher(effect, effMainsChanged); break;
            case 5: SetRate(HostRate(input.U8())); break;
            case 6: RunWithoutInstance(); break;
            default: RunAllDisplayTexts(); break;
        }
        CheckAfterCall();
    }

private:
    // u8 opcode selector (op 0 only), u8 index, u8 value, u8 pointer, u8 float option.
    // Pointer selector p: 0 null; for a string or record opcode a buffer of
    // exactly its bound (p odd) or p bytes larger (p even); for other opcodes p bytes.
    void RunDispatcher(AEffect* target, int32_t opcode) {
        if (opcode == effClose) return;  // ends the instance: only at the end of the session
        const int32_t index = ReadIndex(input);
        const intptr_t value = ReadValue(input);
        const uint8_t pointer = input.U8();
        const float option = ReadFloat(input);
        const int textBound = StringBound(opcode);
        const int bound = textBound > 0 ? textBound : RecordBound(opcode);
        std::vector<uint8_t> buffer;
        const int size = bound > 0 && pointer % 2 ? bound : bound + pointer;
        if (pointer != 0) buffer.assign(static_cast<std::size_t>(size), kUntouched);
        void* ptr = pointer != 0 ? buffer.data() : nullptr;

        target->dispatcher(target, opcode, index, value, ptr, option);

        if (opcode == effMainsChanged && value == 0 && target == effect) latencyFloor = effect->initialDelay;
        if (!ptr) return;
        if (bound == 0) {
            Require(IsUntouched(buffer, 0), "an opcode that takes no buffer wrote into the host's pointer");
            return;
        }
        if (textBound == 0) {
            Require(IsUntouched(buffer, static_cast<std::size_t>(bound)), "an opcode wrote past the record it fills");
            return;
        }
        // Without an instance there is no display text to give, and none is written.
        if (target != effect && opcode == effGetParamDisplay && IsUntouched(buffer, 0)) return;
        RequireBoundedText(buffer, bound, "a string opcode left its text unterminated within its bound");
    }

    // u8 index, u8 value kind: below 0x80 a choice (ParameterValue), 0xFF the
    // next four bytes as a float, otherwise WildFloat.
    void RunSetParameter() {
        const int32_t index = ReadIndex(input);
        const uint8_t kind = input.U8();
        float value = 0.0f;
        if (kind == 0xFF) value = input.F32();
        else if (kind >= 0x80) value = WildFloat(kind - 0x80);
        else if (!ParameterValue(index, static_cast<uint8_t>(kind + 1), value)) value = 0.25f;
        effect->setParameter(effect, index, value);
        if (IsValidParamIndex(index)) stored[index] = value;
    }

    // u8 index.
    void RunGetParameter() {
        const int32_t index = ReadIndex(input);
        const float value = effect->getParameter(effect, index);
        if (!IsValidParamIndex(index)) {
            Require(value == 0.0f, "getParameter of a bad index is not 0");
            return;
        }
        const float expected = stored[index];
        const bool same =
            std::isnan(expected) ? std::isnan(value) : std::memcmp(&value, &expected, sizeof value) == 0;
        Require(same, "getParameter does not return the value setParameter stored");
    }

    // u8 frame-count selector (0xFF: the next u16), u8 buffer flags, u8 signal seed.
    // Flags: bit 0 outputs are the inputs; bit 1 no input array; bit 2 no output
    // array; bit 3 no right input; bit 4 no left output; bit 5 silence.
    void RunProcess(AEffect* target) {
        const uint8_t selector = input.U8();
        const int32_t frames = selector == 0xFF ? input.U16() : kFrameCounts[selector % std::size(kFrameCounts)];
        const uint8_t flags = input.U8();
        const uint8_t seed = input.U8();
        const std::size_t length = frames > 0 ? static_cast<std::size_t>(frames) : 16;

        std::vector<float> in[2], out[2];
        uint32_t state = seed * 2654435761u + 1u;
        for (std::vector<float>& channel : in) {
            channel.resize(length);
            for (float& sample : channel) {
                state = state * 1664525u + 1013904223u;
                sample = (flags & 32) ? 0.0f : static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
            }
        }
        const bool inPlace = (flags & 1) != 0;
        for (std::vector<float>& channel : out) channel.assign(length, std::nanf(""));
        const std::vector<float> inCopy[2] = {in[0], in[1]};
        std::vector<float>* written = inPlace ? in : out;
        float* inputs[2] = {in[0].data(), (flags & 8) ? nullptr : in[1].data()};
        float* outputs[2] = {(flags & 16) ? nullptr : written[0].data(), written[1].data()};
        const bool complete = frames > 0 && !(flags & (2 | 4 | 8 | 16)) && target == effect;

        target->processReplacing(target, (flags & 2) ? nullptr : inputs, (flags & 4) ? nullptr : outputs, frames);

        for (int c = 0; c < 2; ++c) {
            for (std::size_t i = 0; i < length; ++i) {
                const float sample = written[c][i];
                if (complete) {
                    Require(std::isfinite(sample),
                            "finite input gave output that is not finite, or a frame was not written");
                } else {
                    const bool same = inPlace ? sample == inCopy[c][i] : std::isnan(sample);
                    Require(same, "a block the plug-in must refuse was written");
                }
                if (!inPlace) Require(in[c][i] == inCopy[c][i], "processReplacing wrote into its input");
            }
        }
    }

    void SetRate(float rate) { effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate); }

    // u8 which call, then that call's fields: the same calls through a record
    // whose user field is null (a record the host copied, or one already
    // detached): every entry point must do nothing.
    void RunWithoutInstance() {
        AEffect detached = *effect;
        detached.user = nullptr;
        const int32_t delay = detached.initialDelay;
        switch (input.U8() % 4) {
            case 0: {
                const int32_t opcode = ReadOpcode(input);
                if (opcode == effClose) detached.dispatcher(&detached, effClose, 0, 0, nullptr, 0.0f);
                else RunDispatcher(&detached, opcode);
                break;
            }
            case 1: detached.setParameter(&detached, ReadIndex(input), 0.7f); break;
            case 2:
                Require(detached.getParameter(&detached, ReadIndex(input)) == 0.0f,
                        "getParameter without an instance is not 0");
                break;
            default: RunProcess(&detached); break;
        }
        Require(detached.initialDelay == delay, "a record without an instance changed");
    }

    void RunAllDisplayTexts() {
        for (int32_t index = -1; index <= kParamCount; ++index) {
            std::vector<uint8_t> buffer(kParamTextBound + 8, kUntouched);
            effect->dispatcher(effect, effGetParamDisplay, index, 0, buffer.data(), 0.0f);
            RequireBoundedText(buffer, kParamTextBound, "a display text is longer than 8 characters");
        }
    }

    void CheckAfterCall() {
        RequireNoOpenSource();
        Require(effect->initialDelay >= 0, "negative latency reported");
        Require(effect->initialDelay >= latencyFloor, "the reported latency decreased while the effect was on");
        latencyFloor = effect->initialDelay;
    }

    ByteReader& input;
    AEffect* effect;
    int32_t latencyFloor;        // initialDelay may not fall below it until effMainsChanged(0)
    float stored[kParamCount];   // what setParameter last stored
};

}  // namespace
}  // namespace tolvar::fuzz

using namespace tolvar::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    WriteFuzzIrLibrary(IrFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    Session session(input);
    for (int operation = 0; operation < kMaxOperations && !input.AtEnd(); ++operation) session.RunOne();
    return 0;
}
