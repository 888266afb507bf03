#include "zvExecQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using names = std::vector<std::string>;

// What happened to the items of one test.
struct journal {
    std::mutex m;
    names runs, deletes;
    void note(names& to, const std::string& n) {
        std::lock_guard<std::mutex> lock(m);
        to.push_back(n);
    }
    // "runs | deletes", each in order.
    std::string str() {
        std::string s;
        for (const auto& n : runs)
            s += n + " ";
        s += "|";
        for (const auto& n : deletes)
            s += " " + n;
        return s;
    }
};

struct item : zv::execItem {
    item(journal& j, std::string name, std::function<void()> action = {})
        : j(j), name(std::move(name)), action(std::move(action)) {}
    ~item() override {
        j.note(j.deletes, name);
        if (onDelete)
            onDelete();
    }
    void execute() override {
        j.note(j.runs, name);
        if (action)
            action();
    }
    journal& j;
    std::string name;
    std::function<void()> action;
    std::function<void()> onDelete;
};

// A journal and a queue per test.
class execQueue : public ::testing::Test {
protected:
    item* mk(std::string name, std::function<void()> action = {}) {
        return new item(j, std::move(name), std::move(action));
    }
    journal j;
    zv::execQueue q;
};

} // namespace

TEST_F(execQueue, MainListRunsInOrderAndDeletesByFlagAndKeepsTheImmediateFlag) {
    auto* kept = mk("kept");
    q.add(mk("a"));
    q.add(kept, false, false);
    EXPECT_FALSE(q.immediateExecRequired());
    q.add(mk("b", [] { throw 1; }), true);
    q.add(mk("c"));
    EXPECT_TRUE(q.contains(kept));
    q.execute();
    EXPECT_EQ(j.str(), "a kept b c | a b c"); // the failing one deleted too
    EXPECT_EQ(q.nrOfEntries(), 0u);
    EXPECT_FALSE(q.contains(kept));
    EXPECT_TRUE(kept->executed());
    EXPECT_TRUE(q.immediateExecRequired()); // stays set

    // Not owned: may be queued again, and is the caller's to delete.
    q.add(kept, false, false);
    q.execute();
    EXPECT_EQ(j.str(), "a kept b c kept | a b c");
    delete kept;
}

TEST_F(execQueue, ItemsAddedWhileExecutingRunInTheSameCall) {
    q.add(mk("first", [&] { q.add(mk("second", [&] { q.putAtExecutionEnd(L"end", mk("end")); })); }));
    q.execute();
    EXPECT_EQ(j.str(), "first second | first second");
    EXPECT_TRUE(q.atExecutionEnd(L"end"));
    q.executeEnd();
    EXPECT_EQ(j.str(), "first second end | first second end");
    EXPECT_FALSE(q.atExecutionEnd(L"end"));
}

TEST_F(execQueue, NamedListsKeepOneItemPerName) {
    auto* second = mk("second");
    q.putAtExecutionStart(L"x", mk("first"));
    q.putAtExecutionStart(L"x", second);
    EXPECT_EQ(j.str(), "| first");            // replaced: deleted at once
    q.putAtExecutionStart(L"x", second);      // the same item again: nothing happens
    q.putAtExecutionStart(L"X", mk("upper")); // names are case-sensitive
    q.putAtExecutionStart(L"y", mk("y"));
    EXPECT_TRUE(q.atExecutionStart(L"x"));
    EXPECT_FALSE(q.atExecutionStart(L"z"));
    EXPECT_FALSE(q.atExecutionEnd(L"x"));
    q.executeStart();
    EXPECT_EQ(j.str(), "second upper y | first second upper y");
    EXPECT_FALSE(q.atExecutionStart(L"x"));
}

TEST_F(execQueue, AnItemQueuedTwiceRunsTwiceAndIsDeletedOnce) {
    {
        zv::execQueue own;
        auto* twice = mk("twice");
        own.add(twice);
        own.add(twice);
        own.execute();
        EXPECT_EQ(j.str(), "twice twice | twice");

        // Held by several lists at once, then cleared.
        auto* shared = mk("shared");
        own.putAtExecutionStart(L"a", shared);
        own.putAtExecutionEnd(L"b", shared);
        own.add(shared, false, false);
        own.add(shared, false, true);
        own.putAtExecutionStart(L"a", mk("other")); // one holder fewer
        EXPECT_EQ(j.deletes.size(), 1u);
        own.clear();
        EXPECT_EQ(j.str(), "twice twice | twice other shared");
        EXPECT_EQ(own.nrOfEntries(), 0u);
        EXPECT_FALSE(own.atExecutionStart(L"a"));
    }
    EXPECT_EQ(j.deletes.size(), 3u); // the destructor found nothing left
}

TEST_F(execQueue, ClearDeletesOutsideTheLocks) {
    auto own = std::make_unique<zv::execQueue>();
    auto* unowned = mk("unowned");
    auto* reentrant = mk("reentrant");
    // A destructor that uses the queue must neither deadlock nor find half a list.
    std::size_t seen = 99;
    reentrant->onDelete = [&] {
        seen = own->nrOfEntries();
        own->putAtExecutionEnd(L"late", mk("late"));
    };
    own->putAtExecutionStart(L"s", mk("s"));
    own->add(reentrant);
    own->add(unowned, false, false);
    own->putAtExecutionEnd(L"e", mk("e"));
    own->clear();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(j.str(), "| s reentrant unowned e"); // unowned too: clear deletes all
    EXPECT_TRUE(own->atExecutionEnd(L"late"));
    own.reset(); // the destructor clears what the destructor added
    EXPECT_EQ(j.str(), "| s reentrant unowned e late");
}

TEST_F(execQueue, StressConcurrentProducersConsumersAndClears) {
    constexpr int kProducers = 3, kItems = 300;
    std::atomic<std::size_t> created{0};
    {
        zv::execQueue own; // ended before the count
        std::atomic<bool> producing{true};
        std::vector<std::thread> threads;
        for (int p = 0; p < kProducers; ++p)
            threads.emplace_back([&, p] {
                for (int i = 0; i < kItems; ++i) {
                    ++created;
                    own.add(mk("x"), i % 7 == 0);
                    if (i % 10 == 0) {
                        ++created;
                        const std::wstring name = L"n" + std::to_wstring((p * 31 + i) % 5);
                        if (i % 20 == 0)
                            own.putAtExecutionStart(name.c_str(), mk("x"));
                        else
                            own.putAtExecutionEnd(name.c_str(), mk("x"));
                    }
                }
            });
        std::thread consumer([&] {
            int round = 0;
            while (producing.load()) {
                own.executeStart();
                own.execute();
                own.executeEnd();
                if (++round % 50 == 0)
                    own.clear();
                std::this_thread::yield();
            }
        });
        for (auto& t : threads)
            t.join();
        producing = false;
        consumer.join();
        own.execute();
    }
    EXPECT_EQ(j.deletes.size(), created.load()); // each exactly once, none lost
    EXPECT_LE(j.runs.size(), created.load());
}
