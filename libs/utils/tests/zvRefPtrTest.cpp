#include "zvRefPtr.h"
#include "zvRefObj.h"
#include "zvSharedPtr.h"

#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Counts its destructions in a counter owned by the test.
class tracked : public zv::refObj {
public:
    explicit tracked(std::atomic<int>* destroyed, int value = 0) : m_destroyed(destroyed), m_value(value) {}
    ~tracked() override { ++*m_destroyed; }
    int value() const { return m_value; }

private:
    std::atomic<int>* m_destroyed;
    int m_value;
};

class derivedTracked : public tracked {
public:
    using tracked::tracked;
};

} // namespace

TEST(refObj, LastReleaseDestroysOnceAndACopyHasItsOwnCount) {
    std::atomic<int> destroyed{0};
    auto* raw = new tracked(&destroyed, 7);
    EXPECT_TRUE(raw->addRef() == 1 && raw->addRef() == 2 && raw->release() == 1);
    {
        zv::refPtr<tracked> copy = zv::createRefObj<tracked>(*raw);
        EXPECT_TRUE(copy->value() == 7 && copy->addRef() == 2); // its own count, not the original's
        copy->release();
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(raw->release() == 0 && destroyed == 2);
}

TEST(refPtr, CopiesMovesConversionsAndAssignmentsBalanceReferences) {
    std::atomic<int> destroyed{0};
    {
        zv::refPtr<tracked> a = zv::createRefObj<tracked>(&destroyed, 1);
        zv::refPtr<tracked> b = a;
        zv::refPtr<tracked> c = std::move(b);
        EXPECT_TRUE(b.isNull() && a == c);
        a = a; // self-assignment keeps the object
        c = zv::createRefObj<tracked>(&destroyed, 2);
        EXPECT_EQ(destroyed, 0);
        a = c; // the first object loses its last reference
        EXPECT_TRUE(destroyed == 1 && a->value() == 2);

        // Wrapping the same raw pointer twice is safe: the count is in the object.
        zv::refPtr<tracked>(a.get()) = nullptr;
        zv::refPtr<tracked> adopted;
        adopted.attach(a.detach());
        c = nullptr;
        EXPECT_EQ(destroyed, 1);
        adopted.reset();
        EXPECT_EQ(destroyed, 2);

        // Converted to a base and to const, the references still add up.
        zv::refPtr<derivedTracked> d = zv::createRefObj<derivedTracked>(&destroyed, 3);
        zv::refPtr<tracked> base = d;
        zv::const_refPtr<tracked> readOnly = d;
        zv::const_refPtr<tracked> copy = readOnly;
        base = d = nullptr;
        readOnly = nullptr;
        EXPECT_EQ((*copy).value(), 3);
    }
    EXPECT_EQ(destroyed, 3);
}

// Dereferencing null asserts with the "m_p != NULL" convention, naming the header.
TEST(refPtr, NullDereferenceAssertsWithTheConventionalText) {
    const std::pair<std::function<void()>, const wchar_t*> cases[] = {
        {[] { zv::refPtr<tracked>()->value(); }, L"zvRefPtr.h"},
        {[] { (void)*zv::const_refPtr<tracked>(); }, L"zvRefPtr.h"},
        {[] { zv::sharedPtr<tracked>()->value(); }, L"zvSharedPtr.h"},
    };
    for (const auto& [call, header] : cases) {
        SCOPED_TRACE(header);
        zvtest::assertCapture capture;
        EXPECT_THROW(call(), bool);
        const std::vector<std::wstring> messages = capture.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].rfind(L"Assertion failed:\nm_p != NULL\n\nFile: ", 0), 0u);
        EXPECT_TRUE(messages[0].find(header) != std::wstring::npos &&
                    messages[0].find(L"\nLine: ") != std::wstring::npos);
    }
}

// Many threads take and drop references to one object; whichever drops the
// last one destroys it, exactly once, and only that release answers 0.
TEST(refObjConcurrent, StressAddRefReleaseDestroysExactlyOnce) {
    constexpr int kThreads = 4;
    for (int round = 0; round < 60; ++round) {
        std::atomic<int> destroyed{0}, zeros{0};
        std::atomic<bool> go{false};
        tracked* object = new tracked(&destroyed);
        for (int t = 0; t < kThreads; ++t)
            object->addRef(); // one reference per thread, taken before it starts
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                while (!go.load())
                    std::this_thread::yield();
                for (int i = 0; i < 2000; ++i) {
                    if ((i + t) % 2 == 0) {
                        zv::refPtr<tracked> p(object), q = p;
                    } else {
                        object->addRef();
                        zeros += object->release() == 0;
                    }
                }
                zeros += object->release() == 0;
            });
        go = true;
        for (auto& th : threads)
            th.join();
        ASSERT_TRUE(destroyed == 1 && zeros == 1) << "round " << round << ": " << destroyed << " " << zeros;
    }
}

// A plain counted pointer: the count lives beside the object, not in it.
TEST(sharedPtr, LastOwnerDeletesObjectOnce) {
    std::atomic<int> destroyed{0};
    {
        zv::sharedPtr<derivedTracked> d(new derivedTracked(&destroyed));
        zv::sharedPtr<tracked> s = d; // shares the counter
        zv::sharedPtr<tracked> moved = std::move(s);
        EXPECT_TRUE(s.isNull() && d.useCount() == 2u);
        d = nullptr;
        EXPECT_TRUE(destroyed == 0 && moved.useCount() == 1u);
        zv::sharedPtr<tracked> other(new tracked(&destroyed));
        moved = other; // the derived object goes (through the virtual destructor)
        EXPECT_EQ(destroyed, 1);
        EXPECT_TRUE(moved == other && other.useCount() == 2u);
    }
    EXPECT_EQ(destroyed, 2);
    const zv::sharedPtr<tracked> null(nullptr);
    EXPECT_TRUE(!null && null.useCount() == 0u);
}
