// The conversion registry and the library's own converters.
#include "zvTypeConvert.h"

#include "zvCrc32.h"
#include "zvMutex.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

namespace zv::typeconvert {

typeConverterBase::~typeConverterBase() = default;

namespace {

std::uint32_t keyOf(const char* name) {
    calcCrc32 crc;
    crc.crc(name, static_cast<unsigned long>(std::strlen(name) + 1)); // the terminating NUL counts
    return crc.value();
}

// The manager object itself is never destroyed, so `instance()` stays valid
// during and after unload; only its state is released then.
constinit std::atomic<typeConversionManager*> g_manager{nullptr};

} // namespace

struct typeConversionManager::state {
    mutable mutex lock;
    std::multimap<std::uint32_t, typeConverterBase*> converters;
    /// Source types seen so far with their keys; searched by address first,
    /// the way the same type_info is nearly always passed.
    std::vector<std::pair<const std::type_info*, std::uint32_t>> keys;

    /// Recently used direct converters by the addresses of their types;
    /// emptied by every add and remove.
    struct cacheEntry {
        const std::type_info* source = nullptr;
        const std::type_info* target = nullptr;
        const typeConverterBase* converter = nullptr;
    };
    static constexpr std::size_t cacheSize = 16;
    mutable cacheEntry cache[cacheSize];

    static std::size_t slot(const std::type_info& source, const std::type_info& target) {
        const auto a = reinterpret_cast<std::uintptr_t>(&source);
        const auto b = reinterpret_cast<std::uintptr_t>(&target);
        return ((a >> 4) ^ (b >> 3) ^ (b >> 9)) % cacheSize;
    }
    void clearCache() {
        for (cacheEntry& e : cache)
            e = cacheEntry{};
    }

    bool findKey(const std::type_info& type, std::uint32_t& key) const {
        for (const auto& [info, k] : keys) {
            if (info == &type) {
                key = k;
                return true;
            }
        }
        for (const auto& [info, k] : keys) {
            if (*info == type) {
                key = k;
                return true;
            }
        }
        return false;
    }
};

/// Creates the manager on first use and releases its state at unload.
struct managerHolder {
    managerHolder() { g_manager.store(new typeConversionManager, std::memory_order_release); }
    ~managerHolder() {
        typeConversionManager* manager = g_manager.load(std::memory_order_acquire);
        typeConversionManager::state* s = manager->m_state;
        manager->m_state = nullptr;
        delete s;
    }
    managerHolder(const managerHolder&) = delete;
    managerHolder& operator=(const managerHolder&) = delete;
};

typeConversionManager::typeConversionManager() : m_state(new state) {}

typeConversionManager::~typeConversionManager() {
    delete m_state;
}

typeConversionManager& typeConversionManager::instance() {
    static managerHolder holder;
    return *g_manager.load(std::memory_order_acquire);
}

void typeConversionManager::add(typeConverterBase* converter) {
    state* s = m_state;
    if (!s || !converter || !converter->sourceName() || !converter->targetName())
        return;
    const std::uint32_t key = keyOf(converter->sourceName());
    mutexGuard guard(s->lock);
    s->converters.emplace(key, converter); // behind equal keys
    s->clearCache();
    // Keyed by address: a type may have one type_info per module.
    const std::type_info* info = &converter->sourceType();
    if (std::none_of(s->keys.begin(), s->keys.end(), [&](const auto& entry) { return entry.first == info; }))
        s->keys.emplace_back(info, key);
}

void typeConversionManager::remove(typeConverterBase* converter) {
    state* s = m_state;
    if (!s || !converter || !converter->sourceName())
        return;
    const std::uint32_t key = keyOf(converter->sourceName());
    mutexGuard guard(s->lock);
    s->clearCache();
    const auto range = s->converters.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == converter) {
            s->converters.erase(it);
            break;
        }
    }
    // Forget source types no converter uses any more: their type_info may
    // belong to a module that is about to go.
    std::erase_if(s->keys, [&](const std::pair<const std::type_info*, std::uint32_t>& entry) {
        for (const auto& [k, c] : s->converters)
            if (&c->sourceType() == entry.first)
                return false;
        return true;
    });
}

bool typeConversionManager::convert(const std::type_info& targetType, void* target,
                                    const std::type_info& sourceType, const void* source, int flags,
                                    const dtArgs& args) const {
    state* s = m_state;
    if (!s || !target || !source)
        return false;
    mutexGuard guard(s->lock);
    state::cacheEntry& cached = s->cache[state::slot(sourceType, targetType)];
    if (cached.source == &sourceType && cached.target == &targetType)
        return cached.converter->convert(target, source, flags, args);

    std::uint32_t key = 0;
    if (!s->findKey(sourceType, key))
        return false; // no converter has ever been registered from this type

    const auto range = s->converters.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        const typeConverterBase* c = it->second;
        if (c->targetType() == targetType && c->sourceType() == sourceType) {
            cached = {&sourceType, &targetType, c};
            return c->convert(target, source, flags, args);
        }
    }
    for (auto it = range.first; it != range.second; ++it) {
        const typeConverterBase* c = it->second;
        if (c->targetType() == targetType)
            return c->convert(target, source, flags, args);
    }

    const typeConverterBase* toText = nullptr;
    const typeConverterBase* fromText = nullptr;
    const std::type_info& text = typeid(zv::string);
    for (const auto& [k, c] : s->converters) {
        if (!toText && c->sourceType() == sourceType && c->targetType() == text)
            toText = c;
        if (!fromText && c->sourceType() == text && c->targetType() == targetType)
            fromText = c;
        if (toText && fromText)
            break;
    }
    if (!toText || !fromText)
        return false;
    zv::string temporary;
    if (!toText->convert(&temporary, source, flags, args))
        return false;
    return fromText->convert(target, &temporary, flags, args);
}

