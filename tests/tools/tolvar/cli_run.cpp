#include "tests/tools/tolvar/cli_run.h"

#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <sstream>

#include "tests/support/test_files.h"

extern char** environ;

namespace tolvar::test {
namespace {

int PcmBitsOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_16: return 16;
        case SF_FORMAT_PCM_24: return 24;
        case SF_FORMAT_PCM_32: return 32;
        default: return 0;
    }
}

}  // namespace

CliRun RunTolvar(const std::vector<std::string>& arguments) {
    TempDir dir;
    const std::string outPath = dir.File("out"), errPath = dir.File("err");
    std::vector<std::string> words = {TOLVAR_CLI_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    CliRun run;
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = ReadBytes(outPath);
    run.err = ReadBytes(errPath);
    return run;
}

bool WriteAudio(const std::string& path, const Audio& audio) {
    const int bits = PcmBitsOf(audio.format);
    std::vector<double> interleaved;
    for (std::size_t n = 0; n < audio.frames(); ++n)
        for (const std::vector<double>& channel : audio.channels)
            interleaved.push_back(bits ? std::nearbyint(std::ldexp(channel[n], bits - 1)) : channel[n]);
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = static_cast<int>(audio.channels.size());
    info.format = audio.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, bits ? SF_FALSE : SF_TRUE);
    const auto frames = static_cast<sf_count_t>(audio.frames());
    const bool written = sf_writef_double(file, interleaved.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

Audio ReadAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    Audio audio;
    if (!file) return audio;
    const int bits = PcmBitsOf(info.format);
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, bits ? SF_FALSE : SF_TRUE);
    std::vector<double> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t frames = sf_readf_double(file, interleaved.data(), info.frames);
    sf_close(file);
    audio.rate = info.samplerate;
    audio.format = info.format;
    audio.channels.assign(static_cast<std::size_t>(info.channels), std::vector<double>(static_cast<std::size_t>(frames)));
    for (sf_count_t n = 0; n < frames; ++n)
        for (int c = 0; c < info.channels; ++c)
            audio.channels[c][n] = std::ldexp(interleaved[n * info.channels + c], bits ? -(bits - 1) : 0);
    return audio;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

}  // namespace tolvar::test
