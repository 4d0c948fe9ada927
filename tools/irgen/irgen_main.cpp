// tolvar-irgen OUTDIR: writes the whole IR library (764 WAV files) into OUTDIR,
// creating it when needed. The same bytes on every run.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/irgen/library_catalogue.h"
#include "tools/irgen/wav_writer.h"

namespace {

using tolvar::irgen::LibraryFile;

// Designs and writes the files, sharing them out among a few threads; false
// after the first failure (which is reported).
bool WriteLibrary(const std::vector<LibraryFile>& files, const std::filesystem::path& folder) {
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex reportLock;
    const auto work = [&] {
        for (size_t i = next++; i < files.size() && !failed; i = next++) {
            const std::string path = (folder / files[i].name).string();
            std::string error;
            bool written = false;
            try {
                const std::vector<double> impulse = tolvar::irgen::DesignImpulse(files[i]);
                written = tolvar::irgen::WriteMonoFloatWav(path, impulse, tolvar::irgen::kLibraryRate, &error);
            } catch (const std::exception& e) {
                error = e.what();
            }
            if (!written) {
                const std::lock_guard<std::mutex> hold(reportLock);
                std::fprintf(stderr, "tolvar-irgen: cannot write %s: %s\n", path.c_str(), error.c_str());
                failed = true;
            }
        }
    };
    const unsigned threadCount = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < threadCount; ++t) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
    return !failed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: tolvar-irgen OUTDIR\n"
                             "Writes the Tolvar IR library (mono 96 kHz float WAV files) into OUTDIR.\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "tolvar-irgen: cannot create the folder %s\n", argv[1]);
        return 1;
    }
    const std::vector<LibraryFile> files = tolvar::irgen::LibraryCatalogue();
    if (!WriteLibrary(files, folder)) return 1;
    std::printf("tolvar-irgen: wrote %zu files to %s\n", files.size(), argv[1]);
    return 0;
}
