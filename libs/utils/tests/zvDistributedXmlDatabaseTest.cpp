#include "zvDistributedXmlDatabase.h"

#include "zvException.h"

#include "zvFsTestSupport.h"
#include "zvXmlDbTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using zv::distributedXmlDatabase;

namespace {

// The object `p` refers to, null when none.
iPersistent* refOf(iPersistent* p) {
    node* n = asNode(p);
    return n && !n->refs.empty() ? n->refs[0].get() : nullptr;
}

factory g_factory(true);

// A database on `dir` that makes objects of every class.
std::unique_ptr<distributedXmlDatabase> openDb(const zv::directory& dir) {
    auto db = std::make_unique<distributedXmlDatabase>(dir);
    db->addObjectFactory(&g_factory);
    return db;
}

refPtr<iPersistent> read(distributedXmlDatabase& db, const zv::string& cls, const zv::guid& id) {
    iPersistent* p = nullptr;
    db.readObject(cls, id.toString(), &p);
    refPtr<iPersistent> out;
    out.attach(p);
    return out;
}

// The name of the object read, "<none>" when there is none.
std::wstring nameOf(distributedXmlDatabase& db, const zv::string& cls, const zv::guid& id) {
    refPtr<iPersistent> p = read(db, cls, id);
    return p ? std::wstring(asNode(p.get())->name) : L"<none>";
}

std::vector<refPtr<iPersistent>> all(distributedXmlDatabase& db, const zv::string& cls) {
    std::vector<refPtr<iPersistent>> out;
    db.readAllObjects(cls, out);
    return out;
}

struct fixture {
    zvtest::tempFolder folder;
    refPtr<node> t1 = make(L"Tool", L"drill");
    refPtr<node> t2 = make(L"Tool", L"mill");
    refPtr<node> h = make(L"Holder", L"chuck");

    // Two tools in one holder.
    fixture() {
        t1->refs = {h.get()};
        t2->refs = {h.get()};
        distributedXmlDatabase db(folder.dir());
        db.writeObjects(L"Tool", {t1.get(), t2.get()});
        db.writeObjects(L"Holder", {h.get()});
    }
    ~fixture() { h->refs.clear(); } // a holder may refer back to a tool
    std::unique_ptr<distributedXmlDatabase> open() { return openDb(folder.dir()); }
};

} // namespace

TEST(distributedXmlDatabase, ReadsReferencesAcrossClassFilesAsSharedInstances) {
    fixture fx;
    fx.h->refs = {fx.t1.get()}; // the holder refers back to the first tool
    fx.open()->writeObject(fx.h.get());
    auto db = fx.open();
    EXPECT_EQ(db->classNames(), (std::vector<zv::string>{L"Holder", L"Tool"}));
    refPtr<iPersistent> tool = read(*db, L"Tool", fx.t1->id), holder = read(*db, L"Holder", fx.h->id);
    ASSERT_TRUE(tool && holder);
    EXPECT_EQ(refOf(tool.get()), holder.get());
    EXPECT_EQ(refOf(holder.get()), tool.get()); // the cycle closes on the same instance
    // Class names ignore case, like the files' names.
    EXPECT_EQ(read(*db, L"tool", fx.t1->id).get(), tool.get());

    std::vector<refPtr<iPersistent>> all{nullptr};
    db->readAllObjects(L"Tool", all);
    ASSERT_EQ(all.size(), 3u); // appended
    EXPECT_EQ(all[1].get(), tool.get());
    EXPECT_EQ(refOf(all[2].get()), holder.get());
    asNode(holder.get())->refs.clear(); // the objects' own cycle
}

TEST(distributedXmlDatabase, MissingClassesObjectsAndIdsReadAsNothing) {
    fixture fx;
    auto db = fx.open();
    EXPECT_FALSE(read(*db, L"Spindle", zv::guid::create()));
    EXPECT_FALSE(read(*db, L"Tool", zv::guid::create()));
    EXPECT_TRUE(all(*db, L"Spindle").empty());
    EXPECT_FALSE(std::filesystem::exists(fx.folder.host() / "Spindle.zvdb"));

    for (const wchar_t* id : {L"", L"0"}) {
        iPersistent* p = reinterpret_cast<iPersistent*>(1);
        db->readObject(L"Tool", id, &p);
        EXPECT_EQ(p, nullptr);
    }
    iPersistent* p = nullptr;
    EXPECT_THROW(db->readObject(L"Tool", L"not-a-guid", &p), zv::unexpectedErrorException);

    // An id stored twice is one object.
    const std::string id = "22222222-2222-2222-2222-222222222222";
    const std::string entry =
        "<Twice id='" + id + "'><uid>" + id + "</uid><name>x</name><ref>0</ref></Twice>";
    fx.folder.write(L"Twice.zvdb",
                    "<zvDatabase version='2'><Twice_table>" + entry + entry + "</Twice_table></zvDatabase>");
    EXPECT_EQ(all(*db, L"Twice").size(), 1u);

    // A holder whose tool is gone from the tool file: the reference reads as null.
    fx.h->refs = {fx.t1.get()};
    db->writeObject(fx.h.get());
    db->writeObjects(L"Tool", {});
    refPtr<iPersistent> holder = read(*fx.open(), L"Holder", fx.h->id);
    ASSERT_TRUE(holder);
    EXPECT_EQ(asNode(holder.get())->refs.size(), 1u);
    EXPECT_EQ(refOf(holder.get()), nullptr);
}

