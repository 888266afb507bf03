// CRC-32 over 64 MiB: ours (automatic kernel, and the portable one alone)
// against zlib's crc32() on the same, pre-faulted buffer.
#include "zvCrc32.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

namespace {

const std::vector<unsigned char>& buffer() {
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> v(64u << 20);
        std::uint32_t x = 12345;
        for (auto& b : v) { // touches every page before any timing
            x = x * 1103515245u + 12345u;
            b = static_cast<unsigned char>(x >> 24);
        }
        return v;
    }();
    return data;
}

void crc32_zv(benchmark::State& state) {
    const auto& data = buffer();
    for (auto _ : state) {
        zv::calcCrc32 c;
        c.crc(data.data(), static_cast<unsigned long>(data.size()));
        benchmark::DoNotOptimize(c.value());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(data.size()));
}

void crc32_zv_portable(benchmark::State& state) {
    const auto& data = buffer();
    for (auto _ : state) {
        auto reg = zv::detail::crc32Update(0xFFFFFFFFu, data.data(), data.size(),
                                           zv::detail::eCrc32Kernel::portable);
        benchmark::DoNotOptimize(reg);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(data.size()));
}

void crc32_zlib(benchmark::State& state) {
    const auto& data = buffer();
    for (auto _ : state) {
        uLong c = crc32(0L, Z_NULL, 0);
        c = crc32(c, data.data(), static_cast<uInt>(data.size()));
        benchmark::DoNotOptimize(c);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(data.size()));
}

} // namespace

BENCHMARK(crc32_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(crc32_zv_portable)->Unit(benchmark::kMillisecond);
BENCHMARK(crc32_zlib)->Unit(benchmark::kMillisecond);
