// What the user sees when a command cannot do its work: one line on stderr, a
// non-zero exit code, and no file (partial or not) under the output's name.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>

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
    const std::string plugin = folder.pluginPath();

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
        {"IR folder missing", {"render", in, out, "--plugin", withoutIrs.pluginPath()}, 1,
         "looked for the folder " + withoutIrs.IrPath("")},
        {"block size zero", {"render", in, out, "--plugin", plugin, "--block", "0"}, 2, "--block"},
        {"output missing", {"render", in}, 2, "OUT is required"},
        {"unknown command", {"mix", in}, 2, "no command \"mix\"; the commands are render, response"},
        {"response of a folder without IRs", {"response", "--plugin", withoutIrs.pluginPath(), "--csv", out}, 1,
         "the IR library is missing"},
        {"output name taken by a folder", {"render", in, files.File("folder.wav"), "--plugin", plugin}, 1,
         "cannot write " + files.File("folder.wav")},
    };
    for (const BadCall& call : calls) {
        const CliRun run = RunTolvar(call.arguments);
        EXPECT_EQ(run.exitCode, call.exitCode) << call.what << ": " << run.err;
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << call.what << ": " << run.err;
        EXPECT_EQ(lines[0].rfind("tolvar: ", 0), 0u) << call.what << ": " << lines[0];
        EXPECT_NE(lines[0].find(call.message), std::string::npos) << call.what << ": " << lines[0];
        EXPECT_EQ(FolderContents(files.path()),
                  (std::vector<std::string>{"fast.wav", "folder.wav", "in.wav", "kept.wav", "six.wav", "text.so"}))
            << call.what;
        EXPECT_EQ(ReadBytes(out), "an older render") << call.what;
        EXPECT_TRUE(fs::is_empty(files.File("folder.wav"))) << call.what;
    }
}

}  // namespace
}  // namespace tolvar::test
