// Loading and saving an object-database-shaped XML document of about 30 MB,
// against pugixml on the same bytes. Both sides run with the same allocator
// settings: glibc keeps freed memory instead of returning it to the system,
// so neither side measures the first touch of fresh pages. The load
// benchmarks also report the heap the loaded tree holds per byte of file.
#include <benchmark/benchmark.h>

#include "zvBinaryBuffer.h"
#include "zvXml.h"

#include <malloc.h>

#include <cstdio>
#include <random>
#include <string>

#if defined(ZV_BENCH_HAVE_PUGIXML)
#include <pugixml.hpp>
#endif

namespace {

constexpr std::size_t kDocumentSize = 30u << 20;

// Tables of objects with named and generic properties, nested values and
// references, as the object database writes them (UTF-8 with mark).
const std::string& document() {
    static const std::string text = [] {
        std::mt19937 rng(5);
        std::string s =
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zvDatabase version=\"2\">\n";
        const char* const classes[] = {"Tool", "Operation", "Fixture", "Machine"};
        const char* const names[] = {"Length", "Diameter", "Name", "Feed",
                                     "Speed",  "Comment",  "Flag", "Offset"};
        char guid[64];
        for (int table = 0; s.size() < kDocumentSize; table = (table + 1) % 4) {
            s += "   <";
            s += classes[table];
            s += "_table>\n";
            for (int object = 0; object < 2000 && s.size() < kDocumentSize; ++object) {
                std::snprintf(guid, sizeof guid, "%08x-%04x-%04x-%04x-%012x", static_cast<unsigned>(rng()),
                              static_cast<unsigned>(rng() & 0xFFFF), static_cast<unsigned>(rng() & 0xFFFF),
                              static_cast<unsigned>(rng() & 0xFFFF), static_cast<unsigned>(rng()));
                s += std::string("      <") + classes[table] + " id=\"" + guid + "\">\n";
                for (int p = 0; p < 8; ++p) {
                    const char* name = names[rng() % 8];
                    switch (rng() % 6) {
                    case 0:
                        s += std::string("         <Property name=\"") + name + " " + std::to_string(p) +
                             "\" type=\"double\">" + std::to_string(rng() % 100000 / 7.0) + "</Property>\n";
                        break;
                    case 1:
                        s += std::string("         <") + name +
                             ">a &lt; b &amp;&amp; c &gt; \xC3\xA9t\xC3\xA9</" + name + ">\n";
                        break;
                    case 2:
                        s +=
                            std::string("         <") + name + " type=\"Tool\">" + guid + "</" + name + ">\n";
                        break;
                    case 3:
                        s += std::string("         <") + name + " type=\"point\">\n            <x>" +
                             std::to_string(rng() % 1000) + "</x>\n            <y>" +
                             std::to_string(rng() % 1000) + "</y>\n         </" + name + ">\n";
                        break;
                    default:
                        s += std::string("         <") + name + ">" + std::to_string(rng() % 100000) + "</" +
                             name + ">\n";
                    }
                }
                s += std::string("      </") + classes[table] + ">\n";
            }
            s += std::string("   </") + classes[table] + "_table>\n";
        }
        s += "</zvDatabase>\n";
        return s;
    }();
    return text;
}

// Keeps freed memory in the process while a benchmark runs; the defaults
// come back afterwards, and the memory goes back to the system.
struct sameAllocatorSettings {
    sameAllocatorSettings() {
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
    }
    ~sameAllocatorSettings() {
        mallopt(M_MMAP_MAX, 65536);
        mallopt(M_TRIM_THRESHOLD, 128 * 1024);
        malloc_trim(0);
    }
};

std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void xmlLoad_zv(benchmark::State& state) {
    const std::string& text = document();
    const sameAllocatorSettings settings;
    zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
    const std::size_t before = heapInUse();
    doc->load(text.data(), static_cast<unsigned>(text.size()), false);
    state.counters["heapPerFileByte"] =
        static_cast<double>(heapInUse() - before) / static_cast<double>(text.size());
    // A load keeps the previous tree until the new one is complete, so the
    // heap holds two trees at its peak: touch that much before measuring, as
    // pugixml's first load touches the memory of its one tree.
    doc->load(text.data(), static_cast<unsigned>(text.size()), false);
    for (auto _ : state)
        doc->load(text.data(), static_cast<unsigned>(text.size()), false);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void xmlSave_zv(benchmark::State& state) {
    const std::string& text = document();
    const sameAllocatorSettings settings;
    zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
    doc->load(text.data(), static_cast<unsigned>(text.size()), false);
    zv::binaryBuffer out;
    doc->save(out, zv::xmlDocument::eUTF8);
    for (auto _ : state) {
        out.clear();
        doc->save(out, zv::xmlDocument::eUTF8);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["outputBytes"] = out.logicalLength();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.logicalLength()));
}

#if defined(ZV_BENCH_HAVE_PUGIXML)
void xmlLoad_pugixml(benchmark::State& state) {
    const std::string& text = document();
    const sameAllocatorSettings settings;
    pugi::xml_document doc;
    const std::size_t before = heapInUse();
    doc.load_buffer(text.data(), text.size());
    state.counters["heapPerFileByte"] =
        static_cast<double>(heapInUse() - before) / static_cast<double>(text.size());
    for (auto _ : state) {
        const pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
        benchmark::DoNotOptimize(result.status);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

struct stringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, std::size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

void xmlSave_pugixml(benchmark::State& state) {
    const std::string& text = document();
    const sameAllocatorSettings settings;
    pugi::xml_document doc;
    doc.load_buffer(text.data(), text.size());
    stringWriter writer;
    const unsigned flags = pugi::format_indent | pugi::format_write_bom;
    doc.save(writer, "   ", flags, pugi::encoding_utf8);
    for (auto _ : state) {
        writer.out.clear();
        doc.save(writer, "   ", flags, pugi::encoding_utf8);
        benchmark::DoNotOptimize(writer.out.data());
    }
    state.counters["outputBytes"] = static_cast<double>(writer.out.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * writer.out.size()));
}
#endif

} // namespace

// An iteration takes a tenth of a second or more: measure long enough for the
// figures to settle.
BENCHMARK(xmlLoad_zv)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(xmlSave_zv)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#if defined(ZV_BENCH_HAVE_PUGIXML)
BENCHMARK(xmlLoad_pugixml)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(xmlSave_pugixml)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif
