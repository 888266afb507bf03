#include "zvFile.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"
#include "zvTimeStamp.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

// Assigned a plain name, a directory takes the trailing backslash.
TEST(file, NamesJoinWithTheirFolder) {
    zv::file f;
    f = zv::fsEntryName(L"C:\\x\\y");
    zv::directory d;
    d = zv::fsEntryName(L"C:\\x\\y");
    EXPECT_EQ(zv::file(d, L"a.txt") + L"|" + f, L"C:\\x\\y\\a.txt|C:\\x\\y");
    EXPECT_TRUE(d.isDirectory() && !f.isDirectory());
}

// A file exists only as a file, a directory as anything.
TEST(file, ExistsCreateRemoveAndSize) {
    zvtest::tempFolder tmp;
    tmp.mkdir(L"sub");
    tmp.write(L"a.txt");
    EXPECT_TRUE(!zv::file(tmp.dir(), L"sub").exists() && zv::directory(tmp.dir(), L"sub").exists() &&
                zv::directory(tmp.dir(), L"a.txt").exists());
    const zv::file f(tmp.dir(), L"new.bin");
    EXPECT_TRUE(f.create(zv::file::accessReadWrite) && !f.create(zv::file::accessReadWrite))
        << "exists already";
    EXPECT_EQ(f.accessMode(), zv::file::accessReadWrite);
    EXPECT_TRUE(f.remove() && !f.remove() && f.accessMode() == zv::file::accessMissing);
    EXPECT_TRUE(tmp.write(L"five", "12345").size() == 5u && zv::file(tmp.dir(), L"missing").size() == 0u);
}

// The read-only attribute is tested, not the access: root may write anyway.
TEST(file, ReadOnlyFilesAreProtected) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"ro.txt");
    ASSERT_TRUE(f.create(zv::file::accessRead));
    unsigned attributes = 0;
    EXPECT_TRUE(f.getAttributes(attributes) && (attributes & 0x01u) && !f.isWriteable());
    EXPECT_EQ(f.accessMode(), zv::file::accessRead);
    EXPECT_FALSE(f.remove()) << "a read-only file is not deleted";
    EXPECT_TRUE(f.exists() && f.allowWrite(true) && f.getAttributes(attributes) && !(attributes & 0x01u));
    EXPECT_TRUE(f.isWriteable() && f.allowWrite(false) && f.change(zv::file::accessReadWrite) && f.remove());
    const zv::file missing(tmp.dir(), L"missing.txt");
    EXPECT_FALSE(missing.allowWrite(true) || missing.allowRead(false) ||
                 missing.change(zv::file::accessRead));

    // Probing a new name leaves nothing behind; a folder is not a writable file.
    tmp.mkdir(L"folder");
    EXPECT_TRUE(zv::file(tmp.dir(), L"probe.tmp").isWriteable() && !fs::exists(tmp.host() / "probe.tmp"));
    EXPECT_FALSE(zv::file(tmp.dir(), L"no\\such\\folder\\x").isWriteable() ||
                 zv::file(tmp.dir(), L"folder").isWriteable() || !fs::is_directory(tmp.host() / "folder"));
}

TEST(file, RenameCopyMoveAndAppendNeverOverwriteUnasked) {
    zvtest::tempFolder tmp;
    zv::file a = tmp.write(L"x.tar.gz", "A");
    const zv::file b = tmp.write(L"b.txt", "0123");
    EXPECT_TRUE(!a.rename(L"b.txt") && a.setExtension(L"bak", true) && a.name(0) == L"x.tar.bak");
    EXPECT_TRUE(a.setExtension(L"bak", false) && a.setExtension(nullptr, true) && a.rename(L"src.txt"));
    EXPECT_TRUE(a == zv::file(tmp.dir(), L"src.txt") && zvtest::readAll(a) == "A");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.host()), {}), 2);
    EXPECT_TRUE(!a.copy(b, false) && zvtest::readAll(b) == "0123");
    EXPECT_TRUE(a.copy(b, true) && a.appendTo(b));
    EXPECT_TRUE(!zv::file(tmp.dir(), L"missing").appendTo(b) && zvtest::readAll(b) == "AA");
    EXPECT_FALSE(a.move(b)) << "the target exists";
    EXPECT_TRUE(a.move(zv::file(tmp.dir(), L"moved.txt")) && !a.exists());
    EXPECT_EQ(zvtest::readAll(tmp.host() / "moved.txt"), "A");
}

