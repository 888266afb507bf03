// One-shot evaluation of a formula (construct from text, read the result)
// against muparser with one parser reused through SetExpr + Eval, and our
// evaluation on one and on two threads (items/s; no lock is shared).
#include "zvExpression.h"

#include <benchmark/benchmark.h>

#if defined(ZV_BENCH_HAVE_MUPARSER)
#include <muParser.h>
#endif

namespace {

constexpr const wchar_t* kFormulaA = L"2*(3+4)^2/1.5e1";
constexpr const char* kFormulaANarrow = "2*(3+4)^2/1.5e1";
constexpr const wchar_t* kFormulaB = L"1+2*3-4/5+6^2";
constexpr const char* kFormulaBNarrow = "1+2*3-4/5+6^2";

void evaluateOurs(benchmark::State& state, const wchar_t* text) {
    for (auto _ : state) {
        const zv::expression e(text);
        benchmark::DoNotOptimize(e.result());
    }
    state.SetItemsProcessed(state.iterations());
}

void exprA_zv(benchmark::State& state) {
    evaluateOurs(state, kFormulaA);
}
void exprB_zv(benchmark::State& state) {
    evaluateOurs(state, kFormulaB);
}

// Both formulas in turn, so the threads do what a caller would do.
void exprParallel_zv(benchmark::State& state) {
    bool which = false;
    for (auto _ : state) {
        const zv::expression e(which ? kFormulaA : kFormulaB);
        which = !which;
        benchmark::DoNotOptimize(e.result());
    }
    state.SetItemsProcessed(state.iterations());
}

#if defined(ZV_BENCH_HAVE_MUPARSER)
void evaluateMuparser(benchmark::State& state, const char* text) {
    mu::Parser parser;
    for (auto _ : state) {
        parser.SetExpr(text);
        benchmark::DoNotOptimize(parser.Eval());
    }
    state.SetItemsProcessed(state.iterations());
}

void exprA_muparser(benchmark::State& state) {
    evaluateMuparser(state, kFormulaANarrow);
}
void exprB_muparser(benchmark::State& state) {
    evaluateMuparser(state, kFormulaBNarrow);
}
#endif

} // namespace

BENCHMARK(exprA_zv);
BENCHMARK(exprB_zv);
// Throughput on one and on two threads; the machine is shared, so the
// median of several runs stands for each.
BENCHMARK(exprParallel_zv)->Threads(1)->Threads(2)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
#if defined(ZV_BENCH_HAVE_MUPARSER)
BENCHMARK(exprA_muparser);
BENCHMARK(exprB_muparser);
#endif
