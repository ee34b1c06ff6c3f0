// Deterministic tree generator for the benchmarks.
//
//   gentree small ROOT COUNT   COUNT files of 0-8 KiB, 100 per folder, three folder levels
//   gentree large ROOT COUNT SIZE_MIB   COUNT files of SIZE_MIB each, in ROOT
//   gentree touch ROOT PERCENT   sets a new last-write time on every (100/PERCENT)-th file
//   gentree wide ROOT COUNT FOLDERS   COUNT files of 0-8 KiB spread evenly over FOLDERS folders of ROOT
//
// small and large always give the same names, sizes, contents and times; touch takes its times from the
// clock so that every call changes the files again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

uint64_t Next(uint64_t& state) { // xorshift64*, deterministic across machines
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ULL;
}

void SetTime(const fs::path& path, time_t seconds) {
    struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
    if (utimes(path.c_str(), times) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

void WriteFile(const fs::path& path, size_t size, uint64_t& state) {
    std::vector<char> data(size);
    for (size_t i = 0; i < size; i += 8) {
        const uint64_t v = Next(state);
        for (size_t k = 0; k < 8 && i + k < size; ++k) {
            data[i + k] = static_cast<char>(v >> (8 * k));
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// Folder of file i: 100 files per folder, folders spread over three levels (L1/L2/L3).
fs::path SmallFilePath(const fs::path& root, long i) {
    const long folder = i / 100;
    char name[64];
    std::snprintf(name, sizeof name, "d%02ld/d%02ld/d%02ld", folder / 100 % 100, folder / 10 % 10, folder % 10);
    char file[32];
    std::snprintf(file, sizeof file, "f%06ld.dat", i);
    return root / name / file;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: gentree small ROOT COUNT | large ROOT COUNT SIZE_MIB | touch ROOT PERCENT\n");
        return 2;
    }
    const std::string mode = argv[1];
    const fs::path root = argv[2];
    const long count = std::atol(argv[3]);
    const time_t base = 1700000000; // a fixed, past last-write time
    uint64_t state = 0x9E3779B97F4A7C15ULL;

    if (mode == "small") {
        for (long i = 0; i < count; ++i) {
            const fs::path path = SmallFilePath(root, i);
            if (i % 100 == 0) {
                fs::create_directories(path.parent_path());
            }
            WriteFile(path, Next(state) % (8 * 1024 + 1), state);
            SetTime(path, base + i);
        }
    } else if (mode == "large") {
        if (argc < 5) {
            return 2;
        }
        const size_t size = static_cast<size_t>(std::atol(argv[4])) << 20;
        fs::create_directories(root);
        for (long i = 0; i < count; ++i) {
            const fs::path path = root / ("big" + std::to_string(i) + ".bin");
            WriteFile(path, size, state);
            SetTime(path, base + i);
        }
    } else if (mode == "wide") {
        const long folders = argc < 5 ? 0 : std::atol(argv[4]);
        if (folders <= 0) {
            return 2;
        }
        const long perFolder = (count + folders - 1) / folders;
        for (long i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "w%02ld", i / perFolder);
            char file[32];
            std::snprintf(file, sizeof file, "f%07ld.dat", i);
            const fs::path path = root / name / file;
            if (i % perFolder == 0) {
                fs::create_directories(path.parent_path());
            }
            WriteFile(path, Next(state) % (8 * 1024 + 1), state);
            SetTime(path, base + i);
        }
    } else if (mode == "touch") {
        const long percent = count;
        long n = 0;
        const long step = percent > 0 ? 100 / percent : 0;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (entry.is_regular_file() && step > 0 && n++ % step == 0) {
                SetTime(entry.path(), time(nullptr) - n);
            }
        }
    } else {
        return 2;
    }
    return 0;
}