TEST(file, Crc32IdentityAndTimesBeyond2038) {
    zvtest::tempFolder tmp;
    const zv::file a = tmp.write(L"a.txt", "123456789");
    unsigned long crc = 0;
    ASSERT_TRUE(zvtest::gives(a.getCrc32(crc), crc, true, 0xCBF43926ul));
    ASSERT_TRUE(zvtest::gives(tmp.write(L"empty", "").getCrc32(crc), crc, true, 0ul));
    EXPECT_FALSE(zv::file(tmp.dir(), L"missing").getCrc32(crc));
    EXPECT_TRUE(a.isIdenticalTo(tmp.write(L"b.txt", "123456789")) &&
                !a.isIdenticalTo(tmp.write(L"c.txt", "123456780")));
    // The same name in other case is identical without reading anything.
    const zv::file ghost(tmp.dir(), L"ghost.txt");
    EXPECT_TRUE(ghost.isIdenticalTo(zv::file(tmp.dir(), L"GHOST.TXT")) && !ghost.isIdenticalTo(a));

    const long long year2100 = 4102444800LL; // 2100-01-01 00:00:00 UTC
    EXPECT_TRUE(a.setLastModificationTime(year2100) && a.lastModificationTime() == year2100 &&
                a.creationTime() != 0);
    EXPECT_FALSE(zv::file(tmp.dir(), L"missing").setLastModificationTime(year2100));
    const zv::file g = tmp.write(L"g.txt");
    ASSERT_TRUE(g.setLastModificationTime(zv::timestamp::fromTimer(1500000000LL)));
    EXPECT_EQ(g.lastModificationTime(), 1500000000LL);
    EXPECT_TRUE(g.setFilePropsLike(a) && g.lastModificationTime() == year2100);
}

TEST(file, RandomFilesWithinOneSecondAreConsecutive) {
    zvtest::tempFolder tmp;
    const zv::file a = zv::file::generateRandomFile(tmp.dir(), L"tmp");
    const zv::file b = zv::file::generateRandomFile(tmp.dir(), L"tmp");
    ASSERT_TRUE(a.exists() && b.exists());
    const unsigned long long na = std::stoull(a.name(zv::fsEntryName::noExtension));
    const unsigned long long nb = std::stoull(b.name(zv::fsEntryName::noExtension));
    EXPECT_TRUE(nb > na && nb - na <= 2u) << na << " " << nb; // consecutive unless the second changed between
    EXPECT_EQ(a.extension(0), L"tmp");
    EXPECT_TRUE(zv::file::generateRandomFile(tmp.dir(), L"").extension(0).empty());
    EXPECT_TRUE(zv::file::generateRandomFile(zv::directory(tmp.dir(), L"missing"), L"x").empty());
}

TEST(file, ConvertsThroughTheRegistry) {
    auto& registry = zv::typeconvert::typeConversionManager::instance();
    zv::file f;
    EXPECT_TRUE(zvtest::gives(registry.convert(f, zv::string(L"c:/x//y.txt")), f, true, L"c:\\x\\y.txt"));
    zv::directory d;
    EXPECT_TRUE(zvtest::gives(registry.convert(d, zv::string(L"C:/a")), d, true, L"C:\\a\\"));
    zv::string text;
    EXPECT_TRUE(zvtest::gives(registry.convert(text, d), text, true, L"C:\\a\\"));
}

