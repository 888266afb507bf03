#include "zvXmlDbReader.h"
#include "zvXmlDbWriter.h"

#include "zvBinaryBuffer.h"
#include "zvDtConvert.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvFsTestSupport.h"
#include "zvGenericSet.h"
#include "zvGenericSetDb.h"
#include "zvTestSupport.h"
#include "zvXml.h"

#include <gtest/gtest.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using zv::iPersistent;
using zv::refPtr;

// ---- a small application model ----

struct point : zv::iDataConverter {
    double x = 0, y = 0;
    const wchar_t* className() const override { return L"Point"; }
    void writeTo(zv::iDBOStream* os) const override { os->write(L"xy", x, y, false); }
    void readFrom(zv::iDBIStream* is) override { is->read(L"xy", x, y, 0, false); }
};

struct attrsOut : zv::writeGenericSet {
    using zv::writeGenericSet::writeGenericSet;
    const wchar_t* className() const override { return L"Attrs"; }
};
struct attrsIn : zv::readGenericSet {
    using zv::readGenericSet::readGenericSet;
    const wchar_t* className() const override { return L"Attrs"; }
};

int g_alive = 0;

class node : public zv::refObj, public iPersistent {
public:
    explicit node(const wchar_t* cls) : m_class(cls) {
        // Distinct identities without asking the system 100,000 times.
        static std::uint32_t counter = 0;
        m_id.Data1 = ++counter;
        m_id.Data2 = m_id.Data3 = 0x4242;
        ++g_alive;
        live().insert(this);
    }
    ~node() override {
        --g_alive;
        live().erase(this);
    }
    static std::set<node*>& live() {
        static std::set<node*> all;
        return all;
    }
    const wchar_t* className() const override { return m_class.c_str(); }
    const zv::guid& guid() const override { return m_id; }
    void writeTo(zv::iDBOStream* os) const override {
        os->write(L"name", name, false);
        for (const refPtr<iPersistent>& r : refs)
            os->write(L"ref", r.get(), false);
        if (m_class == L"Tool") {
            os->writeAggregated(L"part", part.get(), false);
            os->write(L"tip", tip, false);
            os->write(L"attrs", attrsOut(&attrs), false);
            os->write(L"big", big, false);
            os->write(L"small", small, false);
            os->write(L"code", code, false);
        }
    }
    void readFrom(zv::iDBIStream* is) override {
        if (failReads > 0) {
            --failReads;
            throw zv::unexpectedErrorException(L"refused");
        }
        is->read(L"name", name, 0, false);
        if (stopAfterName)
            throw zv::returnNullRefException();
        refs.clear();
        for (unsigned i = 0, n = is->count(L"ref", false); i < n; ++i) {
            iPersistent* p = nullptr;
            is->read(L"ref", &p, i, false);
            refs.emplace_back(p);
            if (p)
                p->release();
        }
        if (is->count(L"tip", false)) {
            iPersistent* p = nullptr;
            is->readAggregated(L"part", &p, 0, false);
            part = p;
            if (p)
                p->release();
            is->read(L"tip", tip, 0, false);
            attrsIn in(&attrs);
            is->read(L"attrs", in, 0, false);
            is->read(L"big", big, 0, false);
            is->read(L"small", small, 0, false);
            is->read(L"code", code, 0, false);
        }
    }

    zv::string name;
    std::vector<refPtr<iPersistent>> refs;
    refPtr<iPersistent> part;
    point tip;
    zv::genericSet attrs;
    unsigned long big = 0;
    double small = 0;
    char code = 0;
    static inline int failReads = 0;
    static inline bool stopAfterName = false;

private:
    zv::string m_class;
    zv::guid m_id;
};

node* asNode(iPersistent* p) {
    return dynamic_cast<node*>(p);
}

// Read graphs hold cycles; at the end of a test every reference between nodes
// is dropped, so that the nodes go.
struct cycleBreaker {
    cycleBreaker() = default;
    cycleBreaker(const cycleBreaker&) = delete;
    cycleBreaker& operator=(const cycleBreaker&) = delete;
    ~cycleBreaker() {
        std::vector<refPtr<iPersistent>> hold;
        for (node* n : node::live()) {
            hold.insert(hold.end(), n->refs.begin(), n->refs.end());
            n->refs.clear();
        }
    }
};

refPtr<node> make(const wchar_t* cls, const wchar_t* name) {
    refPtr<node> n(new node(cls));
    n->name = name;
    return n;
}

// Makes nodes of any class whose name it knows, ignoring case.
struct factory : zv::iObjectFactory {
    std::vector<std::wstring> known{L"tool", L"holder", L"part"};
    std::vector<std::wstring> asked;
    void createObject(const wchar_t* cls, iPersistent** object) override {
        asked.emplace_back(cls);
        for (const std::wstring& k : known)
            if (zv::string(cls).isEqualTo(k.c_str(), false)) {
                *object = new node(cls);
                (*object)->addRef();
            }
    }
};

std::string bytesOf(const zv::binaryBuffer& b) {
    return std::string(b.data(), b.logicalLength());
}

