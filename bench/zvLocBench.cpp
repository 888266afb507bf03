// Localized messages and files on hostile input: the time must grow with
// the input, not with its square. Each benchmark runs over sizes and reports
// the fitted complexity; the insertion is shown beside a plain search for
// the placeholder, the least any insertion has to do.
#include "zvFsEntryName.h"
#include "zvLocFile.h"
#include "zvLocMessage.h"

#include "zvBenchSupport.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// A run of "[" that all wait for the one "]" at the end.
std::wstring bracketRun(benchmark::State& state) {
    return std::wstring(static_cast<std::size_t>(state.range(0)), L'[') + L"Name]";
}

void locInsertBracketRun_zv(benchmark::State& state) {
    const std::wstring text = bracketRun(state);
    for (auto _ : state) {
        zv::locMessage m(text.c_str());
        m.insertParameters({zv::locParameter(L"v", L"Name"), zv::locParameter(7, L"Other")});
        benchmark::DoNotOptimize(m.data());
    }
    state.SetComplexityN(state.range(0));
}

void locInsertBracketRun_find(benchmark::State& state) {
    const std::wstring text = bracketRun(state);
    for (auto _ : state) {
        std::wstring m = text;
        const std::size_t at = m.find(L"[Name]");
        if (at != std::wstring::npos)
            m.replace(at, 6, L"v");
        benchmark::DoNotOptimize(m.data());
    }
    state.SetComplexityN(state.range(0));
}

void writeFile(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// One file with a chain of aliases that ends at an unknown id.
void locCheckAliasChain_zv(benchmark::State& state) {
    const zvbench::benchFolder folder("zvloc-alias-");
    const auto n = static_cast<unsigned>(state.range(0));
    std::string text = kBom;
    for (unsigned i = 0; i < n; ++i)
        text += "Msg_" + std::to_string(i) + " $$Msg_" + std::to_string(i + 1) + "\n";
    writeFile(folder.path() / "chain.loc", text);
    const zv::file f(zv::fsEntryName::fromHostPath((folder.path() / "chain.loc").wstring()));
    for (auto _ : state) {
        std::vector<zv::locFileIssue> issues;
        zv::locFile::check(f, issues);
        benchmark::DoNotOptimize(issues.data());
    }
    state.SetComplexityN(state.range(0));
}

// One file including many others.
void locFileWideIncludes_zv(benchmark::State& state) {
    const zvbench::benchFolder folder("zvloc-wide-");
    const auto n = static_cast<unsigned>(state.range(0));
    std::string main = kBom;
    for (unsigned i = 0; i < n; ++i) {
        const std::string name = "inc" + std::to_string(i) + ".loc";
        main += "#include " + name + "\n";
        writeFile(folder.path() / name, kBom + "Msg_" + std::to_string(i) + " text\n");
    }
    writeFile(folder.path() / "main.loc", main);
    const zv::file f(zv::fsEntryName::fromHostPath((folder.path() / "main.loc").wstring()));
    for (auto _ : state) {
        zv::locFile loc(f);
        benchmark::DoNotOptimize(loc.includedFiles().data());
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(locInsertBracketRun_zv)->RangeMultiplier(4)->Range(1 << 12, 1 << 18)->Complexity();
BENCHMARK(locInsertBracketRun_find)->RangeMultiplier(4)->Range(1 << 12, 1 << 18)->Complexity();
BENCHMARK(locCheckAliasChain_zv)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Complexity();
BENCHMARK(locFileWideIncludes_zv)->RangeMultiplier(4)->Range(1 << 6, 1 << 12)->Complexity();
