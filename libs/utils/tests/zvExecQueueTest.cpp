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

// What happened to the items of one test.
struct journal {
    std::mutex m;
    std::vector<std::string> runs;
    std::vector<std::string> deletes;
    void note(std::vector<std::string>& to, const std::string& n) {
        std::lock_guard<std::mutex> lock(m);
        to.push_back(n);
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

using names = std::vector<std::string>;

} // namespace

TEST(execQueue, MainListRunsInOrderAndDeletesByFlagAndKeepsTheImmediateFlag) {
    journal j;
    zv::execQueue q;
    auto* kept = new item(j, "kept");
    q.add(new item(j, "a"));
    q.add(kept, false, false);
    EXPECT_FALSE(q.immediateExecRequired());
    q.add(new item(j, "b", [] { throw 1; }), true);
    q.add(new item(j, "c"));
    EXPECT_EQ(q.nrOfEntries(), 4u);
    EXPECT_TRUE(q.contains(kept));
    q.execute();
    EXPECT_EQ(j.runs, (names{"a", "kept", "b", "c"}));
    EXPECT_EQ(j.deletes, (names{"a", "b", "c"})); // the failing one too
    EXPECT_EQ(q.nrOfEntries(), 0u);
    EXPECT_FALSE(q.contains(kept));
    EXPECT_TRUE(kept->executed());
    EXPECT_TRUE(q.immediateExecRequired()); // stays set

    // Not owned: may be queued again, and is the caller's to delete.
    q.add(kept, false, false);
    EXPECT_TRUE(q.contains(kept));
    q.execute();
    EXPECT_EQ(j.runs.back(), "kept");
    EXPECT_EQ(j.deletes.size(), 3u);
    delete kept;
}

TEST(execQueue, ItemsAddedWhileExecutingRunInTheSameCall) {
    journal j;
    zv::execQueue q;
    q.add(new item(j, "first", [&] {
        q.add(new item(j, "second", [&] { q.putAtExecutionEnd(L"end", new item(j, "end")); }));
    }));
    q.execute();
    EXPECT_EQ(j.runs, (names{"first", "second"}));
    EXPECT_TRUE(q.atExecutionEnd(L"end"));
    q.executeEnd();
    EXPECT_EQ(j.runs.back(), "end");
    EXPECT_FALSE(q.atExecutionEnd(L"end"));
}

TEST(execQueue, NamedListsKeepOneItemPerName) {
    journal j;
    zv::execQueue q;
    auto* second = new item(j, "second");
    q.putAtExecutionStart(L"x", new item(j, "first"));
    q.putAtExecutionStart(L"x", second);
    EXPECT_EQ(j.deletes, names{"first"}); // replaced: deleted at once
    q.putAtExecutionStart(L"x", second);  // the same item again: nothing happens
    EXPECT_TRUE(j.deletes.size() == 1);
    q.putAtExecutionStart(L"X", new item(j, "upper")); // names are case-sensitive
    q.putAtExecutionStart(L"y", new item(j, "y"));
    EXPECT_TRUE(q.atExecutionStart(L"x"));
    EXPECT_FALSE(q.atExecutionStart(L"z"));
    EXPECT_FALSE(q.atExecutionEnd(L"x"));
    q.executeStart();
    EXPECT_EQ(j.runs, (names{"second", "upper", "y"}));
    EXPECT_EQ(j.deletes, (names{"first", "second", "upper", "y"}));
    EXPECT_FALSE(q.atExecutionStart(L"x"));
}

TEST(execQueue, AnItemQueuedTwiceRunsTwiceAndIsDeletedOnce) {
    journal j;
    {
        zv::execQueue q;
        auto* twice = new item(j, "twice");
        q.add(twice);
        q.add(twice);
        q.execute();
        EXPECT_EQ(j.runs, (names{"twice", "twice"}));
        EXPECT_EQ(j.deletes, names{"twice"});

        // Held by several lists at once, then cleared.
        auto* shared = new item(j, "shared");
        q.putAtExecutionStart(L"a", shared);
        q.putAtExecutionEnd(L"b", shared);
        q.add(shared, false, false);
        q.add(shared, false, true);
        q.putAtExecutionStart(L"a", new item(j, "other")); // one holder fewer
        EXPECT_EQ(j.deletes.size(), 1u);
        q.clear();
        EXPECT_EQ(j.deletes, (names{"twice", "other", "shared"}));
        EXPECT_EQ(q.nrOfEntries(), 0u);
        EXPECT_FALSE(q.atExecutionStart(L"a"));
    }
    EXPECT_EQ(j.deletes.size(), 3u); // the destructor found nothing left
}

TEST(execQueue, ClearDeletesOutsideTheLocks) {
    journal j;
    auto q = std::make_unique<zv::execQueue>();
    auto* unowned = new item(j, "unowned");
    auto* reentrant = new item(j, "reentrant");
    // A destructor that uses the queue must neither deadlock nor find half a list.
    std::size_t seen = 99;
    reentrant->onDelete = [&] {
        seen = q->nrOfEntries();
        q->putAtExecutionEnd(L"late", new item(j, "late"));
    };
    q->putAtExecutionStart(L"s", new item(j, "s"));
    q->add(reentrant);
    q->add(unowned, false, false);
    q->putAtExecutionEnd(L"e", new item(j, "e"));
    q->clear();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(j.deletes, (names{"s", "reentrant", "unowned", "e"})); // unowned too: clear deletes all
    EXPECT_TRUE(q->atExecutionEnd(L"late"));
    q.reset(); // the destructor clears what the destructor added
    EXPECT_EQ(j.deletes.back(), "late");
    EXPECT_TRUE(j.runs.empty());
}

TEST(execQueue, StressConcurrentProducersConsumersAndClears) {
    constexpr int kProducers = 3, kItems = 300;
    std::atomic<std::size_t> created{0};
    journal j;
    {
        zv::execQueue q;
        std::atomic<bool> producing{true};
        std::vector<std::thread> threads;
        for (int p = 0; p < kProducers; ++p)
            threads.emplace_back([&, p] {
                for (int i = 0; i < kItems; ++i) {
                    ++created;
                    q.add(new item(j, "x"), i % 7 == 0);
                    if (i % 10 == 0) {
                        ++created;
                        const std::wstring name = L"n" + std::to_wstring((p * 31 + i) % 5);
                        if (i % 20 == 0)
                            q.putAtExecutionStart(name.c_str(), new item(j, "x"));
                        else
                            q.putAtExecutionEnd(name.c_str(), new item(j, "x"));
                    }
                }
            });
        std::thread consumer([&] {
            int round = 0;
            while (producing.load()) {
                q.executeStart();
                q.execute();
                q.executeEnd();
                if (++round % 50 == 0)
                    q.clear();
                std::this_thread::yield();
            }
        });
        for (auto& t : threads)
            t.join();
        producing = false;
        consumer.join();
        q.execute();
    }
    EXPECT_EQ(j.deletes.size(), created.load()); // each exactly once, none lost
    EXPECT_LE(j.runs.size(), created.load());
}
