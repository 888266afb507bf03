// Number <-> text conversions against what a user would otherwise write:
// double to text against snprintf("%.8lf") with the same trimming, text to
// double against swscanf(L"%lf") and std::from_chars, and the registry's
// overhead over calling dtconvert directly.
#include "zvDtConvert.h"
#include "zvTypeConvert.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t count = 1024;

const std::vector<double>& doubles() {
    static const std::vector<double> values = [] {
        std::mt19937_64 random(42);
        std::uniform_real_distribution<double> exponent(-3, 9);
        std::vector<double> v;
        for (std::size_t i = 0; i < count; ++i)
            v.push_back(std::pow(10.0, exponent(random)) * ((i & 1) ? -1 : 1));
        return v;
    }();
    return values;
}

const std::vector<zv::string>& texts() {
    static const std::vector<zv::string> values = [] {
        std::vector<zv::string> v;
        for (double d : doubles()) {
            zv::string s;
            zv::dtconvert(s, d);
            v.push_back(s);
        }
        return v;
    }();
    return values;
}

const std::vector<std::string>& narrowTexts() {
    static const std::vector<std::string> values = [] {
        std::vector<std::string> v;
        for (const zv::string& s : texts())
            v.emplace_back(s.begin(), s.end());
        return v;
    }();
    return values;
}

void dbl2text_zv(benchmark::State& state) {
    const auto& values = doubles();
    zv::string out;
    out.reserve(64);
    std::size_t i = 0;
    for (auto _ : state) {
        zv::dtconvert(out, values[i++ % count]);
        benchmark::DoNotOptimize(out.data());
    }
}

void dbl2text_snprintf(benchmark::State& state) {
    const auto& values = doubles();
    zv::string out;
    out.reserve(64);
    std::size_t i = 0;
    for (auto _ : state) {
        char buffer[1024];
        int n = std::snprintf(buffer, sizeof buffer, "%.8lf", values[i++ % count]);
        while (n > 1 && buffer[n - 1] == '0')
            --n;
        if (n > 1 && buffer[n - 1] == '.')
            --n;
        out.assign(buffer, buffer + n);
        benchmark::DoNotOptimize(out.data());
    }
}

void text2dbl_zv(benchmark::State& state) {
    const auto& values = texts();
    std::size_t i = 0;
    for (auto _ : state) {
        double d = 0;
        zv::dtconvert(d, values[i++ % count]);
        benchmark::DoNotOptimize(d);
    }
}

void text2dbl_swscanf(benchmark::State& state) {
    const auto& values = texts();
    std::size_t i = 0;
    for (auto _ : state) {
        double d = 0;
        std::swscanf(values[i++ % count].c_str(), L"%lf", &d);
        benchmark::DoNotOptimize(d);
    }
}

void text2dbl_fromchars(benchmark::State& state) {
    const auto& values = narrowTexts();
    std::size_t i = 0;
    for (auto _ : state) {
        double d = 0;
        const std::string& s = values[i++ % count];
        std::from_chars(s.data(), s.data() + s.size(), d);
        benchmark::DoNotOptimize(d);
    }
}

// Registry first: the ratio printed is the direct call's time over the
// registry's, so its inverse is the registry's overhead.
void int2text_zv_registry(benchmark::State& state) {
    const auto& registry = zv::typeconvert::typeConversionManager::instance();
    zv::string out;
    out.reserve(64);
    int v = 0;
    for (auto _ : state) {
        ++v;
        registry.convert(out, v);
        benchmark::DoNotOptimize(out.data());
    }
}

void int2text_direct(benchmark::State& state) {
    zv::string out;
    out.reserve(64);
    int v = 0;
    for (auto _ : state) {
        ++v;
        zv::dtconvert(out, v);
        benchmark::DoNotOptimize(out.data());
    }
}

} // namespace

BENCHMARK(dbl2text_zv);
BENCHMARK(dbl2text_snprintf);
BENCHMARK(text2dbl_zv);
BENCHMARK(text2dbl_swscanf);
BENCHMARK(text2dbl_fromchars);
BENCHMARK(int2text_zv_registry);
BENCHMARK(int2text_direct);