zv::binaryBuffer bufferOf(const std::string& xml) {
    zv::binaryBuffer b;
    b.write(xml.data(), static_cast<unsigned>(xml.size()));
    return b;
}

// The text of the exception `f` throws, "" when none.
template <class E, class F>
std::wstring thrown(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.text();
    }
    return L"<nothing thrown>";
}

// ---- writing ----

TEST(xmlDb, GraphRoundTripsInFileAndMemoryMode) {
    zvtest::tempFolder tmp;
    for (bool fileMode : {true, false}) {
        SCOPED_TRACE(fileMode ? "file" : "memory");
        g_alive = 0;
        {
            refPtr<node> holder = make(L"Holder", L"h");
            refPtr<node> a = make(L"Tool", L"drill & <tap>"), b = make(L"Tool", L" mill\t");
            a->refs = {holder.get(), b.get(), nullptr};
            b->refs = {holder.get(), a.get()}; // a cycle
            holder->refs = {a.get(), b.get()};
            a->part = make(L"Part", L"insert");
            a->tip.x = 0.1;
            a->tip.y = -1e-9;
            a->big = std::numeric_limits<unsigned long>::max();
            a->small = 1.0 / 3.0;
            a->code = static_cast<char>(-61);
            b->code = ' '; // blanks at the ends of texts survive the reader's trimming
            a->attrs.setGenericValue(zv::scString::createFrom(L"text"), zv::genericValue(L"12abc"), true);
            a->attrs.setGenericValue(zv::scString::createFrom(L"a key"), zv::genericValue(2.5), true);
            a->attrs.setGenericValue(zv::scString::createFrom(L"n"), zv::genericValue(-7), true);
            a->attrs.setGenericValue(zv::scString::createFrom(L"empty"), zv::genericValue(), true);

            zv::binaryBuffer mem;
            const zv::file target(tmp.dir(), L"tools.zvdb");
            {
                std::unique_ptr<zv::xmlDbWriter> w(fileMode ? new zv::xmlDbWriter(target)
                                                            : new zv::xmlDbWriter(&mem, tmp.dir()));
                w->setAttribute(L"creator", L"test");
                EXPECT_EQ(w->writeObject(a.get(), true), a->guid());
                EXPECT_EQ(w->writeObject(a.get(), true), a->guid()); // only once
                w->close();
            }
            std::unique_ptr<zv::xmlDbReader> r(fileMode ? new zv::xmlDbReader(target)
                                                        : new zv::xmlDbReader(&mem, tmp.dir()));
            factory f;
            r->addObjectFactory(&f);
            EXPECT_EQ(r->count(L"Tool"), 2u);
            EXPECT_EQ(r->count(L"Holder"), 1u);
            EXPECT_EQ(r->count(L"Part"), 0u); // aggregated: no table
            zv::string creator;
            EXPECT_TRUE(r->getAttribute(L"creator", creator));
            EXPECT_EQ(creator, L"test");

            std::vector<refPtr<iPersistent>> tools;
            r->readAllObjects(L"Tool", tools);
            ASSERT_EQ(tools.size(), 2u);
            node* ra = asNode(tools[0].get());
            node* rb = asNode(tools[1].get());
            if (ra->name != L"drill & <tap>")
                std::swap(ra, rb);
            EXPECT_EQ(ra->name, L"drill & <tap>");
            ASSERT_EQ(ra->refs.size(), 3u);
            ASSERT_EQ(rb->refs.size(), 2u);
            EXPECT_EQ(ra->refs[1].get(), rb);
            EXPECT_EQ(rb->refs[1].get(), ra); // the cycle closes on the same instances
            EXPECT_EQ(ra->refs[0].get(), rb->refs[0].get());
            EXPECT_EQ(ra->refs[2].get(), nullptr);
            node* rh = asNode(ra->refs[0].get());
            ASSERT_EQ(rh->refs.size(), 2u);
            EXPECT_EQ(rh->refs[0].get(), ra); // references both ways
            ASSERT_TRUE(ra->part);
            EXPECT_EQ(asNode(ra->part.get())->name, L"insert");
            EXPECT_FALSE(rb->part);
            EXPECT_EQ(ra->tip.x, 0.1);
            EXPECT_EQ(ra->tip.y, -1e-9);
            EXPECT_EQ(ra->big, std::numeric_limits<unsigned long>::max());
            EXPECT_EQ(ra->small, 1.0 / 3.0);
            EXPECT_EQ(ra->code, static_cast<char>(-61));
            EXPECT_EQ(rb->code, ' ');
            EXPECT_EQ(rb->name, L" mill\t");
            EXPECT_EQ(ra->attrs.size(), 3u);
            for (auto [key, value] : std::vector<std::pair<const wchar_t*, const wchar_t*>>{
                     {L"text", L"12abc"}, {L"a key", L"2.5"}, {L"n", L"-7"}}) {
                const zv::genericValue* v = ra->attrs.genericValue(zv::scString::createFrom(key));
                ASSERT_NE(v, nullptr) << key;
                EXPECT_EQ(v->type(), typeid(zv::string));
                zv::string s;
                v->get(s);
                EXPECT_EQ(s, value);
            }
            // A reference of type "Tool" and readAllObjects(L"tool") meet in one instance.
            std::vector<refPtr<iPersistent>> again;
            r->readAllObjects(L"TOOL", again);
            ASSERT_EQ(again.size(), 2u);
            EXPECT_TRUE(again[0].get() == ra || again[0].get() == rb);
            for (node* x : {ra, rb, rh, a.get(), b.get(), holder.get()})
                x->refs.clear(); // break the cycles
        }
        EXPECT_EQ(g_alive, 0) << "the reader or writer leaked an object";
    }
}

