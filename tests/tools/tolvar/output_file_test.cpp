// Where tolvar writes: a regular file or a free name, never its own input,
// nothing hidden left behind when it is interrupted, a replaced file's
// permissions kept.
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

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/plugin/loaded_plugin.h"
#include "tests/tools/tolvar/cli_run.h"

namespace tolvar::test {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteAudio(in, Audio{44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {std::vector<double>(900, 0.25)}}));
    }

    CliRun Render(const std::string& out) { return RunTolvar({"render", in, out, "--plugin", folder.pluginPath()}); }

    std::vector<std::string> Contents() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(files.path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Refused with one line, exit code and folder as they were.
    void ExpectRefused(const std::vector<std::string>& arguments, int exitCode, const std::string& message) {
        const std::vector<std::string> before = Contents();
        const CliRun run = RunTolvar(arguments);
        EXPECT_EQ(run.exitCode, exitCode) << arguments[2] << ": " << run.err;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(Contents(), before) << arguments[2];
    }

    LoadedPluginFolder folder;
    TempDir files;
    const std::string in = files.File("in.wav");
};

TEST_F(OutputFileTest, RefusesAReadOnlyFileAndTheInputUnderAnyName) {
    const std::string locked = files.File("locked.wav");
    WriteBytes(locked, "an older render");
    fs::permissions(locked, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(files.File("sub"));
    const std::string plugin = folder.pluginPath();
    ExpectRefused({"render", in, locked, "--plugin", plugin}, 1, "it is read-only");
    ExpectRefused({"response", "--plugin", plugin, "--csv", locked}, 1, "it is read-only");
    EXPECT_EQ(ReadBytes(locked), "an older render");
    const std::string input = ReadBytes(in);
    ExpectRefused({"render", in, in, "--plugin", plugin}, 2, "is the same file as");
    ExpectRefused({"render", in, files.File("sub/../in.wav"), "--plugin", plugin}, 2, "is the same file as");
    EXPECT_EQ(ReadBytes(in), input);
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::add);
}

#if defined(_WIN32)
TEST_F(OutputFileTest, RefusesWhatIsNotARegularFile) { GTEST_SKIP() << "no FIFOs, devices or POSIX links on Windows"; }
TEST_F(OutputFileTest, WritesThroughALinkAndKeepsThePermissions) { GTEST_SKIP() << "no POSIX links or modes on Windows"; }
TEST_F(OutputFileTest, AnInterruptionLeavesNoTemporaryFile) { GTEST_SKIP() << "no signals on Windows"; }
#else
TEST_F(OutputFileTest, RefusesWhatIsNotARegularFile) {
    ASSERT_EQ(mkfifo(files.File("fifo.wav").c_str(), 0644), 0);
    ASSERT_EQ(symlink("fifo.wav", files.File("to-fifo.wav").c_str()), 0);
    ASSERT_EQ(symlink("nowhere.wav", files.File("dangling.wav").c_str()), 0);
    ASSERT_EQ(symlink("in.wav", files.File("to-in.wav").c_str()), 0);
    ASSERT_EQ(link(in.c_str(), files.File("hard.wav").c_str()), 0);
    // Like /dev/null, made here; only root may (elsewhere that case is left out).
    const bool device = mknod(files.File("null.wav").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const std::string plugin = folder.pluginPath();
    ExpectRefused({"render", in, files.File("fifo.wav"), "--plugin", plugin}, 1, "it is a FIFO, not a regular file");
    ExpectRefused({"render", in, files.File("to-fifo.wav"), "--plugin", plugin}, 1, "it is a FIFO");
    ExpectRefused({"response", "--plugin", plugin, "--plot", files.File("fifo.wav")}, 1, "it is a FIFO");
    ExpectRefused({"render", in, files.File("dangling.wav"), "--plugin", plugin}, 1, "a symbolic link to nothing");
    ExpectRefused({"render", in, files.File("to-in.wav"), "--plugin", plugin}, 2, "is the same file as");
    ExpectRefused({"render", in, files.File("hard.wav"), "--plugin", plugin}, 2, "is the same file as");
    if (device) ExpectRefused({"render", in, files.File("null.wav"), "--plugin", plugin}, 1, "it is a device");
    EXPECT_TRUE(fs::is_fifo(files.File("fifo.wav")));
    EXPECT_TRUE(fs::is_symlink(files.File("to-fifo.wav")));
    EXPECT_TRUE(!device || fs::is_character_file(files.File("null.wav")));
    if (!device) std::printf("[  NOTE    ] the device node case needs root to mknod; left out\n");
}

TEST_F(OutputFileTest, WritesThroughALinkAndKeepsThePermissions) {
    const std::string target = files.File("target.wav"), name = files.File("name.wav");
    WriteBytes(target, "an older render");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(symlink("target.wav", name.c_str()), 0);
    const CliRun run = Render(name);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(name));
    EXPECT_EQ(ReadAudio(target).frames(), 900u);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// The input is a FIFO that the test feeds and then leaves waiting, so the
// render is stopped while its temporary file is open.
TEST_F(OutputFileTest, AnInterruptionLeavesNoTemporaryFile) {
    const std::string fifo = files.File("feed.wav"), out = files.File("out.wav");
    ASSERT_TRUE(WriteAudio(files.File("long.wav"),
                           Audio{44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {std::vector<double>(441000, 0.25)}}));
    const std::string feed = ReadBytes(files.File("long.wav")).substr(0, 44 + 2 * 20000);
    fs::remove(files.File("long.wav"));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);

    std::vector<std::string> words = {TOLVAR_CLI_PATH, "render", fifo, out, "--plugin", folder.pluginPath()};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int writer = -1;
    while (writer < 0 && std::chrono::steady_clock::now() < deadline) {
        writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // fails until the program opens it
        if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GE(writer, 0);
    fcntl(writer, F_SETFL, 0);
    ASSERT_EQ(write(writer, feed.data(), feed.size()), static_cast<ssize_t>(feed.size()));
    const auto temporary = [&] {
        for (const std::string& name : Contents())
            if (name.starts_with(".out.wav.tolvar-")) return true;
        return false;
    };
    while (!temporary() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(temporary());
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    close(writer);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(Contents(), (std::vector<std::string>{"feed.wav", "in.wav"}));
}
#endif

}  // namespace
}  // namespace tolvar::test
