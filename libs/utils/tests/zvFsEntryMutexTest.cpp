#include "zvFsEntryMutex.h"

#include "zvFsTestSupport.h"
#include "zvProcess.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

long long msSince(clock_type::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - start).count();
}

} // namespace

TEST(fsEntryMutex, NamesTheLockFileAndRefusesMissingEntries) {
    zvtest::tempFolder tmp;
    EXPECT_EQ(zv::fsEntryMutex(tmp.mkdir(L"jobs")).lockFileName(),
              zv::string(tmp.dir()) + L"jobs\\jobs$$lock$$");
    // The longest name a folder holds still gets a lock file of its own.
    zv::fsEntryMutex m(tmp.write(std::wstring(250, L'n')));
    EXPECT_EQ(m.lockFileName(), zv::string(tmp.dir()) + std::wstring(247, L'n') + L"$$lock$$");
    EXPECT_TRUE(m.lock(1000) && zv::file(m.lockFileName()).exists());
#if defined(_WIN32)
    unsigned attributes = 0;
    ASSERT_TRUE(zv::file(m.lockFileName()).getAttributes(attributes));
    EXPECT_NE(attributes & 0x02u, 0u) << "hidden";
#endif
    m.release();
    EXPECT_FALSE(zv::file(m.lockFileName()).exists());

    EXPECT_EQ(zvtest::errorText([&] { zv::fsEntryMutex none(zv::file(tmp.dir(), L"none.dat")); }),
              L"Unexpected error occurred (mutex on a not-existing file is not possible!)");
    EXPECT_EQ(zvtest::errorText([&] { zv::fsEntryMutex none(zv::directory(tmp.dir(), L"none")); }),
              L"Unexpected error occurred (mutex on a not-existing directory is not possible!)");
    zv::fsEntryMutex none;
    EXPECT_NE(zvtest::errorText([&] { none.lock(10); }).find(L"not possible"), std::wstring::npos);
    EXPECT_NO_THROW(none.release());
}

TEST(fsEntryMutex, SecondHolderWaitsUntilTheFirstReleases) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"shared.dat");
    zv::fsEntryMutex first(f), second(f);
    EXPECT_TRUE(first.lock() && first.lock()); // the holder's own thread is not kept waiting
    auto start = clock_type::now();
    EXPECT_FALSE(second.lock(300));
    EXPECT_GE(msSince(start), 300);
    EXPECT_FALSE(second.isLocked());
    second.release(); // not the holder: the lock file stays
    EXPECT_TRUE(zv::file(first.lockFileName()).exists() && first.isLocked());
    // Another thread using the same object waits as well.
    std::thread([&] { EXPECT_FALSE(first.lock(250)); }).join();
    std::thread releaser([&] {
        zv::sleep(150);
        first.release();
    });
    start = clock_type::now();
    EXPECT_TRUE(second.lock(5000));
    releaser.join();
    EXPECT_GE(msSince(start), 100);
    EXPECT_FALSE(first.lock(0));

    // Pointing it at another entry releases the held lock; so does the destructor.
    const zv::string oldLock = second.lockFileName();
    second.setFsEntry(tmp.write(L"b.dat"));
    EXPECT_FALSE(zv::file(oldLock).exists() || second.isLocked());
    EXPECT_TRUE(second.lock(1000));
    EXPECT_TRUE(zv::fsEntryMutex(f).lock(1000));
    EXPECT_FALSE(zv::file(oldLock).exists());
}

TEST(fsEntryMutex, TakesOverOnlyLockFilesOfEndedProcessesOnThisComputer) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"job.dat");
    const fs::path lockHost = tmp.host() / "job.dat$$lock$$";
    zv::string name;
    zv::getComputerName(name);
    const std::string here(name.begin(), name.end()); // plain ASCII in test environments
    const std::string ownPid = std::to_string(zv::getCurrentProcessId());
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"ended process here", "4000000000\n" + here + "\n", true},
        {"ended, other name", "4000000000\n" + std::string(here.size(), 'x') + "\n", false},
        {"running process here", ownPid + "\n" + here + "\n", false},
        {"other computer", "4000000000\nsome-other-computer-name\n", false},
        {"no record", "", false},
        {"no computer", "4000000000\n", false},
        {"garbage", "12ab\n" + here + "\n", false},
    };
    for (const auto& [what, record, takenOver] : cases) {
        std::ofstream(lockHost, std::ios::binary | std::ios::trunc) << record;
        zv::fsEntryMutex m(f);
        EXPECT_EQ(m.lock(150), takenOver) << what;
        if (takenOver) {
#if !defined(_WIN32) // Windows lets nobody read a held lock file
            // The new lock file names this process.
            EXPECT_EQ(zvtest::readAll(lockHost), ownPid + "\n" + here + "\n");
#endif
            m.release();
            EXPECT_FALSE(fs::exists(lockHost));
        } else {
            EXPECT_EQ(zvtest::readAll(lockHost), record) << what;
        }
        fs::remove(lockHost);
    }
}

TEST(fsEntryMutex, ReportsALockFileThatCannotBeCreated) {
    zvtest::tempFolder tmp;
    zv::fsEntryMutex m(tmp.write(L"job.dat"));
    // A folder in the lock file's place: not a lock anybody holds.
    fs::create_directory(tmp.host() / "job.dat$$lock$$");
    const std::wstring text = zvtest::errorText([&] { m.lock(200); });
#if defined(_WIN32)
    // Windows reports a folder in the way as an existing entry: the lock is held.
    EXPECT_TRUE(text == L"no exception" || text.find(L"Error creating lockfile") != std::wstring::npos)
        << text;
#else
    EXPECT_EQ(text, L"no exception") << "an existing entry: waited";
#endif
    fs::remove(tmp.host() / "job.dat$$lock$$");

    // The lock file's folder went away after the entry was set.
    zv::fsEntryMutex gone(tmp.write(L"sub/a.dat"));
    fs::remove_all(tmp.host() / "sub");
    const std::wstring prefix =
        L"Unexpected error occurred (Error creating lockfile " + std::wstring(gone.lockFileName()) + L" (";
#if defined(_WIN32)
    const std::wstring code = L"3)!)"; // ERROR_PATH_NOT_FOUND
#else
    const std::wstring code = L"2)!)"; // ENOENT
#endif
    EXPECT_EQ(zvtest::errorText([&] { gone.lock(200); }), prefix + code);
    EXPECT_FALSE(gone.isLocked());
}

TEST(fsEntryMutex, StressManyHoldersNeverOverlap) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"counter.dat");
    // The total is read and written apart, so only the lock keeps updates from getting lost.
    std::atomic<int> inside{0}, overlaps{0}, total{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            zv::fsEntryMutex m(f);
            for (int i = 0; i < 5; ++i) {
                if (!m.lock(20000))
                    continue;
                if (inside.fetch_add(1) != 0)
                    ++overlaps;
                const int seen = total.load();
                zv::sleep(2);
                total.store(seen + 1);
                inside.fetch_sub(1);
                m.release();
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(total.load(), 20);
    EXPECT_FALSE(fs::exists(tmp.host() / "counter.dat$$lock$$"));
}