TEST(xmlDb, StoredTexts) {
    struct writeCase {
        const char* what;
        std::function<void(zv::iDBOStream*)> write;
        const wchar_t* expected; // the element as written, without indentation
    };
    const std::vector<writeCase> cases = {
        {"bool", [](auto* os) { os->write(L"flag", true, false); }, L"<flag>1</flag>"},
        {"generic form", [](auto* os) { os->write(L"a b", 2.5, true); },
         L"<Property name=\"a b\">2.5</Property>"},
        {"null reference", [](auto* os) { os->write(L"r", static_cast<const iPersistent*>(nullptr), false); },
         L"<r>0</r>"},
        {"null aggregate", [](auto* os) { os->writeAggregated(L"r", nullptr, false); }, L"<r>0</r>"},
        {"char 0", [](auto* os) { os->write(L"c", '\0', false); }, L"<c/>"},
        {"char", [](auto* os) { os->write(L"c", 'A', false); }, L"<c>A</c>"},
        {"double fixed", [](auto* os) { os->write(L"d", 0.1, false); }, L"<d>0.1</d>"},
        {"double tiny", [](auto* os) { os->write(L"d", 1e-9, false); }, L"<d>1e-09</d>"},
        {"double large", [](auto* os) { os->write(L"d", 1e20, false); }, L"<d>100000000000000000000</d>"},
        {"double 2^60", [](auto* os) { os->write(L"d", std::ldexp(1.0, 60), false); },
         L"<d>1152921504606846976</d>"},
        {"double minus zero", [](auto* os) { os->write(L"d", -0.0, false); }, L"<d>-0</d>"},
        {"float", [](auto* os) { os->write(L"f", 0.5f, false); }, L"<f>0.5</f>"},
        {"pair", [](auto* os) { os->write(L"p", 1.0, -2.25, false); }, L"<p>1,-2.25</p>"},
        {"quad", [](auto* os) { os->write(L"q", 1.0, 2.0, 3.0, 4.0, false); }, L"<q>1,2,3,4</q>"},
        {"uint pair", [](auto* os) { os->write(L"u", 4000000000u, 7u, false); }, L"<u>4000000000,7</u>"},
        {"long", [](auto* os) { os->write(L"l", LONG_MIN, false); },
         sizeof(long) == 8 ? L"<l>-9223372036854775808</l>" : L"<l>-2147483648</l>"},
        {"short", [](auto* os) { os->write(L"s", static_cast<short>(-5), false); }, L"<s>-5</s>"},
        {"object info", [](auto* os) { os->write(L"o", zv::objectInfo(L"Tool", zv::guid()), false); },
         L"<o type=\"Tool\">0</o>"},
        {"text", [](auto* os) { os->write(L"t", zv::string(L"a<b"), false); }, L"<t>a&lt;b</t>"},
    };
    for (const writeCase& c : cases) {
        SCOPED_TRACE(c.what);
        zv::binaryBuffer mem;
        zv::xmlDbWriter w(&mem, zv::directory());
        struct conv : zv::iDataConverter {
            const std::function<void(zv::iDBOStream*)>* f;
            const wchar_t* className() const override { return L"Case"; }
            void writeTo(zv::iDBOStream* os) const override { (*f)(os); }
            void readFrom(zv::iDBIStream*) override {}
        } cv;
        cv.f = &c.write;
        w.write(cv, false);
        w.close();
        const std::string bytes = bytesOf(mem);
        refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
        doc->load(bytes.data(), static_cast<unsigned>(bytes.size()), false);
        const refPtr<zv::xmlNode>& element = doc->childNodes().at(0)->childNodes().at(0)->childNodes().at(0);
        zv::string text;
        element->getText(text, L"");
        EXPECT_EQ(text, std::wstring(c.expected) + L"\n");
    }
    // Doubles of every magnitude: the fixed text where it reads back exactly
    // (as stored files always had it), else the shortest that does.
    struct doubles : zv::iDataConverter {
        std::vector<double> values;
        const wchar_t* className() const override { return L"D"; }
        void writeTo(zv::iDBOStream* os) const override {
            for (double v : values)
                os->write(L"d", v, false);
        }
        void readFrom(zv::iDBIStream*) override {}
    } many;
    std::mt19937_64 rng(11);
    for (int i = 0; i < 3000; ++i) {
        const double mantissa = std::uniform_real_distribution<double>(-10, 10)(rng);
        many.values.push_back(std::ldexp(mantissa, static_cast<int>(rng() % 120) - 60));
        many.values.push_back(std::round(mantissa * 1e6) / 1e6 *
                              std::pow(10.0, static_cast<int>(rng() % 12)));
    }
    {
        zv::binaryBuffer numbers;
        zv::xmlDbWriter w(&numbers, zv::directory());
        w.write(many, false);
        w.close();
        zv::xmlDbReader r(&numbers, zv::directory());
        struct check : zv::iDataConverter {
            const std::vector<double>* expected;
            const wchar_t* className() const override { return L"D"; }
            void writeTo(zv::iDBOStream*) const override {}
            void readFrom(zv::iDBIStream* is) override {
                for (unsigned i = 0; i < expected->size(); ++i) {
                    const double v = (*expected)[i];
                    zv::string text, fixed;
                    double back = 0;
                    is->read(L"d", text, i, false);
                    zv::dtconvert(fixed, v);
                    if (zv::dtconvert(back, fixed) && back == v) {
                        EXPECT_EQ(text, fixed) << v;
                    } else {
                        char buf[64];
                        const std::to_chars_result tc = std::to_chars(buf, buf + sizeof buf, v);
                        EXPECT_EQ(text, zv::string(buf, tc.ptr)) << v;
                    }
                    is->read(L"d", back, i, false);
                    EXPECT_EQ(back, v);
                }
            }
        } c;
        c.expected = &many.values;
        r.read(c, 0);
    }
    // An empty database.
    zv::binaryBuffer mem;
    zv::xmlDbWriter(&mem, zv::directory()).flush();
    EXPECT_EQ(bytesOf(mem),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zvDatabase version=\"2\"/>\n");
}

