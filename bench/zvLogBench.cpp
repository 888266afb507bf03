// Logging: a call at a level that is off, and lines per second with one line
// per call, beside opening, writing and closing the file for each line and
// beside spdlog flushing after every line.
#include "zvBenchSupport.h"

#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsEntryName.h"
#include "zvLog.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#if defined(ZV_BENCH_HAVE_SPDLOG)
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

// A line as long as a typical one of the default format (about 150 bytes).
constexpr const char* lineText =
    "<2026/12/07 10:00:00:00   > [PID 4242  ] [TID 4243  ] (info ) {src/zvThread.cpp                       , "
    "L 117  , zv::thread::start} - thread started";

// Logging configured into a folder of the benchmark's own: the root logger
// writes everything, with the default file count, size and format.
class logSetup {
public:
    logSetup() : m_folder("zvlogbench-") {
        zvlog::logUtils::overwriteLogRootDir(
            zv::directory(zv::fsEntryName::fromHostPath(m_folder.path().wstring(), true)));
        const zv::string module = zvlog::logUtils::moduleName();
        const zv::file config = zvlog::logUtils::configPath(module);
        std::ofstream(std::filesystem::path(static_cast<const std::wstring&>(config.hostPath())))
            << "<logconfig><root level=\"trace\" enabled=\"true\"/></logconfig>";
        zvlog::logManager::getInstance().reloadConfig();
        zvlog::logSettings::getInstance().initOutputFile();
    }
    // Logging goes off again, so that the benchmarks run after these do not
    // write their trace lines.
    ~logSetup() {
        zvlog::logUtils::overwriteLogRootDir(zv::directory());
        zvlog::logManager::getInstance().reloadConfig();
        zvlog::logSettings::getInstance().initOutputFile();
    }
    logSetup(const logSetup&) = delete;
    logSetup& operator=(const logSetup&) = delete;
    const std::filesystem::path& folder() const { return m_folder.path(); }

private:
    zvbench::benchFolder m_folder;
};

void logOff_zv(benchmark::State& state) {
    const logSetup setup;
    const zv::refPtr<zvlog::logger> l = zvlog::logger::create(L"bench.off", true, zvlog::eInfo);
    for (auto _ : state)
        ZVLOG_DEBUG(l, L"not written");
    benchmark::DoNotOptimize(l.get());
}

void logOff_zv_call(benchmark::State& state) {
    const logSetup setup;
    const zv::refPtr<zvlog::logger> l = zvlog::logger::create(L"bench.off", true, zvlog::eInfo);
    const zv::string message(L"not written");
    for (auto _ : state)
        l->log_debug(message, __FILE__, __LINE__, "logOff_zv_call");
}

void logLine_zv(benchmark::State& state) {
    const logSetup setup;
    const zv::refPtr<zvlog::logger> l = zvlog::logManager::getLogger("zv::thread::start");
    const zv::string message(L"thread started");
    for (auto _ : state)
        l->log_info(message, "src/zvThread.cpp", 117, "zv::thread::start");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void logLine_fopen(benchmark::State& state) {
    const logSetup setup;
    const std::string path = (setup.folder() / "fopen.log").string();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "a");
        std::fputs(lineText, f);
        std::fputs("\n", f);
        std::fclose(f);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    std::remove(path.c_str());
}

#if defined(ZV_BENCH_HAVE_SPDLOG)
void logOff_spdlog(benchmark::State& state) {
    const logSetup setup;
    auto l = spdlog::basic_logger_mt("off", (setup.folder() / "spdlog-off.log").string());
    l->set_level(spdlog::level::info);
    for (auto _ : state)
        l->debug("not written");
    spdlog::drop("off");
}

void logLine_spdlogflush(benchmark::State& state) {
    const logSetup setup;
    auto l = spdlog::basic_logger_mt("lines", (setup.folder() / "spdlog.log").string());
    l->set_level(spdlog::level::trace);
    l->flush_on(spdlog::level::trace);
    for (auto _ : state)
        l->info("{}", "thread started");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    spdlog::drop("lines");
}
#endif

} // namespace

BENCHMARK(logOff_zv);
BENCHMARK(logOff_zv_call);
BENCHMARK(logLine_zv);
BENCHMARK(logLine_fopen);
#if defined(ZV_BENCH_HAVE_SPDLOG)
BENCHMARK(logOff_spdlog);
BENCHMARK(logLine_spdlogflush);
#endif
