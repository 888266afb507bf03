// The registry on Linux: a SQLite store of the user, one row per key and per
// value, names compared with NOCASE. Every write is one immediate
// transaction, so processes that write at once wait for each other (up to
// the busy time-out) instead of failing or mixing their changes.
#include "../zvOsRegistry.h"
#include "zvOsPosixPath.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::os {

namespace {

constexpr int busyTimeoutMs = 30000;

// Runs `sql`, trying again while another process holds the store. SQLite
// answers "busy" without waiting in a few cases (changing the journal mode
// or creating the tables while another connection does the same, recovering
// a write-ahead log), so the busy time-out alone does not cover them.
int execWaiting(sqlite3* db, const char* sql) {
    int rc = SQLITE_OK;
    for (int waited = 0;; waited += 5) {
        rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        const int primary = rc & 0xFF;
        if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) || waited >= busyTimeoutMs)
            return rc;
        ::usleep(5000);
    }
}

std::string databasePath(std::string& folder) {
    const char* dir = std::getenv("ZV_REGISTRY_DIR");
    if (dir != nullptr && *dir != '\0') {
        folder = dir;
    } else {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        if (config != nullptr && config[0] == '/')
            folder = std::string(config) + "/zvutils";
        else if (home != nullptr && *home != '\0')
            folder = std::string(home) + "/.config/zvutils";
        else
            return std::string();
    }
    return folder + "/registry.db";
}