TEST(xmlDb, RecursiveFlagAndIdentity) {
    cycleBreaker breaker;
    refPtr<node> b = make(L"Holder", L"b");
    for (bool recursive : {true, false}) {
        refPtr<node> a = make(L"Tool", L"a");
        a->refs = {b.get(), b.get()};
        zv::binaryBuffer mem;
        {
            zv::xmlDbWriter w(&mem, zv::directory());
            w.writeObject(a.get(), recursive);
        }
        const std::string xml = bytesOf(mem);
        EXPECT_EQ(xml.find("<Holder_table>") != std::string::npos, recursive);
        const zv::string id = b->guid().toString();
        const std::string ref = "<ref type=\"Holder\">" + std::string(id.begin(), id.end()) + "</ref>";
        const size_t first = xml.find(ref);
        ASSERT_NE(first, std::string::npos);
        EXPECT_NE(xml.find(ref, first + 1), std::string::npos); // both references hold b's guid
    }
    // The writer holds what it has written, so no other object can take its address.
    g_alive = 0;
    zv::binaryBuffer mem;
    zv::xmlDbWriter w(&mem, zv::directory());
    {
        refPtr<node> t = make(L"Tool", L"t");
        w.writeObject(t.get(), false);
    }
    EXPECT_EQ(g_alive, 1);
    // After a flush the next database stores the object again.
    refPtr<node> again = make(L"Tool", L"x");
    w.writeObject(again.get(), false);
    w.flush();
    w.writeObject(again.get(), false);
    w.flush();
    EXPECT_EQ(g_alive, 1); // t went when the second database was created
    const std::string xml = bytesOf(mem);
    EXPECT_EQ(xml.rfind("<Tool id="), xml.rfind("<Tool_table>") + 19) << xml;
}

