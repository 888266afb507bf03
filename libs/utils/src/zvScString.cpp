// The interning table: an open-addressing hash set of pointers to entries,
// read without a lock and written under one mutex.
//
// Readers load the current table and probe it with acquire loads; a slot,
// once filled, never changes, and a table that has been replaced by a larger
// one stays allocated (and valid, though no longer complete) until the whole
// manager goes. So a reader never sees freed memory, and a reader that misses
// on an old table simply takes the writer's path, which looks again under the
// lock in the current table. Writers allocate the candidate copy before they
// lock, so the lock is held only for the probe and the store.
#include "zvScString.h"

#include "zvMutex.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace zv {

namespace {

struct entry {
    zv::string text;
    std::size_t hash;
};

struct table {
    explicit table(std::size_t capacity) : mask(capacity - 1), slots(new std::atomic<entry*>[capacity]) {
        for (std::size_t i = 0; i < capacity; ++i)
            slots[i].store(nullptr, std::memory_order_relaxed);
    }
    std::size_t capacity() const { return mask + 1; }

    const std::size_t mask;
    const std::unique_ptr<std::atomic<entry*>[]> slots;
};

const zv::string* probe(const table& t, std::wstring_view text, std::size_t hash) {
    for (std::size_t i = hash & t.mask;; i = (i + 1) & t.mask) {
        const entry* e = t.slots[i].load(std::memory_order_acquire);
        if (e == nullptr)
            return nullptr;
        if (e->hash == hash && std::wstring_view(e->text) == text)
            return &e->text;
    }
}

// Stores `e` in the first free slot of its chain; the caller holds the lock.
void place(table& t, entry* e) {
    std::size_t i = e->hash & t.mask;
    while (t.slots[i].load(std::memory_order_relaxed) != nullptr)
        i = (i + 1) & t.mask;
    t.slots[i].store(e, std::memory_order_release);
}

class manager {
public:
    manager() : m_current(nullptr), m_count(0) {
        m_tables.push_back(std::make_unique<table>(1024));
        m_current.store(m_tables.back().get(), std::memory_order_release);
    }
    ~manager() {
        const table& t = *m_current.load(std::memory_order_acquire);
        for (std::size_t i = 0; i < t.capacity(); ++i)
            delete t.slots[i].load(std::memory_order_relaxed);
    }
    manager(const manager&) = delete;
    manager& operator=(const manager&) = delete;

    const zv::string* intern(std::wstring_view text) {
        const std::size_t hash = std::hash<std::wstring_view>()(text);
        if (const zv::string* found = probe(*m_current.load(std::memory_order_acquire), text, hash))
            return found;
        auto candidate = std::make_unique<entry>(entry{zv::string(text.data(), text.size()), hash});
        mutexGuard guard(m_lock);
        table* t = m_current.load(std::memory_order_relaxed);
        if (const zv::string* found = probe(*t, text, hash))
            return found;
        if ((m_count + 1) * 2 > t->capacity())
            t = grow(*t);
        place(*t, candidate.get());
        ++m_count;
        return &candidate.release()->text;
    }

private:
    // Doubles the table; the old one stays for readers still probing it.
    table* grow(const table& old) {
        m_tables.reserve(m_tables.size() + 1);
        auto bigger = std::make_unique<table>(old.capacity() * 2);
        for (std::size_t i = 0; i < old.capacity(); ++i) {
            if (entry* e = old.slots[i].load(std::memory_order_relaxed))
                place(*bigger, e);
        }
        m_tables.push_back(std::move(bigger));
        table* t = m_tables.back().get();
        m_current.store(t, std::memory_order_release);
        return t;
    }

    std::atomic<table*> m_current;
    std::vector<std::unique_ptr<table>> m_tables;
    std::size_t m_count;
    mutex m_lock;
};

std::atomic<manager*> g_manager{nullptr};

manager& instance() {
    manager* m = g_manager.load(std::memory_order_acquire);
    if (m != nullptr)
        return *m;
    manager* fresh = nullptr;
    try {
        fresh = new manager();
    } catch (const std::bad_alloc&) {
        throw false;
    }
    if (g_manager.compare_exchange_strong(m, fresh, std::memory_order_acq_rel, std::memory_order_acquire))
        return *fresh;
    delete fresh; // another thread was first; `m` now holds its manager
    return *m;
}

} // namespace

scString scString::createFrom(const wchar_t* text) {
    ZV_ASSERT(text != nullptr);
    return scString(instance().intern(std::wstring_view(text, std::wcslen(text))));
}

scString scString::createFrom(const zv::string& text) {
    return scString(instance().intern(std::wstring_view(text.data(), text.size())));
}

const wchar_t* scString::c_str() const noexcept {
    return m_text != nullptr ? m_text->c_str() : L"";
}

const zv::string& scString::string() const noexcept {
    return m_text != nullptr ? *m_text : zv::string::emptyString;
}

bool lessScString::operator()(const scString& a, const scString& b) const noexcept {
    return std::less<const zv::string*>()(a.m_text, b.m_text);
}

void destroyScStringManager() {
    delete g_manager.exchange(nullptr, std::memory_order_acq_rel);
}

} // namespace zv
