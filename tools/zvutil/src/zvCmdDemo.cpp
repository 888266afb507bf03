#include "zvCli.h"

#include "zvCrc32.h"
#include "zvMutex.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace zvcli {

namespace {

namespace fs = std::filesystem;

std::string hex32(std::uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(v));
    return text;
}

// A fresh folder under the system's temporary folder, removed on every way out.
class demoFolder {
public:
    demoFolder() {
        std::random_device rd;
        m_path = fs::temp_directory_path() / ("zvutil-demo-" + std::to_string(rd()));
        fs::create_directories(m_path);
    }
    ~demoFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    demoFolder(const demoFolder&) = delete;
    demoFolder& operator=(const demoFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void section(std::ostream& out, const char* title) {
    out << "\n== " << title << "\n";
}

} // namespace

int cmdDemo(context& ctx) {
    std::ostream& out = ctx.out;
    out << "zvUtils " << zv::libraryVersion() << " demo\n";
    demoFolder folder;
    out << "working in " << folder.path().string() << "\n";

    section(out, "CRC-32");
    zv::calcCrc32 c;
    c.crc("abc", 3);
    out << "crc32(\"abc\")            = " << hex32(c.value()) << "\n";
    zv::calcCrc32 pieces;
    pieces.crc("ab", 2);
    pieces.crc("c", 1);
    out << "crc32(\"ab\" then \"c\")    = " << hex32(pieces.value()) << "\n";

    const fs::path sample = folder.path() / "sample.bin";
    {
        std::vector<char> bytes(1 << 20);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 31 + 7);
        std::ofstream(sample, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    {
        context sub{{sample.string()}, ctx.in, out, ctx.err};
        out << "zvutil crc32 " << sample.filename().string() << ": ";
        if (cmdCrc32(sub) != exitOk)
            return exitFailure;
    }
    out << "hardware CRC kernel     : "
        << (zv::detail::crc32HasCarryless() ? "carry-less multiply" : "slicing-by-8") << "\n";

    section(out, "Mutexes and counters");
    zv::mutex m;
    const bool first = m.lock();
    const bool again = m.lock(0);
    bool other = true;
    std::thread([&] { other = m.lock(0); }).join();
    m.release();
    m.release();
    out << "owner locks twice       : " << (first && again ? "yes" : "no") << "\n";
    out << "other thread lock(0)    : " << (other ? "obtained" : "refused at once") << "\n";

    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i)
                zv::interlockedIncrement(&counter);
        });
    for (auto& t : threads)
        t.join();
    out << "4 threads x 10000 incs  : " << counter << "\n";

    out << "\ndemo finished\n";
    return exitOk;
}

} // namespace zvcli
