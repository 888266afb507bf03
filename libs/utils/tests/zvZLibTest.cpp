#include "../src/zvZLibDetail.h"

#include "zvFsTestSupport.h"
#include "zvProcess.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The folder the library (and the modules built with it) lives in.
zv::directory libraryFolder() {
    zv::directory dir;
    EXPECT_TRUE(zv::getModulePath(zv::string(), dir));
    return dir;
}

fs::path hostOf(const zv::fsEntryName& name) {
    return fs::path(static_cast<const std::wstring&>(name.hostPath()));
}

// A module built beside the library (the regular one, or one without
// zvcompress), copied into `folder` under the name the loader looks for.
void placeModule(bool withoutCompress, const zvtest::tempFolder& folder) {
    std::wstring name =
        zv::detail::zlibModuleName(); // the other one is "..._nocompress" before the extension
    if (withoutCompress)
        name.insert(name.rfind(L'.'), L"_nocompress");
    const zv::file built(libraryFolder(), name);
    ASSERT_TRUE(built.exists()) << "module missing: " << hostOf(built);
    fs::copy_file(hostOf(built), folder.host() / zv::detail::zlibModuleName(),
                  fs::copy_options::overwrite_existing);
}

// Restores the loader's own folder however a test ends.
struct folderOverride {
    explicit folderOverride(const zv::directory& dir) {
        EXPECT_TRUE(zv::detail::setZlibModuleFolderForTesting(dir));
    }
    ~folderOverride() { zv::detail::setZlibModuleFolderForTesting(zv::string()); }
};

// Whether the module loaded while a guard is held is the file `expected`.
testing::AssertionResult loadsFrom(const fs::path& expected) {
    zv::zlibGuard use;
    zv::file loaded;
    if (!use.acquired() || !zv::detail::zlibModuleFile(loaded))
        return testing::AssertionFailure() << "no module loaded";
    std::error_code ec;
    if (fs::equivalent(hostOf(loaded), expected, ec))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "loaded " << hostOf(loaded);
}

// Text that compresses, but not to nothing.
std::string sampleText(std::size_t size) {
    std::string text;
    for (unsigned i = 0; text.size() < size; ++i)
        text += std::to_string(i * 7919u % 1000) + (i % 7 ? " gamma " : "\n");
    text.resize(size);
    return text;
}

struct progressLog {
    std::vector<double> values;
    int cancelAt = -1; // the call that answers false
};

bool logProgress(double percent, void* user) {
    auto* log = static_cast<progressLog*>(user);
    log->values.push_back(percent);
    return static_cast<int>(log->values.size()) != log->cancelAt;
}

} // namespace

TEST(zlibLoader, LoadsOnFirstUseNestsAndUnloadsAfterTheLastUse) {
    ASSERT_FALSE(zv::detail::zlibModuleLoaded());
    for (int round = 0; round < 2; ++round) {
        zv::zlibGuard outer;
        ASSERT_TRUE(outer.acquired() && zv::detail::zlibModuleLoaded());
        {
            zv::zlibGuard inner; // the same thread locks again
            EXPECT_TRUE(inner.acquired() && zv::detail::zlibUseCount() == 2);
        }
        EXPECT_TRUE(zv::detail::zlibUseCount() == 1 && zv::detail::zlibModuleLoaded());
    }
    EXPECT_TRUE(!zv::detail::zlibModuleLoaded() && zv::detail::zlibUseCount() == 0);

    // An open stream keeps the module loaded between calls, without a use count.
    zvtest::tempFolder tmp;
    std::string path;
    ASSERT_TRUE(zv::gzPathOf(zv::file(tmp.dir(), L"direct.gz"), path));
    const std::string text = sampleText(5000);
    zv::gzFile out = zv::gzopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(zv::detail::zlibUseCount() == 0 && zv::detail::zlibModuleLoaded());
    EXPECT_EQ(zv::gzwrite(out, text.data(), static_cast<unsigned>(text.size())),
              static_cast<int>(text.size()));
    EXPECT_TRUE(zv::gzclose(out) == 0 && !zv::detail::zlibModuleLoaded());
    zv::gzFile in = zv::gzopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::string back(text.size() + 10, '\0');
    back.resize(static_cast<std::size_t>(zv::gzread(in, back.data(), static_cast<unsigned>(back.size()))));
    EXPECT_TRUE(zv::gzclose(in) == 0 && back == text && !zv::detail::zlibModuleLoaded());
}

