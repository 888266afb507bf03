// Interning a text that is already interned, against the lookup a user
// would otherwise write: an unordered_set of wide strings behind a mutex.
#include "zvScString.h"

#include <benchmark/benchmark.h>

#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

const std::vector<zv::string>& names() {
    static const std::vector<zv::string> v = [] {
        std::vector<zv::string> n;
        for (int i = 0; i < 1000; ++i)
            n.emplace_back(L"propertyName_" + std::to_wstring(i * 7919));
        return n;
    }();
    return v;
}

void scstring_zv(benchmark::State& state) {
    const auto& keys = names();
    for (const auto& k : keys)
        zv::scString::createFrom(k);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zv::scString::createFrom(keys[i]).c_str());
        i = i + 1 == keys.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}

void scstring_peer(benchmark::State& state) {
    const auto& keys = names();
    static std::mutex lock;
    static std::unordered_set<std::wstring> set(keys.begin(), keys.end());
    std::size_t i = 0;
    for (auto _ : state) {
        const std::wstring* found;
        {
            std::lock_guard<std::mutex> guard(lock);
            found = &*set.find(keys[i]);
        }
        benchmark::DoNotOptimize(found);
        i = i + 1 == keys.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(scstring_zv);
BENCHMARK(scstring_peer);