// Each of these would empty the file or grow it without end when the target
// is the source under another name; identity decides, not the names.
TEST(file, OperationsRefuseTheirSourceUnderAnyName) {
    zvtest::tempFolder tmp;
    const std::string content = "payload";
    const zv::file src = tmp.write(L"src.txt", content);
    std::vector<std::pair<const char*, zv::file>> aliases = {{"same name", src},
                                                             {"other case", zv::file(tmp.dir(), L"SRC.TXT")}};
    std::error_code ec;
    fs::create_hard_link(tmp.host() / "src.txt", tmp.host() / "hard.txt", ec);
    if (!ec)
        aliases.emplace_back("hard link", zv::file(tmp.dir(), L"hard.txt"));
    fs::create_symlink(tmp.host() / "src.txt", tmp.host() / "soft.txt", ec);
    if (!ec)
        aliases.emplace_back("symbolic link", zv::file(tmp.dir(), L"soft.txt"));
    for (const auto& [what, alias] : aliases) {
        EXPECT_TRUE(src.isSameFileAs(alias) && src.isIdenticalTo(alias)) << what;
        EXPECT_FALSE(src.copy(alias, true) || src.appendTo(alias) || src.move(alias) ||
                     src.gzCompressTo(alias) || src.gzUncompressTo(alias))
            << what;
        EXPECT_EQ(zvtest::readAll(tmp.host() / "src.txt"), content) << what;
    }
    // Another file with the same bytes is another file.
    const zv::file twin = tmp.write(L"twin.txt", content);
    EXPECT_FALSE(src.isSameFileAs(twin) || src.isSameFileAs(zv::file(tmp.dir(), L"missing.txt")));
    EXPECT_FALSE(zv::file().isSameFileAs(zv::file()));
    EXPECT_TRUE(src.copy(twin, true) && src.appendTo(twin) && zvtest::readAll(twin) == content + content);
}

// A NUL would cut the name on its way to the system, so that another file
// is touched: such a name is empty, and every operation on an empty name fails.
TEST(file, EmptyNamesAndNamesWithANulNameNothing) {
    zvtest::tempFolder tmp;
    const zv::file victim = tmp.write(L"victim", "keep");
    const zv::string withNul = zv::string(L"victim") + zv::string(1, L'\0') + zv::string(L".bak");
    const zv::file f(tmp.dir(), withNul);
    EXPECT_TRUE(f.empty() && zv::directory(tmp.dir(), withNul).empty());
    EXPECT_TRUE(zv::fsEntryName(zv::string(victim) + zv::string(1, L'\0')).empty());
    unsigned long crc = 0;
    zv::string s;
    for (zv::file e : {f, zv::file()}) {
        EXPECT_FALSE(e.exists() || e.check(zv::file::accessExists) || e.isWriteable() || e.create() ||
                     e.remove());
        EXPECT_FALSE(e.rename(L"x") || e.getCrc32(crc) || e.copy(zv::file(L"C:\\x"), true) || e.isRemote());
        EXPECT_FALSE(e.getFixedFileVersionString(s, 1) || e.lastModificationTime() != 0 ||
                     e.appendTo(victim));
    }
    EXPECT_FALSE(victim.copy(f, true) || zv::directory(tmp.dir(), withNul).remove(true));
    EXPECT_EQ(zvtest::readAll(victim), "keep");
}

#ifndef _WIN32
// A pipe would block a reader for ever: it is no regular file, and the
// operations that read one refuse it at once.
TEST(file, PipesAreNotReadAsFiles) {
    zvtest::tempFolder tmp;
    ASSERT_EQ(::mkfifo((tmp.host() / "fifo").c_str(), 0600), 0);
    const zv::file fifo(tmp.dir(), L"fifo");
    const zv::file out(tmp.dir(), L"out");
    EXPECT_TRUE(fifo.exists() && !fifo.isRegular());
    EXPECT_TRUE(tmp.write(L"plain", "x").isRegular() && !zv::file(tmp.dir(), L"missing").isRegular());
    unsigned long crc = 0;
    EXPECT_FALSE(fifo.getCrc32(crc) || fifo.copy(out, true) || fifo.appendTo(out));
    EXPECT_FALSE(fifo.gzCompressTo(out) || fifo.gzUncompressTo(out) || tmp.write(L"src", "x").appendTo(fifo));
    EXPECT_FALSE(out.exists());
}
#endif