// A copy in the folder looked in first is taken, although the system's
// search would find the one beside the library. Without such a copy the bare
// name goes to the system's search, which finds the copy beside the
// executable (Windows) or in the library's run path (Linux).
TEST(zlibLoader, TheCopyInTheLibraryFolderWinsOverTheSystemSearch) {
    const fs::path besideTheLibrary = hostOf(zv::file(libraryFolder(), zv::detail::zlibModuleName()));
    EXPECT_TRUE(loadsFrom(besideTheLibrary));
    zvtest::tempFolder other, empty;
    ASSERT_NO_FATAL_FAILURE(placeModule(false, other));
    {
        folderOverride look(other.dir());
        EXPECT_TRUE(loadsFrom(other.host() / zv::detail::zlibModuleName()));
    }
    EXPECT_FALSE(zv::detail::zlibModuleLoaded());
#if defined(_WIN32) || !defined(__SANITIZE_ADDRESS__)
    // (Under AddressSanitizer dlopen is called from the sanitizer's runtime, so
    // the library's own run path is not searched.)
    folderOverride look(empty.dir());
    EXPECT_TRUE(loadsFrom(besideTheLibrary));
#endif
}

TEST(zlibLoader, RejectsAModuleWithoutZvcompressAndLeavesTheLockFree) {
    zvtest::tempFolder bad;
    ASSERT_NO_FATAL_FAILURE(placeModule(true, bad));
    const zv::file source = bad.write(L"plain.txt", "some text");
    const zv::file target(bad.dir(), L"plain.txt.gz");
    {
        folderOverride look(bad.dir());
        zvtest::assertCapture capture;
        EXPECT_FALSE(zv::zlibGuard().acquired());
        const auto messages = capture.messages();
        ASSERT_EQ(messages.size(), 1u);
        const std::wstring expected = std::wstring(L"Failed to find/init \"") + zv::detail::zlibModuleName() +
                                      L"\"\n\nFile: src/zvZLib.cpp\nLine: ";
        EXPECT_EQ(messages[0].substr(0, expected.size()), expected);
        EXPECT_EQ(messages[0].back(), L'\n');
        // Everything built on it fails without leaving anything behind.
        EXPECT_TRUE(zv::gzopen("x.gz", "wb") == nullptr && zv::gzread(nullptr, nullptr, 0) == -1);
        EXPECT_NE(zv::gzclose(nullptr), 0);
        EXPECT_FALSE(source.gzCompressTo(target) || target.exists() || zv::detail::zlibModuleLoaded());
        EXPECT_EQ(zv::detail::zlibUseCount(), 0);
    }
    // Another thread can acquire at once: the failures left nothing locked.
    // (Detached, so that a lock left taken fails the test instead of hanging it.)
    const auto acquired = std::make_shared<std::atomic<int>>(-1);
    std::thread([acquired] { *acquired = zv::zlibGuard().acquired() ? 1 : 0; }).detach();
    EXPECT_TRUE(zvtest::eventually([&] { return *acquired >= 0 && !zv::detail::zlibModuleLoaded(); }));
    EXPECT_EQ(*acquired, 1) << "another thread could not acquire the zlib lock";
}

