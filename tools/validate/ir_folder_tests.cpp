// Our IR folder under attack: missing, unreadable, looping, truncated, lying
// about its rates and lengths, huge, or too deep for a file path. Every section
// that cannot be used is left out; the rest works.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#endif

#include "composer/ir_file_names.h"
#include "composer/ir_library_layout.h"
#include "host/audio_file.h"
#include "params/param_info.h"
#include "tools/validate/heard_response.h"
#include "tools/validate/plugin_checks.h"
#include "tools/validate/subject.h"
#include "tools/validate/validator_tests.h"

namespace tolvar::validate {
namespace {

namespace fs = std::filesystem;

constexpr float kMicPreamp = 0.25f;  // selects misc_mic_pre.wav, the first section read
constexpr const char* kMicFile = "misc_mic_pre.wav";

std::vector<NamedFile> PutDefaults(Subject& subject) {
    subject.OurIrFolder().Clear();
    const auto taps = PutDefaultSections(subject, static_cast<int>(kHostRate));
    std::vector<NamedFile> files;
    for (int i = 0; i < 4; ++i) files.emplace_back(kDefaultSectionFiles[i], taps[static_cast<std::size_t>(i)]);
    return files;
}

std::vector<NamedFile> Except(std::vector<NamedFile> files, std::initializer_list<int> leftOut) {
    std::vector<NamedFile> kept;
    for (int i = 0; i < static_cast<int>(files.size()); ++i)
        if (std::find(leftOut.begin(), leftOut.end(), i) == leftOut.end()) kept.push_back(files[static_cast<std::size_t>(i)]);
    return kept;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Ours, at the defaults: the composite heard must be that of `used`.
void Expect(Subject& subject, const std::vector<NamedFile>& used, const std::string& what, Findings& findings,
            std::vector<std::pair<int, float>> settings = {}) {
    ExpectComposite(subject, subject.Path(), settings, used, what, findings);
}

TestResult Missing(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    Findings findings;
    PutDefaults(subject);
    fs::remove_all(subject.OurIrFolder().Folder());
    Expect(subject, {}, "no IR folder", findings);
    std::ofstream(subject.OurIrFolder().Folder()) << "a file where the folder should be";
    Expect(subject, {}, "a file in the IR folder's place", findings);
    subject.OurIrFolder().Clear();
    return findings.Result("no folder, and a file in its place: every section left out, the audio unchanged");
}

TestResult Unreadable(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    Findings findings;
    const std::vector<NamedFile> files = PutDefaults(subject);
    const IrFolder& folder = subject.OurIrFolder();
    fs::remove(folder.Path(files[1].first));
    fs::create_directory(folder.Path(files[1].first));
    Expect(subject, Except(files, {1}), "a folder in place of a section file", findings);
    folder.Clear();
    return findings.Result("a folder in place of a section file: left out, the other three used");
}

// A FIFO: opening it for reading would wait for a writer forever.
TestResult Fifo(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
#if defined(_WIN32)
    return Skipped("Windows file systems have no FIFOs");
#else
    Findings findings;
    const std::vector<NamedFile> files = PutDefaults(subject);
    const IrFolder& folder = subject.OurIrFolder();
    fs::remove(folder.Path(files[2].first));
    if (mkfifo(folder.Path(files[2].first).c_str(), 0644) != 0)
        return Skipped("a FIFO cannot be made here: " + std::string(std::strerror(errno)));
    Expect(subject, Except(files, {2}), "a FIFO in place of a section file", findings);
    folder.Clear();
    return findings.Result("a FIFO in place of a section file: left out, the other three used");
#endif
}

TestResult DanglingLink(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    Findings findings;
    const std::vector<NamedFile> files = PutDefaults(subject);
    const IrFolder& folder = subject.OurIrFolder();
    std::error_code linkError;
    fs::remove(folder.Path(files[3].first));
    fs::create_symlink("nowhere.wav", folder.Path(files[3].first), linkError);
    if (linkError) return Skipped("symbolic links cannot be made here: " + linkError.message());
    Expect(subject, Except(files, {3}), "a dangling link in place of a section file", findings);
    folder.Clear();
    return findings.Result("a dangling link in place of a section file: left out, the other three used");
}

TestResult SymlinkLoop(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    Findings findings;
    const std::vector<NamedFile> files = PutDefaults(subject);
    const IrFolder& folder = subject.OurIrFolder();
    std::error_code linkError;
    fs::remove(folder.Path(files[1].first));
    fs::create_symlink("loop-b.wav", folder.Path("loop-a.wav"), linkError);
    fs::create_symlink("loop-a.wav", folder.Path("loop-b.wav"), linkError);
    fs::create_symlink("loop-a.wav", folder.Path(files[1].first), linkError);
    if (linkError) return Skipped("symbolic links cannot be made here: " + linkError.message());
    Expect(subject, Except(files, {1}), "a file that is a link loop", findings);
    fs::remove_all(folder.Folder());
    fs::create_symlink(fs::path(folder.Folder()).filename(), folder.Folder(), linkError);
    Expect(subject, {}, "an IR folder that is a link to itself", findings);
    folder.Clear();
    return findings.Result("a section file and the folder itself as link loops: left out");
}

TestResult TruncatedHeaders(Subject& subject, const TestSettings& settings) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    Findings findings;
    const std::vector<NamedFile> files = PutDefaults(subject);
    const IrFolder& folder = subject.OurIrFolder();
    const std::string whole = ReadAll(folder.Path(files[1].first));
    const std::size_t data = whole.find("data");
    if (data == std::string::npos) return Failed("the validator's own WAV file has no data chunk");
    const std::size_t headerEnd = data + 8;
    const int stride = settings.strictness >= 8 ? 1 : 11 - settings.strictness;
    int cases = 0;
    for (std::size_t cut = 0; cut <= headerEnd + 12; cut += static_cast<std::size_t>(stride), ++cases) {
        folder.PutBytes(files[1].first, whole.substr(0, cut));
        // What the host's media source serves for these bytes decides what the
        // plug-in must do: the frames it delivers, or the section left out.
        const MonoAudio served = DecodeMonoAudioFile(folder.Path(files[1].first).c_str());
        std::vector<NamedFile> used = Except(files, {1});
        if (served.decoded && !served.samples.empty())
            used.insert(used.begin() + 1, NamedFile{files[1].first + " (cut)", served.samples});
        Expect(subject, used, files[1].first + " cut to " + std::to_string(cut) + " bytes", findings);
    }
    folder.Clear();
    return findings.Result(std::to_string(cases) + " cuts through the first " + std::to_string(headerEnd + 12) +
                           " bytes (the header ends at " + std::to_string(headerEnd) + ")");
}

// The first section read (the input model) has a header that lies about its rate.
TestResult AbsurdRates(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    Findings findings;
    const std::vector<NamedFile> files = PutDefaults(subject);
    const std::vector<double> taps = SectionTaps(200, 400);
    for (uint32_t rate : {1u, 1000u, 7999u, 768001u, 1000000u, 0x7fffffffu}) {
        subject.OurIrFolder().PutBytes(kMicFile, FloatWavBytes(taps, rate));
        Expect(subject, files, std::string(kMicFile) + " at " + std::to_string(rate) + " Hz (outside 8 kHz to 768 kHz)",
               findings, {{kParamInputMode, kMicPreamp}});
    }
    subject.OurIrFolder().Clear();
    return findings.Result("six rates outside 8 kHz to 768 kHz: the file left out, the other sections at their own rate");
}

TestResult AbsurdLengths(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    Findings findings;
    const std::vector<NamedFile> files = PutDefaults(subject);
    const IrFolder& folder = subject.OurIrFolder();
    // A data chunk that claims far more than the file holds: what is there is used.
    const std::vector<double> taps = SectionTaps(300, 401);
    folder.PutBytes(kMicFile, FloatWavBytes(taps, static_cast<uint32_t>(kHostRate), 0xfffffff0u));
    const MonoAudio served = DecodeMonoAudioFile(folder.Path(kMicFile).c_str());
    std::vector<NamedFile> used = files;
    if (served.decoded && !served.samples.empty()) used.insert(used.begin(), NamedFile{kMicFile, served.samples});
    Expect(subject, used, "a data chunk claiming 4 GB over 300 frames", findings, {{kParamInputMode, kMicPreamp}});
    // Just over ten seconds: too long to be a response; left out.
    folder.Put(kMicFile, SectionTaps(static_cast<int>(10.1 * kHostRate), 402), static_cast<int>(kHostRate));
    Expect(subject, files, std::string(kMicFile) + " of 10.1 s (longer than 10 s)", findings,
           {{kParamInputMode, kMicPreamp}});
    folder.Clear();
    return findings.Result("a lying data length used for what is there; a 10.1 s file left out");
}

TestResult HugeFile(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    Findings findings;
    const std::vector<NamedFile> files = PutDefaults(subject);
    subject.OurIrFolder().Put(kMicFile, SectionTaps(static_cast<int>(30 * kHostRate), 403),
                              static_cast<int>(kHostRate));
    Expect(subject, files, std::string(kMicFile) + " of 30 s", findings, {{kParamInputMode, kMicPreamp}});
    subject.OurIrFolder().Clear();
    return findings.Result("a 30 s file (5 MB) left out; the rest used");
}

// A copy so deep that the folder leaves room for the 9-character names of two
// default sections in a 512-byte file path (terminator included) but not for
// the 10-character names of the other two.
TestResult PathTooLong(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
#if defined(_WIN32)
    return Skipped("folders this deep need long-path support, which a Windows process cannot count on");
#endif
    const std::size_t folderPrefix = kIrPathBytes - 1 - 9;  // "<dir>/tolvar/"
    const std::size_t dirLength = folderPrefix - (std::string("/") + kIrFolderName + "/").size();
    std::string subfolder = "deep";
    const std::size_t base = subject.Workspace().size() + 1;
    while (base + subfolder.size() < dirLength) {
        const std::size_t room = dirLength - base - subfolder.size() - 1;
        subfolder += "/" + std::string(std::min<std::size_t>(room, 200), 'd');
    }
    if (base + subfolder.size() != dirLength) return Failed("the validator could not build a folder of the length it needs");
    const std::string copy = subject.NewCopy(subfolder);
    const IrFolder folder(IrFolderBeside(copy));
    std::vector<NamedFile> files;
    for (int i = 0; i < 4; ++i) {
        files.emplace_back(kDefaultSectionFiles[i], SectionTaps(60 + 10 * i, 500 + static_cast<unsigned>(i)));
        folder.Put(files.back().first, files.back().second, static_cast<int>(kHostRate));
    }
    Findings findings;
    ExpectComposite(subject, copy, {}, Except(files, {2, 3}), "IR folder path of " + std::to_string(folderPrefix) + " bytes",
                    findings);
    return findings.Result("file paths of 511 bytes used, of 512 and more left out");
}

}  // namespace

void AddIrFolderTests(std::vector<ValidatorTest>& tests, const TestSettings&) {
    tests.push_back({"ir-folder.missing", Missing});
    tests.push_back({"ir-folder.unreadable", Unreadable});
    tests.push_back({"ir-folder.fifo", Fifo});
    tests.push_back({"ir-folder.dangling-link", DanglingLink});
    tests.push_back({"ir-folder.symlink-loop", SymlinkLoop});
    tests.push_back({"ir-folder.truncated-headers", TruncatedHeaders});
    tests.push_back({"ir-folder.absurd-rates", AbsurdRates});
    tests.push_back({"ir-folder.absurd-lengths", AbsurdLengths});
    tests.push_back({"ir-folder.huge-file", HugeFile});
    tests.push_back({"ir-folder.path-too-long", PathTooLong});
}

}  // namespace tolvar::validate
