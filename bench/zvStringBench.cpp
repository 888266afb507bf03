// zv::string against the C library: formatting against swprintf, wildcard
// matching against fnmatch, conversion to the ANSI code page (1252) against
// iconv.
#include "zvString.h"

#include <benchmark/benchmark.h>

#include <cwchar>
#include <fnmatch.h>
#include <iconv.h>
#include <string>
#include <vector>

namespace {

void sformat_zv(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        ++i;
        zv::string s = zv::string::sformat(L"%s %d %08.3f %x", L"value", i, i * 0.731, i);
        benchmark::DoNotOptimize(s.data());
    }
}

void sformat_swprintf(benchmark::State& state) {
    int i = 0;
    wchar_t buffer[1024];
    for (auto _ : state) {
        ++i;
        const int n = std::swprintf(buffer, 1024, L"%ls %d %08.3f %x", L"value", i, i * 0.731, i);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buffer);
    }
}

// Texts of 200 characters; half of the patterns match.
struct matchCase {
    std::wstring text;
    std::wstring pattern;
    std::string narrowText;
    std::string narrowPattern;
};

const std::vector<matchCase>& matchCases() {
    static const std::vector<matchCase> cases = [] {
        std::vector<matchCase> v;
        std::wstring text;
        for (int i = 0; i < 200; ++i)
            text.push_back(static_cast<wchar_t>(L'a' + (i * 7) % 26));
        for (const wchar_t* p : {L"a*", L"*xeljs*", L"a?o*b*q*", L"*zzz*", L"*a*b*c*d*e*f*g", L"a*e?l*s"}) {
            matchCase c{text, p, {}, {}};
            c.narrowText.assign(text.begin(), text.end());
            c.narrowPattern.assign(c.pattern.begin(), c.pattern.end());
            v.push_back(c);
        }
        return v;
    }();
    return cases;
}

void matches_zv(benchmark::State& state) {
    const auto& cases = matchCases();
    std::vector<zv::string> texts;
    for (const auto& c : cases)
        texts.emplace_back(c.text);
    for (auto _ : state) {
        int hits = 0;
        for (std::size_t i = 0; i < cases.size(); ++i)
            hits += texts[i].matches(cases[i].pattern) ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
}

void matches_fnmatch(benchmark::State& state) {
    const auto& cases = matchCases();
    for (auto _ : state) {
        int hits = 0;
        for (const auto& c : cases)
            hits += fnmatch(c.narrowPattern.c_str(), c.narrowText.c_str(), 0) == 0 ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
}

const zv::string& ansiText() {
    static const zv::string text = [] {
        zv::string t;
        const wchar_t sample[] = L"Gr\u00fc\u00dfe aus K\u00f6ln \u20ac 12,50 \u2013 caf\u00e9 ";
        while (t.size() < 600)
            t += sample;
        t.resize(600);
        return t;
    }();
    return text;
}

void getMBCS_zv(benchmark::State& state) {
    const zv::string& text = ansiText();
    for (auto _ : state) {
        std::string bytes = text.getMBCS();
        benchmark::DoNotOptimize(bytes.data());
    }
}

void getMBCS_iconv(benchmark::State& state) {
    const zv::string& text = ansiText();
    iconv_t cd = iconv_open("CP1252", "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv has no CP1252");
        return;
    }
    std::string bytes(1024, '\0');
    for (auto _ : state) {
        char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
        std::size_t inLeft = text.size() * sizeof(wchar_t);
        char* out = bytes.data();
        std::size_t outLeft = bytes.size();
        iconv(cd, &in, &inLeft, &out, &outLeft);
        benchmark::DoNotOptimize(bytes.data());
    }
    iconv_close(cd);
}

} // namespace

BENCHMARK(sformat_zv);
BENCHMARK(sformat_swprintf);
BENCHMARK(matches_zv);
BENCHMARK(matches_fnmatch);
BENCHMARK(getMBCS_zv);
BENCHMARK(getMBCS_iconv);