// ---- the library's converters -------------------------------------------

namespace {

#define ZV_CONCAT_INNER(a, b) a##b
#define ZV_CONCAT(a, b) ZV_CONCAT_INNER(a, b)
#define ZV_REGISTER(From, To)                                                                                \
    const registerConversion<From, To> ZV_CONCAT(s_converter, __LINE__)(&zv::dtconvert);

// Numbers to and from text come first: they are the most used.
ZV_REGISTER(short, zv::string)
ZV_REGISTER(unsigned short, zv::string)
ZV_REGISTER(int, zv::string)
ZV_REGISTER(unsigned int, zv::string)
ZV_REGISTER(long, zv::string)
ZV_REGISTER(unsigned long, zv::string)
ZV_REGISTER(float, zv::string)
ZV_REGISTER(double, zv::string)
ZV_REGISTER(bool, zv::string)
ZV_REGISTER(zv::string, short)
ZV_REGISTER(zv::string, unsigned short)
ZV_REGISTER(zv::string, int)
ZV_REGISTER(zv::string, unsigned int)
ZV_REGISTER(zv::string, long)
ZV_REGISTER(zv::string, unsigned long)
ZV_REGISTER(zv::string, float)
ZV_REGISTER(zv::string, double)
ZV_REGISTER(zv::string, bool)

// Narrow text.
ZV_REGISTER(char, zv::string)
ZV_REGISTER(const char*, zv::string)
ZV_REGISTER(std::string, zv::string)
ZV_REGISTER(zv::string, std::string)

// Numbers among themselves.
ZV_REGISTER(short, unsigned short)
ZV_REGISTER(short, int)
ZV_REGISTER(short, unsigned int)
ZV_REGISTER(short, long)
ZV_REGISTER(short, unsigned long)
ZV_REGISTER(short, float)
ZV_REGISTER(short, double)
ZV_REGISTER(short, bool)
ZV_REGISTER(unsigned short, short)
ZV_REGISTER(unsigned short, int)
ZV_REGISTER(unsigned short, unsigned int)
ZV_REGISTER(unsigned short, long)
ZV_REGISTER(unsigned short, unsigned long)
ZV_REGISTER(unsigned short, float)
ZV_REGISTER(unsigned short, double)
ZV_REGISTER(unsigned short, bool)
ZV_REGISTER(int, short)
ZV_REGISTER(int, unsigned short)
ZV_REGISTER(int, unsigned int)
ZV_REGISTER(int, long)
ZV_REGISTER(int, unsigned long)
ZV_REGISTER(int, float)
ZV_REGISTER(int, double)
ZV_REGISTER(int, bool)
ZV_REGISTER(unsigned int, short)
ZV_REGISTER(unsigned int, unsigned short)
ZV_REGISTER(unsigned int, int)
ZV_REGISTER(unsigned int, long)
ZV_REGISTER(unsigned int, unsigned long)
ZV_REGISTER(unsigned int, float)
ZV_REGISTER(unsigned int, double)
ZV_REGISTER(unsigned int, bool)
ZV_REGISTER(long, short)
ZV_REGISTER(long, unsigned short)
ZV_REGISTER(long, int)
ZV_REGISTER(long, unsigned int)
ZV_REGISTER(long, unsigned long)
ZV_REGISTER(long, float)
ZV_REGISTER(long, double)
ZV_REGISTER(long, bool)
ZV_REGISTER(unsigned long, short)
ZV_REGISTER(unsigned long, unsigned short)
ZV_REGISTER(unsigned long, int)
ZV_REGISTER(unsigned long, unsigned int)
ZV_REGISTER(unsigned long, long)
ZV_REGISTER(unsigned long, float)
ZV_REGISTER(unsigned long, double)
ZV_REGISTER(unsigned long, bool)
ZV_REGISTER(float, short)
ZV_REGISTER(float, unsigned short)
ZV_REGISTER(float, int)
ZV_REGISTER(float, unsigned int)
ZV_REGISTER(float, long)
ZV_REGISTER(float, unsigned long)
ZV_REGISTER(float, double)
ZV_REGISTER(double, short)
ZV_REGISTER(double, unsigned short)
ZV_REGISTER(double, int)
ZV_REGISTER(double, unsigned int)
ZV_REGISTER(double, long)
ZV_REGISTER(double, unsigned long)
ZV_REGISTER(double, float)
ZV_REGISTER(bool, short)
ZV_REGISTER(bool, unsigned short)
ZV_REGISTER(bool, int)
ZV_REGISTER(bool, unsigned int)
ZV_REGISTER(bool, long)
ZV_REGISTER(bool, unsigned long)
ZV_REGISTER(bool, float)
ZV_REGISTER(bool, double)

#undef ZV_REGISTER
#undef ZV_CONCAT
#undef ZV_CONCAT_INNER

} // namespace

} // namespace zv::typeconvert
