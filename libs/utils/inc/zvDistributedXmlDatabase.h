// zvDistributedXmlDatabase.h - an object database spread over one file per
// class in one folder.
//
// The objects of class N live in "N.zvdb" in the database folder, each file an
// object database of its own (zvXmlDb.h). References between classes are
// stored by guid and resolve through the same database, so every stored object
// is one instance however it is reached.
//
//     zv::distributedXmlDatabase db(zv::directory(L"C:\\data\\shop"));
//     db.addObjectFactory(&myFactory);
//     zv::iPersistent* p = nullptr;
//     db.readObject(L"Tool", id, &p);              // loads Tool.zvdb on first use
//     zv::refPtr<zv::iPersistent> tool;
//     tool.attach(p);                              // null when there is no such tool
//     db.writeObject(tool.get());                  // rewrites Tool.zvdb in one step
//
// Reading. The first request for a class loads its whole file with an
// `xmlDbReader` and the registered factories into a cache by guid; later
// requests answer from the cache. Before answering, the file is looked at
// again: when it has changed since it was loaded (another identity, size or
// modification time, whatever the clocks say) it is loaded anew, and the new
// instances replace the cached ones (objects handed out before keep theirs).
// A missing class file is an empty class. A reference to another class loads
// that class and takes its instance; a reference to an object that the other
// class file does not hold reads as null (`zvutil db check` reports it).
// Class names are matched ignoring case, as the files' names are on Windows:
// "Tool" and "tool" share one class and one file.
//
// Writing. `writeObjects` replaces a class file by the given objects,
// `writeObject` and `removeObject` change one object of the cached class and
// rewrite its file. Each class file is written in one step (a temporary file
// renamed over it), so readers on other machines see the old file or the new
// one, never a part. Objects are written with their properties only;
// referenced objects of other classes are stored by guid and must be written
// to their own class.
//
// Two writers. Writing holds the folder's lock file ("$$lock$$",
// zvFsEntryMutex.h) while it checks and replaces a class file, and never
// replaces a file that has changed since this database last loaded or wrote
// it. `writeObject` and `removeObject` take the class in again first (a
// reload when another writer changed it), so two writers changing different
// objects of one class keep both changes; the same object written by both
// ends as the later writer's. `writeObjects` replaces the class by exactly
// what it is given, so it is refused with `zv::unexpectedErrorException`
// ("... was changed by another writer ...") when the file changed since this
// database read it: read the class again and repeat. A change between the
// reload and the lock is refused the same way.
//
// Class names must name a file inside the folder: an empty name, one with
// "\", "/", ":", "..", a control character or a character that Windows does
// not allow in file names (* ? " < > |) is refused with
// `zv::unexpectedErrorException`.
//
// A database and the objects it hands out are used by one thread at a time.
// Loading a class makes the database folder the working directory while its
// objects read themselves (as `xmlDbReader::readAllObjects` does).
#pragma once

#include "zvDefs.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvRefPtr.h"
#include "zvString.h"
#include "zvXmlDb.h"

#include <vector>

namespace zv {

struct distributedXmlDatabaseData;

/// An object database of one file per class in one folder.
class ZV_API distributedXmlDatabase {
public:
    /// How long a write waits for the folder's lock file before it gives up.
    static constexpr unsigned int lockTimeoutMs = 30000;
    /// Loading a class loads the classes its objects refer to, inside it;
    /// files that lead through more classes than this at once are refused
    /// with `unexpectedErrorException`, so the call stack stays bounded.
    static constexpr unsigned int maxClassNesting = 100;

    /// A database in `directory` (copied); nothing is read or created yet.
    explicit distributedXmlDatabase(const zv::directory& directory);
    /// Drops the caches; the objects live on while others hold them.
    ~distributedXmlDatabase();
    distributedXmlDatabase(const distributedXmlDatabase&) = delete;
    distributedXmlDatabase& operator=(const distributedXmlDatabase&) = delete;

    /// The database folder.
    const zv::directory& directory() const;
    /// The file of `className`: "N.zvdb" in the folder. Refuses an invalid name.
    zv::file classFile(const zv::string& className) const;
    /// True when `className` names a file inside the folder (see the header comment).
    static bool isValidClassName(const zv::string& className);
    /// The names of the classes that have a file in the folder, sorted.
    std::vector<zv::string> classNames() const;

    /// Sets `*object` to the cached object `id` of `className` (with one
    /// reference for the caller), or to null when the class has none; loads
    /// or reloads the class first when needed. "" and "0" give null; any
    /// other text that is not a guid raises `unexpectedErrorException`.
    /// Failures of the class file's reading pass on.
    void readObject(const zv::string& className, const zv::string& id, iPersistent** object);
    /// Appends every cached object of `className`, in the order of its file,
    /// to `objects`; loads or reloads the class first when needed.
    void readAllObjects(const zv::string& className, std::vector<refPtr<iPersistent>>& objects);

    /// Adds a factory for the objects of later loads (not owned; it must
    /// stay until released or the database goes). Adding one twice keeps one.
    void addObjectFactory(iObjectFactory* factory);
    /// Removes a factory.
    void releaseObjectFactory(iObjectFactory* factory);

    /// Replaces the file of `className` by `objects` (each of that class,
    /// with an initialized guid, or `unexpectedErrorException`), and makes
    /// them the cached objects. Refuses a file changed by another writer
    /// since this database last loaded or wrote it; a class never loaded is
    /// replaced as it stands.
    void writeObjects(const zv::string& className, const std::vector<refPtr<iPersistent>>& objects);
    /// Puts `object` (with an initialized guid) into its class in place of
    /// the cached object of its guid and rewrites the class file. The class
    /// is read first, so the factories of its objects must be registered.
    void writeObject(const iPersistent* object);
    /// Drops the object `id` from `className` and rewrites the class file
    /// (reading it first, as `writeObject` does); false (nothing written)
    /// when the class has no such object.
    bool removeObject(const zv::string& className, const zv::string& id);

private:
    distributedXmlDatabaseData* m_data;
};

} // namespace zv