TEST(xmlDb, RefusesNamesThatCannotBeRead) {
    for (const wchar_t* name : {L"", L"a b", L"a<b", L"a&b", L"1abc", L"a/b", L"a=b", L"a\"b"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        zv::binaryBuffer mem;
        zv::xmlDbWriter w(&mem, zv::directory());
        EXPECT_THROW(w.writeObject(make(name, L"x").get(), false), zv::unexpectedErrorException);
        struct prop : zv::iDataConverter {
            const wchar_t* n;
            const wchar_t* className() const override { return L"P"; }
            void writeTo(zv::iDBOStream* os) const override { os->write(n, 1, false); }
            void readFrom(zv::iDBIStream*) override {}
        } p;
        p.n = name;
        EXPECT_THROW(w.write(p, false), zv::unexpectedErrorException);
    }
}

// ---- saving ----

TEST(xmlDb, SavingNeverLosesTheStoredDatabase) {
    cycleBreaker breaker;
    zvtest::tempFolder tmp;
    const zv::file target(tmp.dir(), L"db.zvdb");
    refPtr<node> t = make(L"Tool", L"old");
    {
        zv::xmlDbWriter w(target);
        w.writeObject(t.get(), false);
    }
    const std::string old = zvtest::readAll(tmp.host() / "db.zvdb");
    {
        // create keeps the stored database until the new one is complete
        zv::xmlDbWriter w(target);
        w.create();
        EXPECT_EQ(zvtest::readAll(tmp.host() / "db.zvdb"), old);
        w.writeObject(t.get(), false);
    }
    // A save that cannot be done is reported, and the old file stays.
    zv::xmlDbWriter lost(zv::file(zv::directory(tmp.dir(), L"none"), L"db.zvdb"));
    EXPECT_THROW(lost.writeObject(t.get(), false), zv::writeFileException);
    tmp.mkdir(L"sub");
    zv::xmlDbWriter bad(zv::file(zv::directory(tmp.dir(), L"sub"), L"db.zvdb"));
    bad.writeObject(t.get(), false);
    std::filesystem::remove_all(tmp.host() / "sub");
    EXPECT_THROW(bad.flush(), zv::writeFileException);
    EXPECT_TRUE(bad.isOpen()); // nothing lost: the caller may try again
    {
        // A destructor that cannot save reports it and goes on.
        tmp.mkdir(L"sub");
        zv::xmlDbWriter dying(zv::file(zv::directory(tmp.dir(), L"sub"), L"db.zvdb"));
        dying.writeObject(t.get(), false);
        std::filesystem::remove_all(tmp.host() / "sub");
    }
    tmp.mkdir(L"sub");
    bad.close();
    EXPECT_NE(zvtest::readAll(tmp.host() / "sub" / "db.zvdb").find("<Tool id="), std::string::npos);

#ifndef _WIN32
    // A process killed while saving leaves a readable database.
    std::vector<refPtr<node>> many;
    for (int i = 0; i < 20000; ++i)
        many.push_back(make(L"Tool", L"new"));
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            for (;;) {
                zv::xmlDbWriter w(target);
                for (const refPtr<node>& n : many)
                    w.writeObject(n.get(), false);
            }
        } catch (...) {
        }
        ::_exit(1);
    }
    ASSERT_GT(pid, 0);
    ::usleep(400000);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    zv::xmlDbReader r(target);
    factory f;
    r.addObjectFactory(&f);
    std::vector<refPtr<iPersistent>> read;
    r.readAllObjects(L"Tool", read);
    EXPECT_TRUE(read.size() == 1 || read.size() == many.size()) << read.size();
#endif
}

// ---- reading ----

const char* const kV2 = "<zvDatabase version='2'>"
                        "<tool_TABLE>"
                        "<Tool id='11111111-1111-1111-1111-111111111111'><name>a</name><n>12x</n>"
                        "<ref type='Tool'>22222222-2222-2222-2222-222222222222</ref>"
                        "<p>1,2,3</p><Property name='p'>x</Property><Property name='p'>y</Property>"
                        "<f>.\\data\\x.dat</f><g>C:\\x.dat</g><t type='Other'/><c>ab</c></Tool>"
                        "<Tool id='22222222-2222-2222-2222-222222222222'><name>b</name>"
                        "<ref type='tool'>11111111-1111-1111-1111-111111111111</ref><ref>0</ref></Tool>"
                        "<Tool id='33333333-3333-3333-3333-333333333333'><name>c</name>"
                        "<ref type='Tool'>not-a-guid</ref></Tool>"
                        "</tool_TABLE></zvDatabase>";

TEST(xmlDb, StreamReadsAndTheirFailures) {
    cycleBreaker breaker;
    zv::binaryBuffer mem = bufferOf(kV2);
    zv::xmlDbReader r(&mem, zv::directory(L"C:\\base\\"));
    r.open();
    zv::binaryBuffer copy = bufferOf(kV2);
    refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
    doc->load(copy.data(), copy.logicalLength(), false);
    zv::xmlDbIStream s(&r, doc->childNodes()[0]->childNodes()[0]);

    zv::string text;
    s.read(L"name", text, 0, false);
    EXPECT_EQ(text, L"a");
    s.read(L"p", text, 1, true);
    EXPECT_EQ(text, L"y");
    EXPECT_EQ(s.count(L"p", true), 2u);
    EXPECT_EQ(s.count(L"p", false), 1u);
    EXPECT_EQ(s.countProperties(), 2u);
    zv::string name;
    s.readProperty(name, text, 1);
    EXPECT_EQ(name + text, L"py");
    zv::file f;
    s.read(L"f", f, 0, false);
    EXPECT_EQ(f, zv::file(L"C:\\base\\data\\x.dat"));
    s.read(L"g", f, 0, false);
    EXPECT_EQ(f, zv::file(L"C:\\x.dat"));

    double a = 0, b = 0;
    int n = 0;
    char c = 0;
    point pt;
    using ana = zv::attributeNotFoundException;
    using iat = zv::invalidAttributeType;
    EXPECT_EQ(thrown<ana>([&] { s.read(L"p", text, 2, true); }), ana(L"p", 2).text());
    EXPECT_EQ(thrown<ana>([&] { s.read(L"name", text, 0, true); }), ana(L"name", 0).text());
    EXPECT_EQ(thrown<ana>([&] { s.readProperty(name, text, 2); }), ana(L"Property", 2).text());
    EXPECT_EQ(thrown<iat>([&] { s.read(L"p", a, b, 0, false); }),
              iat(L"p", 0, L"1,2,3", L"double,double").text());
    EXPECT_EQ(thrown<iat>([&] { s.read(L"name", n, 0, false); }), iat(L"name", 0, L"a", L"int").text());
    EXPECT_EQ(thrown<iat>([&] { s.read(L"c", c, 0, false); }), iat(L"c", 0, L"ab", L"char").text());
    EXPECT_EQ(thrown<iat>([&] { s.read(L"t", pt, 0, false); }), iat(L"t", 0, L"Other", L"Point").text());
    s.read(L"n", n, 0, false); // what follows a number is ignored, as everywhere in the library
    EXPECT_EQ(n, 12);

    // A stream without reader cannot resolve references.
    zv::xmlDbIStream lone(nullptr, doc->childNodes()[0]->childNodes()[0]);
    iPersistent* p = nullptr;
    zvtest::assertCapture quiet;
    EXPECT_THROW(lone.read(L"ref", &p, 0, false), bool);
}

