#include "tools/validate/validate_command.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/validate/subject.h"
#include "tools/validate/test_runner.h"
#include "tools/validate/validator_tests.h"

namespace tolvar::validate {
namespace {

struct Options {
    std::string pluginPath;
    TestSettings settings;
    int repeat = 1;
    std::vector<std::string> only;  // name prefixes to run; all when empty
    std::vector<std::string> skip;  // name prefixes not to run
    bool list = false;
};

const char kUsage[] =
    "usage: %s PLUGIN [--strictness 1..10] [--seed N] [--repeat K] [--only NAMES] [--skip NAMES] [--list]\n"
    "  Validates a VST 2 plug-in binary through the stand-in host.\n"
    "  --strictness  how much of each test's space is covered (default 5)\n"
    "  --seed        seed of every random choice (default 1)\n"
    "  --repeat      runs every test K times with seeds N, N+1, ... (default 1)\n"
    "  --only/--skip comma-separated test name prefixes (e.g. audio,params.texts)\n"
    "  --list        prints the test names and exits\n";

std::vector<std::string> SplitNames(const std::string& text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find(',', start);
        const std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!name.empty()) names.push_back(name);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return names;
}

bool ParseInteger(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end && *end == '\0' && end != text && value >= low && value <= high;
}

// False, with the reason printed, on a usage error.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long value = 0;
        if (arg == "--strictness" && hasValue && ParseInteger(argv[i + 1], 1, 10, value)) {
            options.settings.strictness = static_cast<int>(value), ++i;
        } else if (arg == "--seed" && hasValue && ParseInteger(argv[i + 1], 0, 0xffffffffL, value)) {
            options.settings.seed = static_cast<uint32_t>(value), ++i;
        } else if (arg == "--repeat" && hasValue && ParseInteger(argv[i + 1], 1, 1000, value)) {
            options.repeat = static_cast<int>(value), ++i;
        } else if (arg == "--only" && hasValue) {
            options.only = SplitNames(argv[++i]);
        } else if (arg == "--skip" && hasValue) {
            options.skip = SplitNames(argv[++i]);
        } else if (arg == "--list") {
            options.list = true;
        } else if (!arg.empty() && arg[0] != '-' && options.pluginPath.empty()) {
            options.pluginPath = arg;
        } else if (arg == "--strictness" || arg == "--seed" || arg == "--repeat" || arg == "--only" || arg == "--skip") {
            std::fprintf(stderr, "%s: %s\n", arg.c_str(), hasValue ? ("bad value " + std::string(argv[i + 1])).c_str() : "needs a value");
            return false;
        } else {
            std::fprintf(stderr, "bad argument: %s\n", arg.c_str());
            return false;
        }
    }
    if (options.pluginPath.empty() && !options.list) {
        std::fprintf(stderr, "no plug-in given\n");
        return false;
    }
    return true;
}

bool MatchesAny(const std::string& name, const std::vector<std::string>& prefixes) {
    for (const std::string& prefix : prefixes)
        if (name.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

std::vector<ValidatorTest> SelectedTests(const Options& options) {
    std::vector<ValidatorTest> selected;
    for (ValidatorTest& test : AllTests(options.settings)) {
        if (!options.only.empty() && !MatchesAny(test.name, options.only)) continue;
        if (MatchesAny(test.name, options.skip)) continue;
        selected.push_back(std::move(test));
    }
    return selected;
}

void PrintFacts(const Subject& subject) {
    const PluginFacts& facts = subject.Facts();
    std::printf("plug-in: \"%s\" by \"%s\", id %08x, version %d, %d in, %d out, %d parameters, flags 0x%x%s\n",
                facts.effectName.c_str(), facts.vendor.c_str(), static_cast<unsigned>(facts.uniqueId), facts.version,
                facts.numInputs, facts.numOutputs, facts.numParams, static_cast<unsigned>(facts.flags),
                subject.Ours() ? " (ours: tested on a copy with the validator's own IR folder)" : "");
}

}  // namespace

int RunValidateCommand(int argc, char** argv) {
    const char* self = argc > 0 && argv[0] ? argv[0] : "validate";
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, kUsage, self);
        return 2;
    }
    const std::vector<ValidatorTest> tests = SelectedTests(options);
    if (options.list) {
        for (const ValidatorTest& test : tests) std::printf("%s\n", test.name.c_str());
        return 0;
    }
    std::string error;
    std::unique_ptr<Subject> subject = Subject::Open(options.pluginPath, &error);
    if (!subject) {
        std::fprintf(stderr, "%s: cannot validate %s: %s\n", self, options.pluginPath.c_str(), error.c_str());
        return 2;
    }
    PrintFacts(*subject);
    const std::string repeats = options.repeat > 1 ? ", each " + std::to_string(options.repeat) + " times" : "";
    std::printf("strictness %d, seed %u, %d tests%s\n", options.settings.strictness, options.settings.seed,
                static_cast<int>(tests.size()), repeats.c_str());
    std::fflush(stdout);
    const RunCounts counts = RunTests(tests, *subject, options.settings, options.repeat, stdout);
    PrintCounts(counts, stdout);
    return counts.failed > 0 ? 1 : 0;
}

}  // namespace tolvar::validate
