// Gzip compression of files and reading whole files into a binary buffer,
// each beside the peer a user would otherwise write: zlib's gz functions fed
// in 64 KiB blocks, and fread into a buffer of the right size.
#include "zvBenchSupport.h"
#include "zvBinaryBuffer.h"
#include "zvFile.h"
#include "zvFsEntryName.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kGzipSize = 64u << 20;
constexpr std::size_t kReadSize = 256u << 20;
constexpr std::size_t kPeerBlock = 64u << 10;

zvbench::benchFolder& folder() {
    static zvbench::benchFolder f("zvbench-gzip-");
    return f;
}

zv::file libraryFile(const fs::path& p) {
    return zv::file(zv::fsEntryName::fromHostPath(p.wstring()));
}

// Log-like text: compresses about 4:1, so deflate has real work to do.
void writeText(const fs::path& file, std::size_t size) {
    static const char* const words[] = {"INFO ",   "DEBUG ",  "WARN ",  "machine ", "spindle ",
                                        "feed ",   "offset ", "tool ",  "axis ",    "program ",
                                        "loaded ", "done ",   "alarm ", "cycle ",   "started "};
    std::mt19937 rng(11);
    std::ofstream out(file, std::ios::binary);
    std::string line;
    std::size_t written = 0;
    while (written < size) {
        line.clear();
        line += std::to_string(rng() % 100000);
        line += ' ';
        for (unsigned w = 0, n = 3 + rng() % 6; w < n; ++w)
            line += words[rng() % 15];
        line += std::to_string(static_cast<double>(rng() % 1000000) / 1000.0);
        line += '\n';
        if (written + line.size() > size)
            line.resize(size - written);
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        written += line.size();
    }
}

const fs::path& plainFile() {
    static const fs::path p = [] {
        const fs::path file = folder().path() / "plain.txt";
        writeText(file, kGzipSize);
        ::sync(); // no write-back behind the first measurement
        return file;
    }();
    return p;
}

const fs::path& packedFile() {
    static const fs::path p = [] {
        const fs::path file = folder().path() / "packed.gz";
        if (!libraryFile(plainFile()).gzCompressTo(libraryFile(file)))
            std::fprintf(stderr, "cannot prepare %s\n", file.c_str());
        ::sync();
        return file;
    }();
    return p;
}

const fs::path& bigFile() {
    static const fs::path p = [] {
        const fs::path file = folder().path() / "big.bin";
        zvbench::writeNoise(file, kReadSize);
        return file;
    }();
    return p;
}

void gzcompress_zv(benchmark::State& state) {
    const zv::file source = libraryFile(plainFile());
    const zv::file target = libraryFile(folder().path() / "out_zv.gz");
    for (auto _ : state) {
        if (!source.gzCompressTo(target))
            state.SkipWithError("gzCompressTo failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kGzipSize));
}

void gzcompress_zlib(benchmark::State& state) {
    const fs::path target = folder().path() / "out_zlib.gz";
    std::vector<char> block(kPeerBlock);
    for (auto _ : state) {
        std::FILE* in = std::fopen(plainFile().c_str(), "rb");
        gzFile out = gzopen(target.c_str(), "wb");
        bool ok = in != nullptr && out != nullptr;
        while (ok) {
            const std::size_t got = std::fread(block.data(), 1, block.size(), in);
            if (got == 0)
                break;
            ok = gzwrite(out, block.data(), static_cast<unsigned>(got)) == static_cast<int>(got);
        }
        if (out != nullptr && gzclose(out) != Z_OK)
            ok = false;
        if (in != nullptr)
            std::fclose(in);
        if (!ok)
            state.SkipWithError("gzwrite failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kGzipSize));
}

void gzuncompress_zv(benchmark::State& state) {
    const zv::file source = libraryFile(packedFile());
    const zv::file target = libraryFile(folder().path() / "back_zv.txt");
    for (auto _ : state) {
        if (!source.gzUncompressTo(target))
            state.SkipWithError("gzUncompressTo failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kGzipSize));
}

void gzuncompress_zlib(benchmark::State& state) {
    const fs::path target = folder().path() / "back_zlib.txt";
    std::vector<char> block(kPeerBlock);
    for (auto _ : state) {
        gzFile in = gzopen(packedFile().c_str(), "rb");
        std::FILE* out = std::fopen(target.c_str(), "wb");
        bool ok = in != nullptr && out != nullptr;
        std::size_t total = 0;
        while (ok) {
            const int got = gzread(in, block.data(), static_cast<unsigned>(block.size()));
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            ok = std::fwrite(block.data(), 1, static_cast<std::size_t>(got), out) ==
                 static_cast<std::size_t>(got);
            total += static_cast<std::size_t>(got);
        }
        if (in != nullptr && gzclose(in) != Z_OK)
            ok = false;
        if (out != nullptr && std::fclose(out) != 0)
            ok = false;
        if (!ok || total != kGzipSize)
            state.SkipWithError("gzread failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kGzipSize));
}

// Both sides reuse a buffer that already has the file's size, so neither
// pays for first touches of fresh memory.
void bufread_zv(benchmark::State& state) {
    const zv::file source = libraryFile(bigFile());
    zv::binaryBuffer buffer;
    buffer.readFromFile(source);
    for (auto _ : state) {
        buffer.clear();
        if (!buffer.readFromFile(source) || buffer.logicalLength() != kReadSize)
            state.SkipWithError("readFromFile failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kReadSize));
}

void bufread_fread(benchmark::State& state) {
    std::vector<char> buffer(kReadSize, 1);
    for (auto _ : state) {
        std::FILE* in = std::fopen(bigFile().c_str(), "rb");
        const std::size_t got = in ? std::fread(buffer.data(), 1, buffer.size(), in) : 0;
        if (in != nullptr)
            std::fclose(in);
        if (got != kReadSize)
            state.SkipWithError("fread failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kReadSize));
}

} // namespace

BENCHMARK(gzcompress_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(gzcompress_zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(gzuncompress_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(gzuncompress_zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(bufread_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(bufread_fread)->Unit(benchmark::kMillisecond);