TEST(xmlDb, ReaderFailures) {
    cycleBreaker breaker;
    zvtest::tempFolder tmp;
    factory f;
    auto readAll = [&](const std::string& xml, const wchar_t* cls) {
        zv::binaryBuffer mem = bufferOf(xml);
        zv::xmlDbReader r(&mem, zv::directory());
        r.addObjectFactory(&f);
        std::vector<refPtr<iPersistent>> out;
        r.readAllObjects(cls, out);
        return out.size();
    };
    using ue = zv::unexpectedErrorException;
    struct failCase {
        const char* xml;
        const wchar_t* cls;
        const wchar_t* details;
    };
    const std::vector<failCase> cases = {
        {"<other/>", L"Tool", L"xmlDbReader::open: invalid database format"},
        {"", L"Tool", L"xmlDbReader::open: invalid database format"},
        {"<zvDatabase><Tool_table><Tool/></Tool_table></zvDatabase>", L"Tool",
         L"xmlDbReader::readAllObjects: invalid file format"},
        {"<zvDatabase><Tool_table><Tool id='1'><name/></Tool></Tool_table></zvDatabase>", L"Tool",
         L"xmlDbReader::readObject: objectnode for 1 not found"},
        {"<zvDatabase><Tool_table><Tool id='11111111-1111-1111-1111-111111111111'><name/><ref type='Tool'>"
         "22222222-2222-2222-2222-222222222222</ref></Tool></Tool_table></zvDatabase>",
         L"Tool", L"xmlDbReader::readObject: objectnode for 22222222-2222-2222-2222-222222222222 not found"},
        {"<zvDatabase><Tool_table><Tool id='11111111-1111-1111-1111-111111111111'><name/><ref type='Box'>"
         "22222222-2222-2222-2222-222222222222</ref></Tool></Tool_table></zvDatabase>",
         L"Tool", L"xmlDbReader::readObject: tablenode for Box not found"},
        {"<zvDatabase><Box_table><Box id='11111111-1111-1111-1111-111111111111'/></Box_table></zvDatabase>",
         L"Box", L"xmlDbReader::readObject: Error creating object of class box"},
        {"<zvDatabase version='1'><Tool_table><Tool/></Tool_table></zvDatabase>", L"Tool",
         L"xmlDbReader::readAllObjects: invalid file format"},
        {"<zvDatabase version='1'><Tool_table><Toolx/></Tool_table></zvDatabase>", L"Tool",
         L"xmlDbReader::readAllObjects: invalid tableentry for tool not found"},
        {"<zvDatabase version='1'><Tool_table><Tool1><name/><ref "
         "type='Tool'>2</ref></Tool1></Tool_table></zvDatabase>",
         L"Tool", L"xmlDbReader::readObject: objectnode for class Tool and object id 2 not found"},
    };
    for (const failCase& c : cases) {
        SCOPED_TRACE(c.xml);
        EXPECT_EQ(thrown<ue>([&] { readAll(c.xml, c.cls); }), ue(L"%s", c.details).text());
    }
    EXPECT_EQ(readAll("<zvDatabase/>", L"Tool"), 0u);

    zv::xmlDbReader missing(zv::file(tmp.dir(), L"none.zvdb"));
    EXPECT_THROW(missing.open(), zv::fileNotFoundException);
    zv::binaryBuffer mem = bufferOf(kV2);
    zv::xmlDbReader r(&mem, zv::directory());
    iPersistent* p = nullptr;
    {
        zvtest::assertCapture quiet;
        EXPECT_THROW(r.readObject(L"Tool", L"11111111-1111-1111-1111-111111111111", &p, nullptr), bool);
    }
    r.open();
    EXPECT_EQ(thrown<ue>([&] { r.open(); }), ue(L"xmlDbReader::open: database already open").text());
    point pt;
    EXPECT_EQ(thrown<ue>([&] { r.read(pt, 0); }),
              ue(L"xmlDbReader::read: tablenode for Point not found").text());
    r.readObject(L"Tool", L"0", &p, nullptr);
    EXPECT_EQ(p, nullptr);
    struct toolValue : point {
        const wchar_t* className() const override { return L"Tool"; }
        void readFrom(zv::iDBIStream* is) override { is->read(L"name", name, 0, false); }
        zv::string name;
    } tv;
    r.read(tv, 2);
    EXPECT_EQ(tv.name, L"c");
    EXPECT_EQ(thrown<ue>([&] { r.read(tv, 3); }),
              ue(L"xmlDbReader::read: objectindex 3 within tablenode for Tool not found").text());
}

