// Generic sets against the map a user would otherwise write, and guid
// creation against libuuid called directly.
#include "zvGenericSet.h"
#include "zvGuid.h"

#include <benchmark/benchmark.h>

#include <any>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include <uuid/uuid.h>

namespace {

constexpr int kKeys = 10;

std::vector<std::wstring> keyNames() {
    std::vector<std::wstring> names;
    for (int i = 0; i < kKeys; ++i)
        names.push_back(L"attribute" + std::to_wstring(i));
    return names;
}

// Stores a text under one of ten keys, then reads the entry back as an int
// (the text is converted on the way).
void genericset_zv(benchmark::State& state) {
    std::vector<zv::scString> keys;
    for (const auto& n : keyNames())
        keys.push_back(zv::scString::createFrom(n.c_str()));
    zv::genericSet set;
    const zv::genericValue text(zv::string(L"123"));
    for (const auto& k : keys)
        set.setGenericValue(k, text, true);
    int i = 0;
    long long sum = 0;
    for (auto _ : state) {
        set.setGenericValue(keys[i], text, true);
        int value = 0;
        set.genericValue(keys[i])->get(value);
        sum += value;
        i = i + 1 == kKeys ? 0 : i + 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

void genericset_peer(benchmark::State& state) {
    const std::vector<std::wstring> keys = keyNames();
    std::map<std::wstring, std::any> set;
    const std::any text = std::wstring(L"123");
    for (const auto& k : keys)
        set[k] = text;
    int i = 0;
    long long sum = 0;
    for (auto _ : state) {
        set[keys[i]] = text;
        int value = 0;
        if (const auto* s = std::any_cast<std::wstring>(&set.find(keys[i])->second))
            value = static_cast<int>(std::wcstol(s->c_str(), nullptr, 10));
        sum += value;
        i = i + 1 == kKeys ? 0 : i + 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

void guid_zv(benchmark::State& state) {
    for (auto _ : state) {
        zv::string text = zv::guid::create().toString();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void guid_peer(benchmark::State& state) {
    for (auto _ : state) {
        uuid_t id;
        uuid_generate_time(id);
        char text[37];
        uuid_unparse(id, text);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(genericset_zv);
BENCHMARK(genericset_peer);
BENCHMARK(guid_zv);
BENCHMARK(guid_peer);
