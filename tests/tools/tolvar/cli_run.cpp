#include "tests/tools/tolvar/cli_run.h"

#include <sndfile.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

#include <cmath>
#include <sstream>

#include "tests/support/test_files.h"

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

#if defined(_WIN32)
namespace {

// One word of a command line as the C runtime splits it again: quoted, with
// the backslashes before a quote (or the closing quote) doubled.
std::string Quoted(const std::string& word) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

HANDLE InheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

}  // namespace

CliRun RunTolvar(const std::vector<std::string>& arguments) {
    TempDir dir;
    std::string commandLine = Quoted(TOLVAR_CLI_PATH);
    for (const std::string& word : arguments) commandLine += " " + Quoted(word);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = InheritableFile(dir.File("out"));
    startup.hStdError = InheritableFile(dir.File("err"));
    PROCESS_INFORMATION process{};
    CliRun run;
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        run.exitCode = static_cast<int>(status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    run.out = ReadBytes(dir.File("out"));
    run.err = ReadBytes(dir.File("err"));
    return run;
}
#else
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
#endif

bool WriteAudio(const std::string& path, const Audio& audio) {
    const int bits = PcmBitsOf(audio.format);
    std::vector<double> interleaved;
    for (std::size_t n = 0; n < audio.Frames(); ++n)
        for (const std::vector<double>& channel : audio.channels)
            interleaved.push_back(bits ? std::nearbyint(std::ldexp(channel[n], bits - 1)) : channel[n]);
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = static_cast<int>(audio.channels.size());
    info.format = audio.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, bits ? SF_FALSE : SF_TRUE);
    const auto frames = static_cast<sf_count_t>(audio.Frames());
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
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // Windows text output
        lines.push_back(line);
    }
    return lines;
}

}  // namespace tolvar::test