TEST(gzipFile, RoundTripsContentOfEverySizeAndReportsProgress) {
    zvtest::tempFolder tmp;
    for (const std::string& content : {std::string(), std::string("x"), sampleText(300000)}) {
        const std::wstring stem = L"f" + std::to_wstring(content.size());
        const zv::file plain = tmp.write(stem + L".txt", content);
        const zv::file packed(tmp.dir(), stem + L".gz"), back(tmp.dir(), stem + L".out");
        progressLog up, down;
        ASSERT_TRUE(plain.gzCompressTo(packed, &logProgress, &up)) << content.size();
        const std::string gz = zvtest::readAll(packed);
        ASSERT_TRUE(packed.gzUncompressTo(back, &logProgress, &down)) << content.size();
        EXPECT_TRUE(gz.substr(0, 3) == "\x1f\x8b\x08" && zvtest::readAll(back) == content) << content.size();
        if (content.size() < 1000)
            continue;
        EXPECT_LT(gz.size(), content.size() / 2);
        ASSERT_GE(up.values.size(), 2u);
        for (std::size_t i = 1; i < up.values.size(); ++i)
            EXPECT_GT(up.values[i], up.values[i - 1]);
        EXPECT_DOUBLE_EQ(up.values.back(), 100.0);
        // Uncompressing counts written bytes against the compressed size.
        EXPECT_DOUBLE_EQ(down.values.back(),
                         100.0 * static_cast<double>(content.size()) / static_cast<double>(packed.size64()));
    }
    EXPECT_FALSE(zv::detail::zlibModuleLoaded());
}

// Cancelled runs and damaged input answer false and leave no partial output
// behind; a target that existed before keeps its content. zlib reads a
// stream cut off right after a full block as a clean end: the trailer of
// the last member decides, also when the content is a multiple of the block size.
TEST(gzipFile, CancelledOrDamagedRunsLeaveNoOutput) {
    zvtest::tempFolder tmp;
    const std::string content = sampleText(2 * 65536);
    const zv::file plain = tmp.write(L"t.txt", content);
    const zv::file packed(tmp.dir(), L"t.gz");
    ASSERT_TRUE(plain.gzCompressTo(packed));
    const std::string gz = zvtest::readAll(packed);
    const zv::file kept = tmp.write(L"kept.gz", "previous");
    progressLog cancelUp{{}, 1}, cancelDown{{}, 2};
    EXPECT_FALSE(plain.gzCompressTo(kept, &logProgress, &cancelUp) ||
                 packed.gzUncompressTo(kept, &logProgress, &cancelDown));
    EXPECT_TRUE(cancelUp.values.size() == 1 && cancelDown.values.size() == 2);
    auto flipped = [&](std::size_t from, std::size_t count) {
        std::string s = gz;
        for (std::size_t i = from; i < from + count; ++i)
            s[i] = static_cast<char>(s[i] ^ 0x5A);
        return s;
    };
    const std::pair<const wchar_t*, std::string> bad[] = {
        {L"corrupt.gz", flipped(gz.size() / 3, 64)},
        {L"no-trailer.gz", gz.substr(0, gz.size() - 8)},
        {L"one-byte-short.gz", gz.substr(0, gz.size() - 1)},
        {L"truncated.gz", gz.substr(0, gz.size() / 2)},
        {L"crc-wrong.gz", flipped(gz.size() - 8, 1)},
        {L"length-wrong.gz", flipped(gz.size() - 1, 1)},
        {L"garbage-after.gz", gz + "trailing"},
        {L"header-only.gz", gz.substr(0, 10)},
    };
    const zv::file out(tmp.dir(), L"out.txt");
    for (const auto& [name, bytes] : bad) {
        const zv::file f = tmp.write(name, bytes);
        EXPECT_FALSE(f.gzUncompressTo(out) || out.exists() || f.gzUncompressTo(kept)) << hostOf(f);
    }
    EXPECT_EQ(zvtest::readAll(kept), "previous");
    EXPECT_FALSE(zv::file(tmp.dir(), L"missing.txt").gzCompressTo(out) ||
                 zv::file(tmp.dir(), L"missing.gz").gzUncompressTo(out));
    EXPECT_FALSE(plain.gzCompressTo(zv::file(tmp.dir(), L"no\\such\\dir.gz")) || out.exists());
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.host()), {}), 3 + std::ssize(bad))
        << "a temporary file was left behind";

    // Members written one after the other read as one content; only the
    // last member's trailer stands at the end.
    const zv::file packed2(tmp.dir(), L"t2.gz");
    ASSERT_TRUE(tmp.write(L"t2.txt", "second").gzCompressTo(packed2));
    ASSERT_TRUE(tmp.write(L"joined.gz", gz + zvtest::readAll(packed2)).gzUncompressTo(out));
    EXPECT_EQ(zvtest::readAll(out), content + "second");
    EXPECT_EQ(zv::detail::zlibUseCount(), 0);
}