TEST(xmlDb, FailedObjectsAreNotKeptAndNullRefEndsOneObject) {
    cycleBreaker breaker;
    zv::binaryBuffer mem = bufferOf(kV2);
    zv::xmlDbReader r(&mem, zv::directory());
    factory f;
    r.addObjectFactory(&f);
    r.open();
    const zv::string id = L"22222222-2222-2222-2222-222222222222";
    iPersistent* p = nullptr;
    node::failReads = 1;
    EXPECT_THROW(r.readObject(L"Tool", id, &p, nullptr), zv::unexpectedErrorException);
    EXPECT_EQ(p, nullptr);
    r.readObject(L"Tool", id, &p, nullptr); // tried again, not a half-read leftover
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(asNode(p)->name, L"b");
    p->release();
    node::failReads = 0;

    zv::binaryBuffer mem2 = bufferOf(kV2);
    zv::xmlDbReader r2(&mem2, zv::directory());
    r2.addObjectFactory(&f);
    node::stopAfterName = true;
    std::vector<refPtr<iPersistent>> all;
    r2.readAllObjects(L"Tool", all);
    node::stopAfterName = false;
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(asNode(all[2].get())->name, L"c");
    EXPECT_TRUE(asNode(all[2].get())->refs.empty()); // the corrupt id was never reached
}

TEST(xmlDb, CorruptReferenceIdIsAnError) {
    cycleBreaker breaker;
    zv::binaryBuffer mem = bufferOf(kV2);
    zv::xmlDbReader r(&mem, zv::directory());
    factory f;
    r.addObjectFactory(&f);
    r.open();
    iPersistent* p = nullptr;
    EXPECT_EQ(
        thrown<zv::unexpectedErrorException>(
            [&] { r.readObject(L"Tool", L"33333333-3333-3333-3333-333333333333", &p, nullptr); }),
        zv::unexpectedErrorException(L"xmlDbReader::readObject: objectnode for not-a-guid not found").text());
}

TEST(xmlDb, VersionOneDocuments) {
    cycleBreaker breaker;
    const char* xml = "<zvDatabase version='1'><Holder_table><Holder1><name>h</name>"
                      "<ref type='Tool'>2</ref><ref type='Tool'>1</ref></Holder1></Holder_table>"
                      "<Tool_table><Tool1><name>a</name><ref type='Holder'>1</ref></Tool1>"
                      "<tool2><name>b</name><ref type='Holder'>1</ref></tool2></Tool_table></zvDatabase>";
    zv::binaryBuffer mem = bufferOf(xml);
    zv::xmlDbReader r(&mem, zv::directory());
    factory f;
    r.addObjectFactory(&f);
    std::vector<refPtr<iPersistent>> tools;
    r.readAllObjects(L"Tool", tools);
    EXPECT_EQ(r.version(), 1u);
    ASSERT_EQ(tools.size(), 2u);
    node* a = asNode(tools[0].get());
    node* b = asNode(tools[1].get());
    EXPECT_EQ(a->name + b->name, L"ab");
    ASSERT_EQ(a->refs.size(), 1u);
    EXPECT_EQ(a->refs[0].get(), b->refs[0].get());
    node* h = asNode(a->refs[0].get());
    ASSERT_EQ(h->refs.size(), 2u);
    EXPECT_EQ(h->refs[0].get(), b);
    EXPECT_EQ(h->refs[1].get(), a);
    EXPECT_EQ(f.asked.front(), std::wstring(L"tool")); // objects of readAllObjects are made in lower case
}