bool makeFolders(const std::string& folder) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '/') {
            const std::string part = folder.substr(0, at);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

const char* const schema = "CREATE TABLE IF NOT EXISTS regkey("
                           " path TEXT PRIMARY KEY COLLATE NOCASE,"
                           " parent TEXT NOT NULL COLLATE NOCASE,"
                           " name TEXT NOT NULL COLLATE NOCASE);"
                           "CREATE INDEX IF NOT EXISTS regkey_parent ON regkey(parent);"
                           "CREATE TABLE IF NOT EXISTS regvalue("
                           " key TEXT NOT NULL COLLATE NOCASE,"
                           " name TEXT NOT NULL COLLATE NOCASE,"
                           " type INTEGER NOT NULL,"
                           " text TEXT,"
                           " number INTEGER,"
                           " PRIMARY KEY(key, name));";

// One connection per process and store, opened on first use; the lock keeps
// the calls of several threads apart.
struct store {
    std::mutex lock;
    sqlite3* db = nullptr;
    std::string path;
    pid_t pid = 0;
};

store& theStore() {
    static store* s = new store; // outlives static destructors that might still write
    return *s;
}

// The connection for the current store path; null when the store does not
// exist and `create` is false, or cannot be opened. Called under the lock.
sqlite3* connection(store& s, bool create) {
    std::string folder;
    const std::string path = databasePath(folder);
    if (path.empty())
        return nullptr;
    if (s.db != nullptr && s.path == path && s.pid == ::getpid())
        return s.db;
    if (s.db != nullptr && s.pid == ::getpid())
        sqlite3_close(s.db);
    s.db = nullptr; // one inherited over fork() is not used again
    if (!create && ::access(path.c_str(), F_OK) != 0)
        return nullptr;
    if (create && !makeFolders(folder))
        return nullptr;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
    if (execWaiting(db, "PRAGMA journal_mode=WAL;") != SQLITE_OK || execWaiting(db, schema) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    s.db = db;
    s.path = path;
    s.pid = ::getpid();
    return db;
}

// A prepared statement that finalizes itself.
class statement {
public:
    statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~statement() { sqlite3_finalize(m_stmt); }
    statement(const statement&) = delete;
    statement& operator=(const statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    statement& bind(int index, const std::string& text) {
        sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    statement& bind(int index, long long number) {
        sqlite3_bind_int64(m_stmt, index, number);
        return *this;
    }
    int step() { return sqlite3_step(m_stmt); }
    std::string text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return p == nullptr ? std::string()
                            : std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
    }
    long long number(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

std::string keyPath(const std::wstring& root, const std::vector<std::wstring>& keys, std::size_t count) {
    std::string path = posix::toUtf8(root);
    for (std::size_t i = 0; i < count; ++i) {
        path += '\\';
        path += posix::toUtf8(keys[i]);
    }
    return path;
}

bool keyExists(sqlite3* db, const std::string& path, bool isRoot) {
    if (isRoot)
        return true;
    statement q(db, "SELECT 1 FROM regkey WHERE path = ?1");
    return q.ok() && q.bind(1, path).step() == SQLITE_ROW;
}

// Runs `body` in one immediate transaction; false (rolled back) when any
// step fails.
template <typename F>
bool inTransaction(sqlite3* db, F body) {
    if (execWaiting(db, "BEGIN IMMEDIATE") != SQLITE_OK)
        return false;
    if (body() && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool writeValue(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
                int type, const std::string& text, long long number) {
    store& s = theStore();
    std::lock_guard<std::mutex> guard(s.lock);
    sqlite3* db = connection(s, true);
    if (db == nullptr)
        return false;
    return inTransaction(db, [&] {
        for (std::size_t depth = 1; depth <= keys.size(); ++depth) {
            statement add(db, "INSERT OR IGNORE INTO regkey(path, parent, name) VALUES (?1, ?2, ?3)");
            if (!add.ok() || add.bind(1, keyPath(root, keys, depth))
                                     .bind(2, keyPath(root, keys, depth - 1))
                                     .bind(3, posix::toUtf8(keys[depth - 1]))
                                     .step() != SQLITE_DONE)
                return false;
        }
        // An existing value keeps the spelling of its name, as on Windows.
        statement put(db, "INSERT INTO regvalue(key, name, type, text, number) VALUES (?1, ?2, ?3, ?4, ?5)"
                          " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type,"
                          " text = excluded.text, number = excluded.number");
        return put.ok() && put.bind(1, keyPath(root, keys, keys.size()))
                                   .bind(2, posix::toUtf8(name))
                                   .bind(3, static_cast<long long>(type))
                                   .bind(4, text)
                                   .bind(5, number)
                                   .step() == SQLITE_DONE;
    });
}

constexpr int typeText = 1;
constexpr int typeNumber = 4; // the Windows type numbers

} // namespace

bool regRead(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
             std::wstring& text, std::size_t maxLength) {
    store& s = theStore();
    std::lock_guard<std::mutex> guard(s.lock);
    sqlite3* db = connection(s, false);
    if (db == nullptr)
        return false;
    statement q(db, "SELECT type, text, number FROM regvalue WHERE key = ?1 AND name = ?2");
    if (!q.ok() ||
        q.bind(1, keyPath(root, keys, keys.size())).bind(2, posix::toUtf8(name)).step() != SQLITE_ROW)
        return false;
    if (q.number(0) == typeNumber)
        text = std::to_wstring(static_cast<unsigned int>(q.number(2)));
    else if (q.number(0) == typeText)
        text = posix::fromUtf8(q.text(1));
    else
        return false;
    return text.size() <= maxLength;
}

bool regWriteText(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
                  const std::wstring& text) {
    return writeValue(root, keys, name, typeText, posix::toUtf8(text), 0);
}

bool regWriteNumber(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
                    unsigned int number) {
    return writeValue(root, keys, name, typeNumber, std::string(), static_cast<long long>(number));
}

bool regRemove(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name) {
    store& s = theStore();
    std::lock_guard<std::mutex> guard(s.lock);
    sqlite3* db = connection(s, false);
    if (db == nullptr)
        return false;
    statement del(db, "DELETE FROM regvalue WHERE key = ?1 AND name = ?2");
    return del.ok() &&
           del.bind(1, keyPath(root, keys, keys.size())).bind(2, posix::toUtf8(name)).step() == SQLITE_DONE &&
           sqlite3_changes(db) > 0;
}

bool regList(const std::wstring& root, const std::vector<std::wstring>& keys, bool values,
             std::vector<std::wstring>& names) {
    names.clear();
    store& s = theStore();
    std::lock_guard<std::mutex> guard(s.lock);
    sqlite3* db = connection(s, false);
    if (db == nullptr)
        return keys.empty(); // a root exists even before anything was stored
    const std::string path = keyPath(root, keys, keys.size());
    if (!keyExists(db, path, keys.empty()))
        return false;
    statement q(db, values ? "SELECT name FROM regvalue WHERE key = ?1"
                           : "SELECT name FROM regkey WHERE parent = ?1");
    if (!q.ok())
        return false;
    q.bind(1, path);
    int rc = 0;
    while ((rc = q.step()) == SQLITE_ROW)
        names.push_back(posix::fromUtf8(q.text(0)));
    return rc == SQLITE_DONE;
}

} // namespace zv::os
