// Path normalisation, recursive file iteration and the CRC-32 of a file,
// each beside the peer a user would otherwise pick.
#include "zvBenchSupport.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsEntryName.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// 1,000 mixed texts: the library's form and the same path as a POSIX text.
struct pathTexts {
    std::vector<zv::string> windows;
    std::vector<fs::path> posix;
};

const pathTexts& texts() {
    static const pathTexts t = [] {
        pathTexts r;
        std::mt19937 rng(42);
        const char* parts[] = {"data",     "x",      ".", "..",   "Program Files",
                               "a.tar.gz", "report", "",  "2024", "sub"};
        for (int i = 0; i < 1000; ++i) {
            std::string w = (i % 3 == 0) ? "c:/" : "C:\\";
            std::string p = "/";
            const int n = 3 + static_cast<int>(rng() % 8);
            for (int k = 0; k < n; ++k) {
                const std::string part = parts[rng() % 10];
                const char* sep = (rng() % 2) ? "\\" : "/";
                w += part + sep;
                p += part + "/";
            }
            w += "file" + std::to_string(i) + ".txt";
            p += "file" + std::to_string(i) + ".txt";
            r.windows.emplace_back(std::wstring(w.begin(), w.end()));
            r.posix.emplace_back(p);
        }
        return r;
    }();
    return t;
}

void pathnorm_zv(benchmark::State& state) {
    const pathTexts& t = texts();
    zv::fsEntryName name;
    for (auto _ : state) {
        for (const zv::string& text : t.windows) {
            name.setName(text, false);
            benchmark::DoNotOptimize(name.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

void pathnorm_stdfs(benchmark::State& state) {
    const pathTexts& t = texts();
    for (auto _ : state) {
        for (const fs::path& p : t.posix) {
            fs::path n = p.lexically_normal();
            benchmark::DoNotOptimize(n.native().data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

zvbench::benchFolder& folder() {
    static zvbench::benchFolder f("zvbench-fs-");
    return f;
}

// 100 folders of 100 files each, below two levels.
const fs::path& tree() {
    static const fs::path root = [] {
        const fs::path r = folder().path() / "tree";
        for (int d = 0; d < 100; ++d) {
            const fs::path dir = r / ("level" + std::to_string(d % 10)) / ("dir" + std::to_string(d));
            fs::create_directories(dir);
            for (int f = 0; f < 100; ++f)
                std::ofstream(dir / ("file" + std::to_string(f) + ".dat")) << 'x';
        }
        return r;
    }();
    return root;
}

void fileiter_zv(benchmark::State& state) {
    const zv::directory dir = zv::fsEntryName::fromHostPath(tree().wstring(), true);
    std::size_t count = 0;
    for (auto _ : state) {
        count = 0;
        for (zv::recursiveFileIterator it(dir, L"*.*", 0, L"*.*", 0); !it.finished(); ++it) {
            benchmark::DoNotOptimize(static_cast<const zv::file&>(it).data());
            ++count;
        }
    }
    if (count != 10000)
        state.SkipWithError("wrong file count");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 10000);
}

void fileiter_stdfs(benchmark::State& state) {
    const fs::path& root = tree();
    std::size_t count = 0;
    for (auto _ : state) {
        count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (entry.is_regular_file()) {
                benchmark::DoNotOptimize(entry.path().native().data());
                ++count;
            }
        }
    }
    if (count != 10000)
        state.SkipWithError("wrong file count");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 10000);
}

constexpr std::size_t kCrcFileSize = 256u << 20;

const fs::path& bigFile() {
    static const fs::path p = [] {
        const fs::path file = folder().path() / "big.bin";
        zvbench::writeNoise(file, kCrcFileSize);
        return file;
    }();
    return p;
}

void filecrc_zv(benchmark::State& state) {
    const zv::file f = zv::fsEntryName::fromHostPath(bigFile().wstring());
    unsigned long crc = 0;
    for (auto _ : state) {
        if (!f.getCrc32(crc))
            state.SkipWithError("cannot read");
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kCrcFileSize));
}

void filecrc_zlib(benchmark::State& state) {
    const fs::path& file = bigFile();
    std::vector<unsigned char> buffer(0x80000);
    for (auto _ : state) {
        const int fd = ::open(file.c_str(), O_RDONLY);
        uLong crc = crc32(0L, Z_NULL, 0);
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got <= 0)
                break;
            crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
        }
        ::close(fd);
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kCrcFileSize));
}

} // namespace

BENCHMARK(pathnorm_zv)->Unit(benchmark::kMicrosecond);
BENCHMARK(pathnorm_stdfs)->Unit(benchmark::kMicrosecond);
BENCHMARK(fileiter_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(fileiter_stdfs)->Unit(benchmark::kMillisecond);
BENCHMARK(filecrc_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(filecrc_zlib)->Unit(benchmark::kMillisecond);