TEST(xmlDb, ReadAllObjectsRestoresTheWorkingDirectory) {
    cycleBreaker breaker;
    zvtest::tempFolder tmp;
    const std::filesystem::path before = std::filesystem::current_path();
    zv::binaryBuffer mem = bufferOf("<zvDatabase><Box_table><Box id='11111111-1111-1111-1111-111111111111'/>"
                                    "</Box_table></zvDatabase>");
    zv::xmlDbReader r(&mem, tmp.dir());
    std::vector<refPtr<iPersistent>> out;
    EXPECT_THROW(r.readAllObjects(L"Box", out), zv::unexpectedErrorException); // no factory
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST(xmlDb, LongChainsAndDeepNestingAreSafe) {
    // 100,000 objects, each referring to the next: no deep recursion either way.
    const int n = 100000;
    std::vector<refPtr<node>> chain;
    chain.reserve(n);
    for (int i = 0; i < n; ++i)
        chain.push_back(make(L"Holder", std::to_wstring(i).c_str()));
    for (int i = 0; i + 1 < n; ++i)
        chain[i]->refs = {chain[i + 1].get()};
    zv::binaryBuffer mem;
    {
        zv::xmlDbWriter w(&mem, zv::directory());
        w.writeObject(chain[0].get(), true);
    }
    for (int i = 0; i + 1 < n; ++i)
        chain[i]->refs.clear();
    chain.clear();
    zv::xmlDbReader r(&mem, zv::directory());
    factory f;
    r.addObjectFactory(&f);
    EXPECT_EQ(r.count(L"Holder"), static_cast<unsigned>(n));
    std::vector<refPtr<iPersistent>> all;
    r.readAllObjects(L"Holder", all);
    ASSERT_EQ(all.size(), static_cast<size_t>(n));
    node* head = nullptr;
    for (const refPtr<iPersistent>& p : all)
        if (asNode(p.get())->name == L"0")
            head = asNode(p.get());
    ASSERT_NE(head, nullptr);
    size_t length = 1;
    for (node* p = head; !p->refs.empty(); p = asNode(p->refs[0].get()))
        ++length;
    EXPECT_EQ(length, static_cast<size_t>(n));
    for (refPtr<iPersistent>& p : all)
        asNode(p.get())->refs.clear(); // break the chain before it is released

    // Nested values deeper than the limit are refused, not followed.
    std::string deep = "<zvDatabase><Point_table><Point>";
    for (unsigned i = 0; i < zv::xmlDbReader::maxNesting + 5; ++i)
        deep += "<in type='Nest'>";
    for (unsigned i = 0; i < zv::xmlDbReader::maxNesting + 5; ++i)
        deep += "</in>";
    deep += "</Point></Point_table></zvDatabase>";
    struct nest : zv::iDataConverter {
        const wchar_t* className() const override { return L"Nest"; }
        void writeTo(zv::iDBOStream*) const override {}
        void readFrom(zv::iDBIStream* is) override {
            nest inner;
            if (is->count(L"in", false))
                is->read(L"in", inner, 0, false);
        }
    };
    struct top : nest {
        const wchar_t* className() const override { return L"Point"; }
        void readFrom(zv::iDBIStream* is) override {
            nest inner;
            is->read(L"in", inner, 0, false);
        }
    } t;
    zv::binaryBuffer deepMem = bufferOf(deep);
    zv::xmlDbReader dr(&deepMem, zv::directory());
    EXPECT_THROW(dr.read(t, 0), zv::unexpectedErrorException);
}

} // namespace

// The written elements are ordinary nodes: one kept by the application stays
// whole after the writer and its document have gone, and moves into another
// document like any other node.
TEST(xmlDb, WrittenElementsOutliveTheWriter) {
    struct keeper : zv::iDataConverter {
        mutable std::vector<refPtr<zv::xmlNode>> kept;
        mutable int written = 0;
        const wchar_t* className() const override { return L"Kept"; }
        void writeTo(zv::iDBOStream* os) const override {
            point p;
            p.x = written;
            os->write(L"n", written, false);
            os->write(L"t", zv::string(L" a&b "), false);
            os->write(L"g", 0.25, true);
            os->write(L"p", p, false);
            kept.push_back(dynamic_cast<zv::xmlDbOStream&>(*os).element());
            ++written;
        }
        void readFrom(zv::iDBIStream*) override {}
    } k;
    const int n = 3000; // several blocks of nodes
    zv::binaryBuffer mem;
    {
        zv::xmlDbWriter w(&mem, zv::directory());
        for (int i = 0; i < n; ++i)
            w.write(k, false);
    }
    ASSERT_EQ(k.kept.size(), static_cast<size_t>(n));
    refPtr<zv::xmlDocument> other = zv::xmlDocument::createXmlDocument();
    other->setName(L"Other");
    for (int i = 0; i < n; ++i) {
        refPtr<zv::xmlNode>& e = k.kept[i];
        ASSERT_EQ(e->childNodes().size(), 4u);
        EXPECT_EQ(e->name(), L"Kept");
        EXPECT_EQ(e->childNodes()[0]->text(), std::to_wstring(i));
        EXPECT_EQ(e->childNodes()[1]->text(), L" a&b ");
        zv::string name;
        EXPECT_TRUE(e->childNodes()[2]->getAttribute(L"name", name) && name == L"g");
        EXPECT_EQ(e->childNodes()[3]->childNodes().at(0)->text(), std::to_wstring(i) + L",0");
        if (i % 2 == 0) { // half of them move; the rest die with their own elements
            refPtr<zv::xmlNode> moved = e->childNodes()[3];
            ASSERT_TRUE(e->removeNode(moved));
            ASSERT_TRUE(other->addNode(moved));
        }
    }
    k.kept.clear();
    zv::binaryBuffer saved;
    other->save(saved, zv::xmlDocument::eUTF8);
    other = nullptr;
    refPtr<zv::xmlDocument> back = zv::xmlDocument::createXmlDocument();
    back->load(saved.data(), saved.logicalLength(), false);
    ASSERT_EQ(back->childNodes().size(), static_cast<size_t>((n + 1) / 2));
    EXPECT_EQ(back->childNodes().back()->childNodes().at(0)->text(), std::to_wstring((n - 1) / 2 * 2) + L",0");
    // The database itself holds every object as written.
    zv::xmlDbReader r(&mem, zv::directory());
    EXPECT_EQ(r.count(L"Kept"), static_cast<unsigned>(n));
}
