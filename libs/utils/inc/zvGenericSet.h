// zvGenericSet.h - a named collection of generic values.
//
// Keys are interned texts (`zv::scString`), compared exactly: "Name" and
// "name" are two keys. Entries are visited in the order of `lessScString`,
// the identity of the interned text, which is neither alphabetical nor the
// order of insertion, but stable while the entries exist.
//
//     zv::genericSet attrs;
//     const zv::scString n = zv::scString::createFrom(L"n");
//     attrs.setGenericValue(n, zv::genericValue(5), false);
//     attrs.setGenericValue(n, zv::genericValue(L"12"), false);  // true: "n" is still an int, now 12
//     attrs.setGenericValue(n, zv::genericValue(L"12"), true);   // "n" now holds the text "12"
//     int v = 0;
//     attrs.genericValue(n)->get(v);
//
// Copies are deep: every holder is cloned, and entries bound to variables
// stay bound to the same variables. Two sets are equal only when they are
// the same object. A set is used by one thread at a time.
#pragma once

#include "zvDefs.h"
#include "zvGenericValue.h"
#include "zvScString.h"

#include <iterator>
#include <map>
#include <utility>

namespace zv {

/// Named values of run-time chosen types, keyed by interned names and ordered by `lessScString`.
class ZV_API genericSet {
public:
    /// An entry: the key and its value.
    using value_type = std::pair<const scString, zv::genericValue>;
    /// The map behind the set.
    using map_type = std::map<scString, zv::genericValue, lessScString>;

    class const_iterator;

    /// A bidirectional iterator over the entries; null when default-constructed.
    class iterator {
    public:
        /// Standard iterator traits.
        ///@{
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = genericSet::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = value_type*;
        using reference = value_type&;
        ///@}

        iterator() = default;
        /// The entry.
        reference operator*() const { return *m_it; }
        /// The entry's members.
        pointer operator->() const { return &*m_it; }
        /// Moves to the next entry.
        iterator& operator++() {
            ++m_it;
            return *this;
        }
        /// Moves to the next entry; answers the old position.
        iterator operator++(int) {
            iterator old = *this;
            ++m_it;
            return old;
        }
        /// Moves to the previous entry.
        iterator& operator--() {
            --m_it;
            return *this;
        }
        /// Moves to the previous entry; answers the old position.
        iterator operator--(int) {
            iterator old = *this;
            --m_it;
            return old;
        }
        /// Same position.
        bool operator==(const iterator& other) const { return m_it == other.m_it; }

    private:
        friend class genericSet;
        friend class const_iterator;
        explicit iterator(map_type::iterator it) : m_it(it) {}
        map_type::iterator m_it{};
    };

    /// The same for reading; constructible from a plain iterator.
    class const_iterator {
    public:
        /// Standard iterator traits.
        ///@{
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = genericSet::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = const value_type*;
        using reference = const value_type&;
        ///@}

        const_iterator() = default;
        /// The position of `it`.
        const_iterator(const iterator& it) : m_it(it.m_it) {}
        /// The entry.
        reference operator*() const { return *m_it; }
        /// The entry's members.
        pointer operator->() const { return &*m_it; }
        /// Moves to the next entry.
        const_iterator& operator++() {
            ++m_it;
            return *this;
        }
        /// Moves to the next entry; answers the old position.
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++m_it;
            return old;
        }
        /// Moves to the previous entry.
        const_iterator& operator--() {
            --m_it;
            return *this;
        }
        /// Moves to the previous entry; answers the old position.
        const_iterator operator--(int) {
            const_iterator old = *this;
            --m_it;
            return old;
        }
        /// Same position.
        bool operator==(const const_iterator& other) const { return m_it == other.m_it; }

    private:
        friend class genericSet;
        explicit const_iterator(map_type::const_iterator it) : m_it(it) {}
        map_type::const_iterator m_it{};
    };

    /// An empty set.
    genericSet();
    /// A deep copy: holders are cloned, bound entries stay bound.
    genericSet(const genericSet& other);
    /// A deep copy of `other`, replacing the entries.
    genericSet& operator=(const genericSet& other);
    ~genericSet();

    /// The number of entries.
    unsigned int size() const;

    /// The first entry.
    iterator begin();
    /// Past the last entry.
    iterator end();
    /// The first entry (read-only).
    const_iterator begin() const;
    /// Past the last entry (read-only).
    const_iterator end() const;

    /// The i-th entry in iteration order; an index not below `size()` is an
    /// assertion failure (`bool` false thrown).
    value_type& at(unsigned int i);
    /// The i-th entry (read-only); see above.
    const value_type& at(unsigned int i) const;

    /// The value stored under `key`, or null when the key is absent.
    zv::genericValue* genericValue(const scString& key);
    /// The value under `key`, or null (read-only).
    const zv::genericValue* genericValue(const scString& key) const;

    /// Stores `v` under `key`:
    /// - an absent key is added with a copy of `v` (true);
    /// - `v` being the stored value itself changes nothing (true);
    /// - with `replace`, the entry becomes a copy of `v` (true);
    /// - without `replace`, an empty entry becomes a copy of `v` (true), an
    ///   empty `v` leaves a non-empty entry alone (false), and otherwise `v`
    ///   is converted into the entry's own type, written through to a bound
    ///   variable; the result is that of the conversion, and on failure the
    ///   entry keeps its value.
    bool setGenericValue(const scString& key, const zv::genericValue& v, bool replace);
    /// Moves `v`'s holder into the entry of `key` (added when absent),
    /// destroying what was stored; `v` becomes empty. True.
    bool takeOverGenericValue(const scString& key, zv::genericValue& v);

    /// Removes the entry of `key` if present.
    void erase(const scString& key);
    /// Removes every entry.
    void clear();

    /// Identity: true only when both are the same object.
    bool operator==(const genericSet& other) const;

private:
    /// `setGenericValue` for callers that hand over their value: a new key,
    /// or an existing one with `takeOver`, receives `v`'s holder itself
    /// (`v` becomes empty) instead of a copy.
    bool _setGenericValue(const scString& key, zv::genericValue& v, bool takeOver);

    struct state;
    state* m_state;
};

} // namespace zv
