// Dates: adding a million days must cost what adding one day costs (day
// numbers, not steps), and text parsing and formatting against building a
// std::chrono::year_month_day by hand from the same text.
#include "zvDate.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Ours with a million days, against ourselves with one day.
void dateAdd_zv(benchmark::State& state) {
    zv::date d(2024, 1, 1);
    const zv::days step(1000000);
    for (auto _ : state) {
        zv::date r = d + step;
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
}

void dateAdd_oneDay(benchmark::State& state) {
    zv::date d(2024, 1, 1);
    const zv::days step(1);
    for (auto _ : state) {
        zv::date r = d + step;
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
}

const std::vector<std::wstring>& texts() {
    static const std::vector<std::wstring> t = [] {
        std::vector<std::wstring> v;
        for (int i = 0; i < 256; ++i)
            v.push_back(std::to_wstring(1900 + i) + L"/" + std::to_wstring(1 + i % 12) + L"/" +
                        std::to_wstring(1 + i % 28));
        return v;
    }();
    return t;
}

void dateParse_zv(benchmark::State& state) {
    const auto& t = texts();
    std::vector<zv::string> in(t.begin(), t.end());
    std::size_t i = 0;
    for (auto _ : state) {
        zv::date d = zv::date::fromString(in[i++ & 255], L"/");
        benchmark::DoNotOptimize(d);
    }
}

// The peer: digits read by hand into a checked year_month_day.
unsigned int readNumber(const wchar_t*& p) {
    unsigned int v = 0;
    while (*p >= L'0' && *p <= L'9')
        v = v * 10 + static_cast<unsigned int>(*p++ - L'0');
    return v;
}

void dateParse_chrono(benchmark::State& state) {
    const auto& t = texts();
    std::size_t i = 0;
    for (auto _ : state) {
        const wchar_t* p = t[i++ & 255].c_str();
        const unsigned int y = readNumber(p);
        ++p;
        const unsigned int m = readNumber(p);
        ++p;
        const unsigned int d = readNumber(p);
        std::chrono::year_month_day ymd{std::chrono::year(static_cast<int>(y)), std::chrono::month(m),
                                        std::chrono::day(d)};
        if (!ymd.ok())
            ymd = ymd.year() / ymd.month() / std::chrono::last;
        benchmark::DoNotOptimize(ymd);
    }
}

void dateFormat_zv(benchmark::State& state) {
    zv::date d(2024, 2, 29);
    for (auto _ : state) {
        zv::string s = d.toString();
        benchmark::DoNotOptimize(s);
    }
}

void dateFormat_chrono(benchmark::State& state) {
    const std::chrono::year_month_day ymd{std::chrono::year(2024), std::chrono::month(2),
                                          std::chrono::day(29)};
    for (auto _ : state) {
        wchar_t buffer[16];
        std::swprintf(buffer, 16, L"%04d/%02u/%02u", static_cast<int>(ymd.year()),
                      static_cast<unsigned int>(ymd.month()), static_cast<unsigned int>(ymd.day()));
        std::wstring s(buffer);
        benchmark::DoNotOptimize(s);
    }
}

} // namespace

BENCHMARK(dateAdd_zv);
BENCHMARK(dateAdd_oneDay);
BENCHMARK(dateParse_zv);
BENCHMARK(dateParse_chrono);
BENCHMARK(dateFormat_zv);
BENCHMARK(dateFormat_chrono);
