// Configuration files: an INI text of 100,000 keys in 1,000 sections loaded
// into a configuration structure, against the loop a user would otherwise
// write (std::getline, a std::map per section); one line of 10 MiB read as a
// value; and 100,000 keys set (replaced or added) in one set, against a
// std::unordered_map. Texts are built once before timing.
#include "zvConfigSet.h"
#include "zvKeyValueFile.h"

#include <benchmark/benchmark.h>

#include <map>
#include <sstream>
#include <string>
#include <unordered_map>

namespace {

std::string iniText() {
    std::string text;
    for (int s = 0; s < 1000; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 100; ++k)
            text += "Key" + std::to_string(k) + " = value " + std::to_string(s * 100 + k) + " ; note\r\n";
    }
    return text;
}

zv::binaryBuffer asBuffer(const std::string& text) {
    zv::binaryBuffer buffer;
    buffer.write(text.data(), static_cast<unsigned>(text.size()));
    zv::keyValueFileReader::decodeFileBytes(buffer);
    return buffer;
}

const zv::binaryBuffer& iniBuffer() {
    static const zv::binaryBuffer buffer = asBuffer(iniText());
    return buffer;
}

void iniload_zv(benchmark::State& state) {
    for (auto _ : state) {
        zv::keyValueFileReader reader(iniBuffer(), L"=", L";", L"");
        zv::configStructure structure;
        zv::loadConfigStructure(reader, structure, false);
        benchmark::DoNotOptimize(structure.sectionCount());
    }
}
BENCHMARK(iniload_zv)->Unit(benchmark::kMillisecond);

// The peer gets the same wide text, ready in memory.
void iniload_getline(benchmark::State& state) {
    const std::string narrow = iniText();
    const std::wstring text(narrow.begin(), narrow.end());
    auto trim = [](std::wstring s) {
        const auto b = s.find_first_not_of(L" \t\r");
        const auto e = s.find_last_not_of(L" \t\r");
        return b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
    };
    for (auto _ : state) {
        std::map<std::wstring, std::map<std::wstring, std::wstring>> ini;
        std::wistringstream in(text);
        std::wstring line, section;
        while (std::getline(in, line)) {
            line = trim(line.substr(0, line.find(L';')));
            if (line.empty())
                continue;
            if (line.front() == L'[' && line.back() == L']') {
                section = line.substr(1, line.size() - 2);
                ini[section];
                continue;
            }
            const auto eq = line.find(L'=');
            if (eq != std::wstring::npos)
                ini[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
        }
        benchmark::DoNotOptimize(ini.size());
    }
}
BENCHMARK(iniload_getline)->Unit(benchmark::kMillisecond);

void longline_zv(benchmark::State& state) {
    static const zv::binaryBuffer buffer = asBuffer("[S]\nk=" + std::string(10u << 20, 'v') + "\n");
    for (auto _ : state) {
        zv::keyValueFileReader reader(buffer, L"=", L";", L"\\");
        zv::string name, key, value;
        reader.readSection(name);
        reader.readKey(key, value);
        benchmark::DoNotOptimize(value.size());
    }
}
BENCHMARK(longline_zv)->Unit(benchmark::kMillisecond);

void setkeys_zv(benchmark::State& state) {
    for (auto _ : state) {
        zv::configSet set;
        for (int i = 0; i < 100000; ++i)
            set.setValue(L"Key" + std::to_wstring(i % 60000), zv::string(L"v"), false, 3);
        benchmark::DoNotOptimize(set.keyCount());
    }
}
BENCHMARK(setkeys_zv)->Unit(benchmark::kMillisecond);

void setkeys_unorderedmap(benchmark::State& state) {
    for (auto _ : state) {
        std::unordered_map<std::wstring, std::wstring> set;
        for (int i = 0; i < 100000; ++i)
            set[L"Key" + std::to_wstring(i % 60000)] = L"v";
        benchmark::DoNotOptimize(set.size());
    }
}
BENCHMARK(setkeys_unorderedmap)->Unit(benchmark::kMillisecond);

} // namespace
