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

// A plain item: offers only "zv::intrface::unknown"; counts live instances.
class itemImpl : public unknown, public zv::ifimpl::unknownImpl {
public:
    static int s_alive;
    int id;

    int queryInterface(const wchar_t* name, void** object) override {
        if (name && std::wcscmp(name, unknown::interfaceName) == 0) {
            addRef();
            *object = static_cast<unknown*>(this);
            return 1;
        }
        *object = nullptr;
        return 0;
    }

protected:
    explicit itemImpl(int value) : id(value) { ++s_alive; }
    ~itemImpl() override { --s_alive; }
};
int itemImpl::s_alive = 0;

unknownPtr makeItem(int id) {
    return unknownPtr(new zv::ifimpl::intrfaceImpl<itemImpl>(id));
}

int idOf(const unknownPtr& p) {
    return p ? static_cast<itemImpl*>(p.get())->id : -1;
}

unknownPtr vectorOf(const std::vector<int>& ids) {
    std::vector<unknownPtr> items;
    for (int id : ids)
        items.push_back(makeItem(id));
    return unknownPtr(zv::ifimpl::vectorIteratorImpl::createObject(items));
}

// Every item of `it` from the start, by id; stops at the first false.
std::vector<int> collect(const iteratorPtr& it) {
    std::vector<int> ids;
    unknownPtr item;
    for (bool ok = it->getFirst(item.receive()); ok; ok = it->getNext(item.receive()))
        ids.push_back(idOf(item));
    return ids;
}

// Checks that all items have gone once the test body's pointers are dropped.
class interfaceTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(itemImpl::s_alive, 0) << "references not balanced"; }
};

} // namespace

TEST_F(interfaceTest, VectorIteratorWalksOnceAndReportsDone) {
    iteratorPtr it = vectorOf({1, 2});
    ASSERT_TRUE(it.isValid());
    EXPECT_FALSE(it->done());
    EXPECT_EQ(collect(it), (std::vector<int>{1, 2}));
    EXPECT_TRUE(it->done());
    unknownPtr item;
    EXPECT_FALSE(it->getNext(item.receive()));
    EXPECT_FALSE(item);

    // getFirst starts over; getNext before any getFirst starts at the front.
    EXPECT_TRUE(it->getFirst(item.receive()));
    EXPECT_EQ(idOf(item), 1);
    EXPECT_FALSE(it->done());
    iteratorPtr fresh = vectorOf({7, 8});
    EXPECT_TRUE(fresh->getNext(item.receive()));
    EXPECT_EQ(idOf(item), 7);

    auto* impl = static_cast<zv::ifimpl::intrfaceImpl<zv::ifimpl::vectorIteratorImpl>*>(it.get());
    EXPECT_FALSE(impl->getLast(item.receive()));
    EXPECT_FALSE(impl->getPrev(item.receive()));
}

TEST_F(interfaceTest, VectorIteratorOverEmptyAndNullEntries) {
    iteratorPtr empty = unknownPtr(zv::ifimpl::vectorIteratorImpl::createObject({}));
    unknownPtr item = makeItem(9);
    EXPECT_FALSE(empty->getFirst(item.receive()));
    EXPECT_FALSE(item);
    EXPECT_TRUE(empty->done());

    // A null entry is an item like any other: true with a null pointer.
    iteratorPtr withNull =
        unknownPtr(zv::ifimpl::vectorIteratorImpl::createObject({unknownPtr(), makeItem(4)}));
    EXPECT_EQ(collect(withNull), (std::vector<int>{-1, 4}));
}

TEST_F(interfaceTest, QueryInterfaceAnswersKnownNamesWithAReference) {
    auto* raw = zv::ifimpl::vectorIteratorImpl::createObject({makeItem(1)});
    EXPECT_EQ(raw->addRef(), 1); // created with a count of 0

    void* object = nullptr;
    EXPECT_NE(raw->queryInterface(L"zv::intrface::unknown", &object), 0);
    EXPECT_EQ(object, static_cast<unknown*>(raw));
    EXPECT_EQ(raw->addRef(), 3); // one for us, one from queryInterface, this one
    raw->release();
    raw->release();

    object = raw;
    EXPECT_EQ(raw->queryInterface(L"zv::intrface::somethingElse", &object), 0);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(raw->queryInterface(L"ZV::INTRFACE::UNKNOWN", &object), 0); // names compare exactly
    EXPECT_EQ(raw->release(), 0);
}

TEST_F(interfaceTest, ConversionAsksForTheIterator) {
    unknownPtr it = vectorOf({1});
    iteratorPtr asIterator = it;
    EXPECT_TRUE(asIterator.isValid());
    EXPECT_EQ(static_cast<unknown*>(asIterator.get()), it.get());
    const zv::intrface::const_interfaceptr<forwardIterator> readOnly = it;
    EXPECT_TRUE(readOnly.isValid());

    const iteratorPtr notAnIterator = makeItem(2);
    EXPECT_FALSE(notAnIterator.isValid());
    unknownPtr back = asIterator; // to a base interface: no query needed
    EXPECT_EQ(back.get(), it.get());
}

TEST_F(interfaceTest, NullInterfacePointerAssertsOnDereference) {
    iteratorPtr null;
    zvtest::assertCapture capture;
    EXPECT_THROW(null->done(), bool);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0].rfind(L"Assertion failed:\nm_p != NULL\n", 0), 0u);
}

TEST_F(interfaceTest, CompoundIteratorSkipsEmptyEntries) {
    iteratorPtr it = unknownPtr(
        zv::ifimpl::compoundIteratorImpl::createObject({vectorOf({1, 2}), vectorOf({}), vectorOf({4})}));
    EXPECT_EQ(collect(it), (std::vector<int>{1, 2, 4}));
    EXPECT_TRUE(it->done());
    unknownPtr item;
    EXPECT_FALSE(it->getNext(item.receive()));
    // And again from the start, with empties at both ends as well.
    EXPECT_EQ(collect(it), (std::vector<int>{1, 2, 4}));

    iteratorPtr padded = unknownPtr(zv::ifimpl::compoundIteratorImpl::createObject(
        {vectorOf({}), vectorOf({5}), vectorOf({}), vectorOf({}), vectorOf({6, 7}), vectorOf({})}));
    EXPECT_EQ(collect(padded), (std::vector<int>{5, 6, 7}));
    EXPECT_TRUE(padded->done());

    iteratorPtr allEmpty =
        unknownPtr(zv::ifimpl::compoundIteratorImpl::createObject({vectorOf({}), vectorOf({})}));
    EXPECT_FALSE(allEmpty->getFirst(item.receive()));
    EXPECT_TRUE(allEmpty->done());
}

TEST_F(interfaceTest, CompoundIteratorHandsOutPlainEntriesOnceAndNests) {
    // A plain item among the iterators is an item in its place; null entries are skipped.
    iteratorPtr inner =
        unknownPtr(zv::ifimpl::compoundIteratorImpl::createObject({makeItem(2), vectorOf({3})}));
    iteratorPtr it = unknownPtr(
        zv::ifimpl::compoundIteratorImpl::createObject({makeItem(1), unknownPtr(), inner, makeItem(4)}));
    EXPECT_EQ(collect(it), (std::vector<int>{1, 2, 3, 4}));
    unknownPtr item;
    EXPECT_TRUE(it->getFirst(nullptr)); // asking without taking the item leaks nothing
    EXPECT_TRUE(it->getNext(nullptr));
    EXPECT_TRUE(it->getNext(item.receive()));
    EXPECT_EQ(idOf(item), 3);
}
