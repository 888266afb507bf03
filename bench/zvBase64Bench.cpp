// Base64 of 16 MiB: ours against a plain table-driven loop (one character
// per table lookup, a validity test per character when decoding) and against
// OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock. Every buffer is filled once
// before timing and reused, so no benchmark pays for first-touch page faults.
#include "zvBase64.h"

#include <benchmark/benchmark.h>

#if defined(ZV_BENCH_HAVE_OPENSSL)
#include <openssl/evp.h>
#endif

#include <array>
#include <cstdint>
#include <string>

namespace {

constexpr std::size_t kSize = 16u << 20;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

const std::string& bytes() {
    static const std::string data = [] {
        std::string v(kSize, '\0');
        std::uint32_t x = 2463534242u;
        for (auto& b : v) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<char>(x);
        }
        return v;
    }();
    return data;
}

const std::string& text() {
    static const std::string data = [] {
        std::string t;
        zv::base64_encode(reinterpret_cast<const unsigned char*>(bytes().data()),
                          static_cast<unsigned>(bytes().size()), t);
        return t;
    }();
    return data;
}

// An output buffer of `size` bytes, written once so that its pages exist.
std::string touched(std::size_t size) {
    return std::string(size, 'x');
}

void plainEncode(const unsigned char* in, std::size_t n, char* out) {
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const std::uint32_t v = (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8) | in[i + 2];
        *out++ = kAlphabet[v >> 18];
        *out++ = kAlphabet[(v >> 12) & 63];
        *out++ = kAlphabet[(v >> 6) & 63];
        *out++ = kAlphabet[v & 63];
    }
    if (i < n) {
        const std::uint32_t v =
            (std::uint32_t(in[i]) << 16) | (i + 1 < n ? std::uint32_t(in[i + 1]) << 8 : 0u);
        *out++ = kAlphabet[v >> 18];
        *out++ = kAlphabet[(v >> 12) & 63];
        *out++ = i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
        *out++ = '=';
    }
}

std::size_t plainDecode(const unsigned char* in, std::size_t n, char* out) {
    static const std::array<int, 256> value = [] {
        std::array<int, 256> t{};
        t.fill(-1);
        for (int i = 0; i < 64; ++i)
            t[static_cast<unsigned char>(kAlphabet[i])] = i;
        return t;
    }();
    char* const start = out;
    std::uint32_t acc = 0;
    int count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int v = value[in[i]];
        if (v < 0)
            break;
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            *out++ = static_cast<char>(acc >> 16);
            *out++ = static_cast<char>(acc >> 8);
            *out++ = static_cast<char>(acc);
            acc = 0;
            count = 0;
        }
    }
    if (count >= 2)
        *out++ = static_cast<char>(acc >> (count == 2 ? 4 : 10));
    if (count == 3)
        *out++ = static_cast<char>(acc >> 2);
    return static_cast<std::size_t>(out - start);
}

void setBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kSize));
}

void b64encode_zv(benchmark::State& state) {
    const std::string& in = bytes();
    std::string out = touched(text().size());
    for (auto _ : state) {
        out.clear();
        zv::base64_encode(reinterpret_cast<const unsigned char*>(in.data()), static_cast<unsigned>(in.size()),
                          out);
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state);
}

void b64encode_plainloop(benchmark::State& state) {
    const std::string& in = bytes();
    std::string out = touched(text().size());
    for (auto _ : state) {
        plainEncode(reinterpret_cast<const unsigned char*>(in.data()), in.size(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state);
}

void b64decode_zv(benchmark::State& state) {
    const std::string& in = text();
    std::string out = touched(kSize + 2);
    for (auto _ : state) {
        out.clear();
        zv::base64_decode(in, out);
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state);
}

void b64decode_plainloop(benchmark::State& state) {
    const std::string& in = text();
    std::string out = touched(kSize + 2);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            plainDecode(reinterpret_cast<const unsigned char*>(in.data()), in.size(), out.data()));
    }
    setBytes(state);
}

#if defined(ZV_BENCH_HAVE_OPENSSL)
void b64encode_openssl(benchmark::State& state) {
    const std::string& in = bytes();
    std::string out = touched(text().size() + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                                 reinterpret_cast<const unsigned char*>(in.data()),
                                                 static_cast<int>(in.size())));
    }
    setBytes(state);
}

void b64decode_openssl(benchmark::State& state) {
    const std::string& in = text();
    std::string out = touched(kSize + 3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                                 reinterpret_cast<const unsigned char*>(in.data()),
                                                 static_cast<int>(in.size())));
    }
    setBytes(state);
}
#endif

} // namespace

BENCHMARK(b64encode_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(b64encode_plainloop)->Unit(benchmark::kMillisecond);
BENCHMARK(b64decode_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(b64decode_plainloop)->Unit(benchmark::kMillisecond);
#if defined(ZV_BENCH_HAVE_OPENSSL)
BENCHMARK(b64encode_openssl)->Unit(benchmark::kMillisecond);
BENCHMARK(b64decode_openssl)->Unit(benchmark::kMillisecond);
#endif