TEST(distributedXmlDatabase, RefusesClassNamesOutsideTheFolder) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"Tool", true},    {L"my tool", true},   {L"a.b", true},  {L"", false},
        {L"..", false},     {L"..\\Tool", false}, {L"a/b", false}, {L"a\\b", false},
        {L"C:Tool", false}, {L"a..b", false},     {L"a*", false},  {L"tab\there", false},
    };
    zvtest::tempFolder folder;
    distributedXmlDatabase db(folder.dir());
    for (const auto& [name, valid] : rows) {
        EXPECT_EQ(distributedXmlDatabase::isValidClassName(name), valid) << std::wstring(name);
        if (valid)
            continue;
        iPersistent* p = nullptr;
        EXPECT_THROW(db.readObject(name, L"0", &p), zv::unexpectedErrorException) << std::wstring(name);
        EXPECT_THROW(db.classFile(name), zv::unexpectedErrorException) << std::wstring(name);
        EXPECT_THROW(db.writeObjects(name, {}), zv::unexpectedErrorException) << std::wstring(name);
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.host()));
}

TEST(distributedXmlDatabase, ReloadsAClassFileReplacedOnDisk) {
    fixture fx;
    auto reader = fx.open();
    refPtr<iPersistent> before = read(*reader, L"Tool", fx.t1->id);
    ASSERT_TRUE(before);
    EXPECT_EQ(read(*reader, L"Tool", fx.t1->id).get(), before.get()); // cached

    // Another process replaces the file at once (well within one second).
    refPtr<node> renamed = make(L"Tool", L"reamer");
    renamed->id = fx.t1->id;
    distributedXmlDatabase(fx.folder.dir()).writeObjects(L"Tool", {renamed.get()});

    EXPECT_EQ(nameOf(*reader, L"Tool", fx.t1->id), L"reamer");
    EXPECT_EQ(asNode(before.get())->name, L"drill"); // handed out before: kept
    EXPECT_FALSE(read(*reader, L"Tool", fx.t2->id));

    // A file written with a clock set back (its time older than the load) is
    // taken in too.
    renamed->name = L"borer";
    distributedXmlDatabase(fx.folder.dir()).writeObjects(L"Tool", {renamed.get()});
    ASSERT_TRUE(zv::file(fx.folder.dir(), L"Tool.zvdb").setLastModificationTime(1000000000LL));
    EXPECT_EQ(nameOf(*reader, L"Tool", fx.t1->id), L"borer");

    // A deleted file is an empty class.
    std::filesystem::remove(fx.folder.host() / "Tool.zvdb");
    EXPECT_FALSE(read(*reader, L"Tool", fx.t1->id));
}

TEST(distributedXmlDatabase, TwoWritersOfAClassNeverLoseEachOthersObjects) {
    fixture fx;
    auto a = fx.open();
    auto b = fx.open();
    refPtr<iPersistent> ta = read(*a, L"Tool", fx.t1->id);
    refPtr<iPersistent> tb = read(*b, L"Tool", fx.t2->id);
    ASSERT_TRUE(ta && tb);

    // One object at a time: the second writer takes the first one's file in
    // before it puts its own object in.
    asNode(ta.get())->name = L"drill 2";
    a->writeObject(ta.get());
    asNode(tb.get())->name = L"mill 2";
    b->writeObject(tb.get());
    auto check = fx.open();
    EXPECT_EQ(nameOf(*check, L"Tool", fx.t1->id) + nameOf(*check, L"Tool", fx.t2->id), L"drill 2mill 2");

    // A whole class written from what was read before the other's change is
    // refused, and the file keeps that change.
    std::vector<refPtr<iPersistent>> stale = all(*a, L"Tool");
    refPtr<node> t3 = make(L"Tool", L"tap");
    b->writeObject(t3.get());
    stale.push_back(make(L"Tool", L"reamer").get());
    EXPECT_THROW(a->writeObjects(L"Tool", stale), zv::unexpectedErrorException);
    auto last = fx.open();
    EXPECT_TRUE(read(*last, L"Tool", t3->id));
    EXPECT_EQ(all(*last, L"Tool").size(), 3u);

    // No lock file stays behind.
    for (const auto& entry : std::filesystem::directory_iterator(fx.folder.host()))
        EXPECT_EQ(entry.path().extension(), ".zvdb") << entry.path();
}

