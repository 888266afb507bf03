#include "zvInterface.h"
#include "zvIteratorImpl.h"

#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

namespace {

using zv::intrface::forwardIterator;
using zv::intrface::interfaceptr;
using zv::intrface::unknown;
using unknownPtr = interfaceptr<unknown>;
using iteratorPtr = interfaceptr<forwardIterator>;
using ids = std::vector<int>;

// A plain item: offers only "zv::intrface::unknown"; counts live instances.
class itemImpl : public unknown, public zv::ifimpl::unknownImpl {
public:
    static int s_alive;
    int id;

    int queryInterface(const wchar_t* name, void** object) override {
        const bool known = name && std::wcscmp(name, unknown::interfaceName) == 0;
        *object = known ? static_cast<unknown*>(this) : nullptr;
        if (known)
            addRef();
        return known ? 1 : 0;
    }

protected:
    explicit itemImpl(int value) : id(value) { ++s_alive; }
    ~itemImpl() override { --s_alive; }
};
int itemImpl::s_alive = 0;

unknownPtr item(int id) {
    return unknownPtr(new zv::ifimpl::intrfaceImpl<itemImpl>(id));
}

int idOf(const unknownPtr& p) {
    return p ? static_cast<itemImpl*>(p.get())->id : -1;
}

unknownPtr vectorOf(const ids& list) {
    std::vector<unknownPtr> items;
    for (int id : list)
        items.push_back(item(id));
    return unknownPtr(zv::ifimpl::vectorIteratorImpl::createObject(items));
}

iteratorPtr compound(const std::vector<unknownPtr>& entries) {
    return unknownPtr(zv::ifimpl::compoundIteratorImpl::createObject(entries));
}

// Every item of `it` from the start, by id; stops at the first false.
ids collect(const iteratorPtr& it) {
    ids found;
    unknownPtr entry;
    for (bool ok = it->getFirst(entry.receive()); ok; ok = it->getNext(entry.receive()))
        found.push_back(idOf(entry));
    return found;
}

// Checks that all items have gone once the test body's pointers are dropped.
class interfaceTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(itemImpl::s_alive, 0) << "references not balanced"; }
};

} // namespace

TEST_F(interfaceTest, IteratorsWalkEachItemOnceSkipEmptyEntriesAndNest) {
    // In a vector a null entry is an item like any other; in a compound a
    // plain item is an item in its place, and null entries are skipped.
    const struct {
        iteratorPtr it;
        ids expected;
    } rows[] = {
        {vectorOf({1, 2}), {1, 2}},
        {vectorOf({}), {}},
        {unknownPtr(zv::ifimpl::vectorIteratorImpl::createObject({unknownPtr(), item(4)})), {-1, 4}},
        {compound({vectorOf({1, 2}), vectorOf({}), vectorOf({4})}), {1, 2, 4}},
        {compound({vectorOf({}), vectorOf({5}), vectorOf({}), vectorOf({}), vectorOf({6, 7}), vectorOf({})}),
         {5, 6, 7}},
        {compound({vectorOf({}), vectorOf({})}), {}},
        {compound({item(1), unknownPtr(), compound({item(2), vectorOf({3})}), item(4)}), {1, 2, 3, 4}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(collect(row.it), row.expected);
        EXPECT_TRUE(row.it->done());
        unknownPtr entry = item(9);
        EXPECT_FALSE(row.it->getNext(entry.receive()) || entry);
        EXPECT_EQ(collect(row.it), row.expected) << "again from the start";
        std::size_t count = 0; // asking without taking the item leaks nothing
        for (bool ok = row.it->getFirst(nullptr); ok; ok = row.it->getNext(nullptr))
            ++count;
        EXPECT_EQ(count, row.expected.size());
    }
    // getFirst starts over; getNext before any getFirst starts at the front;
    // a vector walks forward only.
    unknownPtr entry;
    EXPECT_TRUE(rows[0].it->getFirst(entry.receive()) && !rows[0].it->done());
    EXPECT_FALSE(iteratorPtr(vectorOf({7, 8}))->done());
    EXPECT_TRUE(iteratorPtr(vectorOf({7, 8}))->getNext(entry.receive()) && idOf(entry) == 7);
    auto* impl = static_cast<zv::ifimpl::intrfaceImpl<zv::ifimpl::vectorIteratorImpl>*>(rows[0].it.get());
    EXPECT_FALSE(impl->getLast(entry.receive()) || impl->getPrev(entry.receive()));
    entry = item(9);
    EXPECT_FALSE(rows[1].it->getFirst(entry.receive()) || entry);
}

TEST_F(interfaceTest, QueryInterfaceAndConversions) {
    auto* raw = zv::ifimpl::vectorIteratorImpl::createObject({item(1)});
    EXPECT_EQ(raw->addRef(), 1); // created with a count of 0
    void* object = nullptr;
    EXPECT_TRUE(raw->queryInterface(L"zv::intrface::unknown", &object) != 0 &&
                object == static_cast<unknown*>(raw));
    EXPECT_EQ(raw->addRef(), 3); // one for us, one from queryInterface, this one
    raw->release();
    raw->release();
    for (const wchar_t* other : {L"zv::intrface::somethingElse", L"ZV::INTRFACE::UNKNOWN"}) {
        object = raw; // names compare exactly
        EXPECT_TRUE(raw->queryInterface(other, &object) == 0 && object == nullptr) << other;
    }
    EXPECT_EQ(raw->release(), 0);

    // Conversion asks for the iterator; to a base interface no query is needed.
    unknownPtr it = vectorOf({1});
    iteratorPtr asIterator = it;
    EXPECT_EQ(static_cast<unknown*>(asIterator.get()), it.get());
    const zv::intrface::const_interfaceptr<forwardIterator> readOnly = it;
    EXPECT_TRUE(readOnly.isValid() && !iteratorPtr(item(2)).isValid());
    EXPECT_EQ(unknownPtr(asIterator).get(), it.get());

    iteratorPtr null;
    zvtest::assertCapture capture;
    EXPECT_THROW(null->done(), bool);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0].rfind(L"Assertion failed:\nm_p != NULL\n", 0), 0u);
}
