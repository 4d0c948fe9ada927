// tolvar-host-compare: the measuring end of the host tests (tests/hosts/).
//   join LEFT RIGHT OUT          two mono files (a workstation's recorded take) as one stereo float WAV
//   residual HOST REF [options]  host render minus reference over an aligned range, in dB; fails above --max-db
//   departure HOST REF [options] the first reference frame where the host's render leaves the reference
//   noise OUT --rate R --seconds S  a stereo test signal: independent white noise per channel, the same on every run
#include <cstdio>
#include <exception>
#include <random>
#include <string>

#include <CLI/CLI.hpp>

#include "tests/hosts/render_compare.h"
#include "tests/hosts/whole_sound_file.h"

namespace {

using tolvar::hosts::Alignment;
using tolvar::hosts::WholeSoundFile;

struct Inputs {
    std::string host, reference;
    long shift = 0;
    std::size_t from = 0, to = 0;  // to == 0: the reference's end, or as far as the host's render reaches
};

void AddInputs(CLI::App& command, Inputs& inputs) {
    command.add_option("HOST", inputs.host, "the host's render")->required()->check(CLI::ExistingFile);
    command.add_option("REF", inputs.reference, "the reference render")->required()->check(CLI::ExistingFile);
    command.add_option("--shift", inputs.shift, "host frame = reference frame + SHIFT (a latency the host left in)");
    command.add_option("--from", inputs.from, "first reference frame compared");
    command.add_option("--to", inputs.to, "reference frame after the last compared");
}

Alignment AlignmentOf(const Inputs& inputs, const WholeSoundFile& host, const WholeSoundFile& reference) {
    std::size_t to = inputs.to;
    if (to == 0) {
        const long hostReach = static_cast<long>(host.Frames()) - inputs.shift;
        to = hostReach < static_cast<long>(reference.Frames()) ? static_cast<std::size_t>(std::max(0L, hostReach))
                                                               : reference.Frames();
    }
    return {inputs.shift, inputs.from, to};
}

int Join(const std::string& left, const std::string& right, const std::string& out) {
    const WholeSoundFile l = tolvar::hosts::ReadWholeSoundFile(left);
    const WholeSoundFile r = tolvar::hosts::ReadWholeSoundFile(right);
    if (l.channels != 1 || r.channels != 1 || l.rate != r.rate || l.Frames() != r.Frames())
        throw std::runtime_error("join needs two mono files of the same rate and length");
    WholeSoundFile stereo{2, l.rate, {}};
    stereo.samples.reserve(2 * l.Frames());
    for (std::size_t n = 0; n < l.Frames(); ++n) {
        stereo.samples.push_back(l.samples[n]);
        stereo.samples.push_back(r.samples[n]);
    }
    tolvar::hosts::WriteFloatWav(out, stereo);
    return 0;
}

int Residual(const Inputs& inputs, double maxDb) {
    const WholeSoundFile host = tolvar::hosts::ReadWholeSoundFile(inputs.host);
    const WholeSoundFile reference = tolvar::hosts::ReadWholeSoundFile(inputs.reference);
    const Alignment alignment = AlignmentOf(inputs, host, reference);
    const auto residual = tolvar::hosts::MeasureResidual(host, reference, alignment);
    const bool pass = residual.rmsDb <= maxDb && residual.peakDb <= maxDb;
    std::printf("residual %.1f dB RMS, %.1f dB peak over frames %zu..%zu (host shifted by %ld): %s (limit %.1f dB)\n",
                residual.rmsDb, residual.peakDb, alignment.from, alignment.to, alignment.shift,
                pass ? "pass" : "FAIL", maxDb);
    return pass ? 0 : 1;
}

int Departure(const Inputs& inputs, double thresholdDb) {
    const WholeSoundFile host = tolvar::hosts::ReadWholeSoundFile(inputs.host);
    const WholeSoundFile reference = tolvar::hosts::ReadWholeSoundFile(inputs.reference);
    const auto frame = tolvar::hosts::FirstDeparture(host, reference, AlignmentOf(inputs, host, reference), thresholdDb);
    if (frame)
        std::printf("%zu\n", *frame);
    else
        std::printf("none\n");
    return 0;
}

// Uniform white noise at -12 dBFS peak (about -17 dBFS RMS), leaving room for boosts.
int Noise(const std::string& out, int rate, double seconds) {
    std::mt19937 generator(20240611);
    std::uniform_real_distribution<double> uniform(-0.25, 0.25);
    WholeSoundFile noise{2, rate, std::vector<double>(2 * static_cast<std::size_t>(rate * seconds))};
    for (double& sample : noise.samples) sample = uniform(generator);
    tolvar::hosts::WriteFloatWav(out, noise);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("Compares a host's render with a reference render.", "tolvar-host-compare");
    app.require_subcommand(1);

    std::string left, right, out;
    CLI::App* join = app.add_subcommand("join", "two mono files as one stereo float WAV");
    join->add_option("LEFT", left)->required()->check(CLI::ExistingFile);
    join->add_option("RIGHT", right)->required()->check(CLI::ExistingFile);
    join->add_option("OUT", out)->required();

    Inputs residualInputs;
    double maxDb = -100.0;
    CLI::App* residual = app.add_subcommand("residual", "residual RMS and peak in dB against the reference");
    AddInputs(*residual, residualInputs);
    residual->add_option("--max-db", maxDb, "fail when the RMS or peak residual exceeds this");

    Inputs departureInputs;
    double thresholdDb = -60.0;
    CLI::App* departure = app.add_subcommand("departure", "first frame at which the host leaves the reference");
    AddInputs(*departure, departureInputs);
    departure->add_option("--threshold-db", thresholdDb, "difference, against the reference's peak, that counts");

    std::string noiseOut;
    int rate = 48000;
    double seconds = 5.0;
    CLI::App* noise = app.add_subcommand("noise", "a stereo white-noise test signal, the same on every run");
    noise->add_option("OUT", noiseOut)->required();
    noise->add_option("--rate", rate)->check(CLI::Range(8000, 192000));
    noise->add_option("--seconds", seconds)->check(CLI::Range(0.1, 600.0));

    CLI11_PARSE(app, argc, argv);
    try {
        if (join->parsed()) return Join(left, right, out);
        if (residual->parsed()) return Residual(residualInputs, maxDb);
        if (noise->parsed()) return Noise(noiseOut, rate, seconds);
        return Departure(departureInputs, thresholdDb);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tolvar-host-compare: %s\n", error.what());
        return 2;
    }
}