TEST(distributedXmlDatabase, WritesAddAndRemoveSingleObjects) {
    fixture fx;
    auto db = fx.open();
    refPtr<node> t3 = make(L"Tool", L"tap");
    db->writeObject(t3.get());
    EXPECT_EQ(read(*db, L"Tool", t3->id).get(), static_cast<iPersistent*>(t3.get())); // the cache holds it
    EXPECT_TRUE(db->removeObject(L"Tool", fx.t1->id.toString()));
    EXPECT_FALSE(db->removeObject(L"Tool", fx.t1->id.toString()));

    const std::vector<refPtr<iPersistent>> left = all(*fx.open(), L"Tool");
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(asNode(left[0].get())->name + L"," + asNode(left[1].get())->name, L"mill,tap");

    // Objects of another class or without identity are refused.
    refPtr<node> stray = make(L"Holder", L"x");
    EXPECT_THROW(db->writeObjects(L"Tool", {stray.get()}), zv::unexpectedErrorException);
    refPtr<node> anonymous = make(L"Tool", L"y");
    anonymous->id = zv::guid();
    EXPECT_THROW(db->writeObject(anonymous.get()), zv::unexpectedErrorException);
}

TEST(distributedXmlDatabase, ReferenceChainsThroughTooManyClassFilesAreRefused) {
    // C0 -> C1 -> ... -> Cn, one object per class file.
    zvtest::tempFolder folder;
    const unsigned int n = distributedXmlDatabase::maxClassNesting + 1;
    std::vector<refPtr<node>> chain(n + 1);
    distributedXmlDatabase writer(folder.dir());
    for (unsigned int i = n + 1; i-- > 0;) {
        chain[i] = make((L"C" + std::to_wstring(i)).c_str(), L"");
        if (i < n)
            chain[i]->refs = {chain[i + 1].get()};
        writer.writeObject(chain[i].get());
    }
    auto db = openDb(folder.dir());
    iPersistent* p = nullptr;
    EXPECT_THROW(db->readObject(L"C0", chain[0]->id.toString(), &p), zv::unexpectedErrorException);
    // A chain of exactly the limit loads.
    refPtr<iPersistent> second = read(*db, L"C2", chain[2]->id);
    EXPECT_TRUE(second && refOf(second.get()));
}

TEST(distributedXmlDatabase, ReferenceIntoAClassBeingLoadedFindsObjectsNotReadYet) {
    // a1 -> b -> a2, where a2 comes after a1 in its file and b spells its
    // guid in capitals.
    zvtest::tempFolder folder;
    const std::string a1 = "a1a1a1a1-0001-0001-0000-000000000001",
                      a2 = "a2a2a2a2-0002-0002-0000-000000000002", b = "bbbbbbbb-0003-0003-0000-000000000003";
    auto object = [](const std::string& cls, const std::string& id, const std::string& ref) {
        return "<" + cls + " id='" + id + "'><uid>" + id + "</uid><name>" + id.substr(0, 2) + "</name>" +
               ref + "</" + cls + ">";
    };
    folder.write(L"A.zvdb", "<zvDatabase version='2'><A_table>" +
                                object("A", a1, "<ref type='B'>" + b + "</ref>") +
                                object("A", a2, "<ref>0</ref>") + "</A_table></zvDatabase>");
    folder.write(L"B.zvdb", "<zvDatabase version='2'><B_table>" +
                                object("B", b, "<ref type='A'>A2A2A2A2-0002-0002-0000-000000000002</ref>") +
                                "</B_table></zvDatabase>");
    auto db = openDb(folder.dir());
    refPtr<iPersistent> first = read(*db, L"A", zv::guid::fromString(zv::string(a1.begin(), a1.end())));
    ASSERT_TRUE(first);
    iPersistent* viaB = refOf(refOf(first.get()));
    EXPECT_EQ(viaB, read(*db, L"A", zv::guid::fromString(zv::string(a2.begin(), a2.end()))).get());
    EXPECT_NE(viaB, nullptr);
}
