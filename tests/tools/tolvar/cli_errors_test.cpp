// What the user sees when a command cannot do its work: one line on stderr, a
// non-zero exit code, and no file (partial or not) under the output's name;
// nothing written over what is not a regular file, over the input, or left
// behind by an interruption.
#include <gtest/gtest.h>
#include <sndfile.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/plugin/loaded_plugin.h"
#include "tests/tools/tolvar/cli_run.h"

namespace tolvar::test {
namespace {

namespace fs = std::filesystem;

struct BadCall {
    const char* what;
    std::vector<std::string> arguments;  // after "render IN OUT --plugin PLUGIN"
    int exitCode;
    std::string message;  // a part of the one line on stderr
};

std::vector<std::string> FolderContents(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Each call fails with one line, its exit code and message, and leaves the folder as it was.
void ExpectFailures(const std::vector<BadCall>& calls, const std::string& folder) {
    const std::vector<std::string> before = FolderContents(folder);
    for (const BadCall& call : calls) {
        const CliRun run = RunTolvar(call.arguments);
        EXPECT_EQ(run.exitCode, call.exitCode) << call.what << ": " << run.err;
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << call.what << ": " << run.err;
        EXPECT_EQ(lines[0].rfind("tolvar: ", 0), 0u) << call.what << ": " << lines[0];
        EXPECT_NE(lines[0].find(call.message), std::string::npos) << call.what << ": " << lines[0];
        EXPECT_EQ(FolderContents(folder), before) << call.what;
    }
}

TEST(CliErrors, BadCallsFailWithOneLineAndLeaveNoOutput) {
    LoadedPluginFolder folder;
    LoadedPluginFolder withoutIrs("other");
    fs::remove_all(withoutIrs.IrPath(""));
    TempDir files;
    // Every call names an older file as its output, which must stay as it was.
    const std::string in = files.File("in.wav"), out = files.File("kept.wav");
    ASSERT_TRUE(WriteAudio(in, Audio{44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {std::vector<double>(900, 0.25)}}));
    ASSERT_TRUE(WriteAudio(files.File("six.wav"),
                           Audio{44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, std::vector<std::vector<double>>(6, {0.1})}));
    WriteBytes(files.File("text.so"), "not a shared object");
    // A header that claims 2147483647 Hz (bytes 24..27 of a plain WAV header).
    ASSERT_TRUE(WriteAudio(files.File("fast.wav"), Audio{44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {{0.5, 0.5}}}));
    std::string header = ReadBytes(files.File("fast.wav"));
    header.replace(24, 4, "\xff\xff\xff\x7f");
    WriteBytes(files.File("fast.wav"), header);
    WriteBytes(out, "an older render");
    fs::create_directory(files.File("folder.wav"));
    const std::string locked = files.File("locked.wav"), plugin = folder.PluginPath();
    WriteBytes(locked, "");
    fs::permissions(locked, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    const std::vector<BadCall> calls = {
        {"unknown parameter", {"render", in, out, "--plugin", plugin, "--set", "Band3G=+3"}, 2,
         "no parameter \"Band3G\"; the parameters are Input Mode, LPF, HPF"},
        {"unknown choice", {"render", in, out, "--plugin", plugin, "--set", "Band1F=800 Hz"}, 2,
         "Band1F: no choice \"800 Hz\"; the choices are 270 Hz, 390 Hz"},
        {"gain out of range", {"render", in, out, "--plugin", plugin, "--set", "Band1G=+13"}, 2,
         "-12 dB .. +12 dB, <bypass>"},
        {"setting without a value", {"render", in, out, "--plugin", plugin, "--set", "HPF"}, 2, "NAME=VALUE"},
        {"gain in hex", {"render", in, out, "--plugin", plugin, "--set", "Band1G=0x10"}, 2,
         "a number is in dB: 3, +3, -4, 3dB; or table values #0 to #25"},
        {"rate that is not a number", {"response", "--plugin", plugin, "--rate", "nan", "--csv", out}, 2,
         "--rate: a rate from 8000 to 768000 Hz, not nan"},
        {"no container by that name", {"render", in, files.File("out.mp4"), "--plugin", plugin}, 2,
         "cannot tell the format of " + files.File("out.mp4")},
        {"float into a container without", {"render", in, files.File("out.voc"), "--plugin", plugin, "--float"}, 2,
         "--float: VOC files hold no float samples here; .aiff"},
        {"input rate beyond any converter", {"render", files.File("fast.wav"), out, "--plugin", plugin}, 1,
         "says its rate is 2147483647 Hz"},
        {"missing input", {"render", files.File("none.wav"), out, "--plugin", plugin}, 1, "no such file"},
        {"input that is not audio", {"render", files.File("text.so"), out, "--plugin", plugin}, 1, "cannot read"},
        {"six channels", {"render", files.File("six.wav"), out, "--plugin", plugin}, 1, "6 channels"},
        {"output folder missing", {"render", in, files.File("no/folder/out.wav"), "--plugin", plugin}, 1,
         "cannot write to the folder"},
        {"binary that does not load", {"render", in, out, "--plugin", files.File("text.so")}, 1,
         "cannot load the plug-in"},
        {"binary without an entry", {"render", in, out, "--plugin", TOLVAR_FAKE_NO_ENTRY_PATH}, 1,
         "has no export named main"},
        {"no binary there", {"render", in, out, "--plugin", files.File("absent.so")}, 1, "no plug-in binary at"},
        {"IR folder missing", {"render", in, out, "--plugin", withoutIrs.PluginPath()}, 1,
         "looked for the folder " + withoutIrs.IrPath("")},
        {"block size zero", {"render", in, out, "--plugin", plugin, "--block", "0"}, 2, "--block"},
        {"output missing", {"render", in}, 2, "OUT is required"},
        {"unknown command", {"mix", in}, 2, "no command \"mix\"; the commands are render, response"},
        {"response of a folder without IRs", {"response", "--plugin", withoutIrs.PluginPath(), "--csv", out}, 1,
         "the IR library is missing"},
        {"output name taken by a folder", {"render", in, files.File("folder.wav"), "--plugin", plugin}, 1,
         "cannot write " + files.File("folder.wav") + ": it is a folder, not a regular file"},
        {"read-only output", {"render", in, locked, "--plugin", plugin}, 1, "it is read-only"},
        {"read-only CSV", {"response", "--csv", locked, "--plugin", plugin}, 1, "it is read-only"},
        {"output is the input", {"render", in, in, "--plugin", plugin}, 2, "is the same file as"},
        {"the input spelt otherwise", {"render", in, files.File("folder.wav/../in.wav"), "--plugin", plugin}, 2,
         "is the same file as"},
    };
    ExpectFailures(calls, files.Path());
    EXPECT_EQ(ReadBytes(out), "an older render");
    EXPECT_EQ(ReadBytes(in).size(), 44u + 2 * 900);
    EXPECT_TRUE(fs::is_empty(files.File("folder.wav")));
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::add);  // so that it can be removed
}

#if defined(_WIN32)
TEST(CliErrors, NodesAndLinks) { GTEST_SKIP() << "no FIFOs, device nodes or POSIX links and modes on Windows"; }
TEST(CliErrors, AnInterruptionLeavesNoTemporaryFile) { GTEST_SKIP() << "no signals on Windows"; }
#else
TEST(CliErrors, NodesAndLinks) {
    LoadedPluginFolder folder;
    TempDir files;
    const std::string in = files.File("in.wav"), plugin = folder.PluginPath();
    ASSERT_TRUE(WriteAudio(in, Audio{44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {std::vector<double>(900, 0.25)}}));
    ASSERT_EQ(mkfifo(files.File("fifo.wav").c_str(), 0644), 0);
    ASSERT_EQ(symlink("fifo.wav", files.File("to-fifo.wav").c_str()), 0);
    ASSERT_EQ(symlink("nowhere.wav", files.File("dangling.wav").c_str()), 0);
    ASSERT_EQ(symlink("in.wav", files.File("to-in.wav").c_str()), 0);
    std::vector<BadCall> calls = {
        {"FIFO", {"render", in, files.File("fifo.wav"), "--plugin", plugin}, 1, "it is a FIFO, not a regular file"},
        {"link to a FIFO", {"render", in, files.File("to-fifo.wav"), "--plugin", plugin}, 1, "it is a FIFO"},
        {"dangling link", {"render", in, files.File("dangling.wav"), "--plugin", plugin}, 1, "a symbolic link to nothing"},
        {"link to the input", {"render", in, files.File("to-in.wav"), "--plugin", plugin}, 2, "is the same file as"}};
    // Like /dev/null, made here; only root may (elsewhere the case is left out).
    if (mknod(files.File("null.wav").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        calls.push_back({"device", {"render", in, files.File("null.wav"), "--plugin", plugin}, 1, "it is a device"});
    ExpectFailures(calls, files.Path());
    EXPECT_TRUE(fs::is_fifo(files.File("fifo.wav")) && fs::is_symlink(files.File("to-fifo.wav")));
    EXPECT_TRUE(!fs::exists(files.File("null.wav")) || fs::is_character_file(files.File("null.wav")));

    // A link to a regular file is written through; the file keeps its mode.
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    WriteBytes(files.File("target.wav"), "an older render");
    fs::permissions(files.File("target.wav"), mode);
    ASSERT_EQ(symlink("target.wav", files.File("name.wav").c_str()), 0);
    ASSERT_EQ(RunTolvar({"render", in, files.File("name.wav"), "--plugin", plugin}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(files.File("name.wav")));
    EXPECT_EQ(ReadAudio(files.File("target.wav")).Frames(), 900u);
    EXPECT_EQ(fs::status(files.File("target.wav")).permissions(), mode);
}

// The input is a FIFO holding a header and a little audio and then nothing:
// SIGINT comes while the program waits for more with its temporary file open.
TEST(CliErrors, AnInterruptionLeavesNoTemporaryFile) {
    LoadedPluginFolder folder;
    TempDir files;
    const std::string fifo = files.File("feed.wav");
    ASSERT_TRUE(WriteAudio(fifo, Audio{44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {std::vector<double>(441000, 0.25)}}));
    const std::string feed = ReadBytes(fifo).substr(0, 40044);
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const int writer = open(fifo.c_str(), O_RDWR);  // held open: the program never sees the end
    ASSERT_EQ(write(writer, feed.data(), feed.size()), static_cast<ssize_t>(feed.size()));
    std::vector<std::string> words = {TOLVAR_CLI_PATH, "render", fifo, files.File("out.wav"), "--plugin",
                                      folder.PluginPath()};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto waiting = [&] { return !FolderContents(files.Path()).front().starts_with(".out.wav.tolvar-"); };
    while (waiting() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(waiting());
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    close(writer);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(FolderContents(files.Path()), std::vector<std::string>{"feed.wav"});
}
#endif

}  // namespace
}  // namespace tolvar::test
