// Conditions: parsing a text of about 20 nodes and evaluating it on a
// generic value, once per parse and with the parsed condition reused. No
// peer library parses this language; the figures are kept to see changes.
#include "zvCondition.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// 21 nodes: and, or and not, and 15 typed tests of four datatypes.
const zv::string kText =
    L"and(or(isbigger<int>(\"5\"), isequal<string>(\"x\")), not(isin<int>(\"9\",\"11\",\"13\",\"17\")),"
    L" smaller<double>(\"1e6\"), biggerorequal<long>(\"-3\"), notequal<int>(\"12\"),"
    L" or(isin<string>(\"7\",\"8\",\"10\"), issmallerorequal<uint>(\"100\")),"
    L" isbigger<short>(\"0\"), not(isequal<double>(\"0.5\")), isin<long>(\"6\",\"7\",\"8\",\"10\"),"
    L" smallerorequal<int>(\"1000\"), isnotequal<string>(\"\"), any())";

// Evaluated on an int (no conversion for the int tests) and on a text that
// every typed test converts.
const zv::genericValue kInt(7);
const zv::genericValue kText7(L"7");

void condition_parseAndEvaluate(benchmark::State& state) {
    const zv::genericValue& value = state.range(0) ? kText7 : kInt;
    long long trues = 0;
    for (auto _ : state) {
        const std::unique_ptr<zv::conditions::condition> c(zv::conditions::condition::parse(kText));
        trues += c->isTrueGeneric(value);
    }
    benchmark::DoNotOptimize(trues);
    state.SetItemsProcessed(state.iterations());
}

void condition_evaluateReused(benchmark::State& state) {
    const zv::genericValue& value = state.range(0) ? kText7 : kInt;
    const std::unique_ptr<zv::conditions::condition> c(zv::conditions::condition::parse(kText));
    long long trues = 0;
    for (auto _ : state)
        trues += c->isTrueGeneric(value);
    benchmark::DoNotOptimize(trues);
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(condition_parseAndEvaluate)->ArgName("text")->Arg(0)->Arg(1);
BENCHMARK(condition_evaluateReused)->ArgName("text")->Arg(0)->Arg(1);
