#include "tools/tolvar/output_format.h"

#include <sndfile.h>

#include <cctype>
#include <filesystem>
#include <vector>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/sample_format.h"

namespace tolvar::cli {
namespace {

struct Container {
    int major = 0;
    int codec = 0;  // the coding the name asks for (.opus), or 0
};

struct Alias {
    const char* extension;
    Container container;
};

// Names in common use that libsndfile's table does not list.
constexpr Alias kAliases[] = {
    {"aif", {SF_FORMAT_AIFF, 0}},
    {"aifc", {SF_FORMAT_AIFF, 0}},
    {"wave", {SF_FORMAT_WAV, 0}},
    {"ogg", {SF_FORMAT_OGG, SF_FORMAT_VORBIS}},
    {"opus", {SF_FORMAT_OGG, SF_FORMAT_OPUS}},
    {"mp3", {SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III}},
};

constexpr int kPcm8[] = {SF_FORMAT_PCM_S8, SF_FORMAT_PCM_U8};
constexpr int kPcmWider[] = {SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32};

std::vector<SF_FORMAT_INFO> FormatTable(int countCommand, int entryCommand) {
    int count = 0;
    sf_command(nullptr, countCommand, &count, sizeof count);
    std::vector<SF_FORMAT_INFO> table(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        table[static_cast<std::size_t>(i)].format = i;
        sf_command(nullptr, entryCommand, &table[static_cast<std::size_t>(i)], sizeof(SF_FORMAT_INFO));
    }
    return table;
}

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// The first entry of the table wins: for .wav that is Microsoft's WAV. An
// alias counts only where this libsndfile has its container (a build without
// external codecs has no OGG or MPEG).
Container ContainerFor(const std::string& extension) {
    const std::vector<SF_FORMAT_INFO> table = FormatTable(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR);
    for (const SF_FORMAT_INFO& entry : table)
        if (entry.extension && extension == entry.extension) return {entry.format, 0};
    for (const Alias& alias : kAliases)
        for (const SF_FORMAT_INFO& entry : table)
            if (extension == alias.extension && entry.format == alias.container.major) return alias.container;
    return {};
}

// ".aiff, .au, ..., .mp3": every name ContainerFor knows in this build.
std::string KnownExtensions() {
    std::string list;
    const auto add = [&list](const std::string& extension) {
        if (!ContainerFor(extension).major || (", " + list).find(", ." + extension + ",") != std::string::npos) return;
        list += "." + extension + ", ";
    };
    for (const SF_FORMAT_INFO& entry : FormatTable(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR))
        if (entry.extension) add(entry.extension);
    for (const Alias& alias : kAliases) add(alias.extension);
    return list.substr(0, list.size() - 2);
}

bool Holds(int format, int channels, int sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

// The coding the name asks for; the input's sample format, then wider ones,
// then narrower ones; then every coding libsndfile has.
std::vector<int> SubtypesToTry(int inputSubtype, bool keepCoding, int codec) {
    std::vector<int> order;
    if (codec) order.push_back(codec);
    const int bits = PcmBits(inputSubtype);
    if (bits) {
        order.push_back(inputSubtype);
        if (bits == 8) order.insert(order.end(), std::begin(kPcm8), std::end(kPcm8));
        for (int wider : kPcmWider)
            if (PcmBits(wider) > bits) order.push_back(wider);
        order.insert(order.end(), {SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE});
        for (int narrower : {SF_FORMAT_PCM_24, SF_FORMAT_PCM_16, SF_FORMAT_PCM_S8, SF_FORMAT_PCM_U8})
            if (PcmBits(narrower) < bits) order.push_back(narrower);
    } else if (IsFloatFormat(inputSubtype)) {
        order.insert(order.end(), {inputSubtype, SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE, SF_FORMAT_PCM_24,
                                   SF_FORMAT_PCM_32, SF_FORMAT_PCM_16});
    } else {
        if (keepCoding) order.push_back(inputSubtype);
        order.insert(order.end(), {SF_FORMAT_PCM_24, SF_FORMAT_FLOAT, SF_FORMAT_PCM_16});
    }
    for (const SF_FORMAT_INFO& entry : FormatTable(SFC_GET_FORMAT_SUBTYPE_COUNT, SFC_GET_FORMAT_SUBTYPE))
        order.push_back(entry.format);
    return order;
}

// The extensions of the containers that hold float samples at this rate and channel count.
std::string FloatContainers(int channels, int sampleRate) {
    std::string list;
    for (const SF_FORMAT_INFO& entry : FormatTable(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR)) {
        const std::string extension = std::string(".") + (entry.extension ? entry.extension : "");
        if (Holds(entry.format | SF_FORMAT_FLOAT, channels, sampleRate) && list.find(extension + ",") == std::string::npos)
            list += extension + ", ";
    }
    return list.empty() ? "none" : list.substr(0, list.size() - 2);
}

std::string Describe(int format) { return ContainerName(format) + " " + SampleFormatName(format); }

}  // namespace

bool HoldsFloats(int format, int channels, int sampleRate) {
    return Holds((format & SF_FORMAT_TYPEMASK) | SF_FORMAT_FLOAT, channels, sampleRate);
}

std::string ContainerName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_TYPEMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name) return "audio";
    const std::string name = info.name;
    return name.substr(0, name.find(' '));
}

OutputFormat ChooseOutputFormat(const std::string& path, int inputFormat, bool floatSamples, int channels,
                                int sampleRate) {
    const std::string extension = LowerExtension(path);
    const Container container = ContainerFor(extension);
    if (!container.major)
        throw UsageError("cannot tell the format of " + path + " from its name: end it in one of " + KnownExtensions());
    if (floatSamples) {
        if (!Holds(container.major | SF_FORMAT_FLOAT, channels, sampleRate))
            throw UsageError("--float: " + ContainerName(container.major) + " files hold no float samples here; " +
                             FloatContainers(channels, sampleRate) + " files do");
        return {container.major | SF_FORMAT_FLOAT, {}};
    }
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    const bool sameContainer = (inputFormat & SF_FORMAT_TYPEMASK) == container.major;
    for (int subtype : SubtypesToTry(inputSubtype, sameContainer, container.codec)) {
        const int format = container.major | subtype;
        if (!Holds(format, channels, sampleRate)) continue;
        if (subtype == inputSubtype || subtype == container.codec) return {format, {}};  // kept, or asked for
        std::string why = path + ": written as " + Describe(format) + ", since ";
        why += PcmBits(inputSubtype) || IsFloatFormat(inputSubtype)
                   ? ContainerName(format) + " holds no " + SampleFormatName(inputSubtype) + " samples"
                   : "the input's " + std::string(SampleFormatName(inputFormat)) + " coding belongs to " +
                         ContainerName(inputFormat) + " files";
        return {format, why};
    }
    throw UsageError("cannot write " + path + ": this build of libsndfile writes no " + ContainerName(container.major) +
                     " file at " + std::to_string(sampleRate) + " Hz with " + std::to_string(channels) + " channels");
}

}  // namespace tolvar::cli
