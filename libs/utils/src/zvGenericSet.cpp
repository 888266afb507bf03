// Generic sets: an ordered map of interned names to generic values, kept
// behind one pointer.
#include "zvGenericSet.h"

namespace zv {

struct genericSet::state {
    map_type values;
};

genericSet::genericSet() : m_state(new state) {}

genericSet::genericSet(const genericSet& other) : m_state(new state(*other.m_state)) {}

genericSet& genericSet::operator=(const genericSet& other) {
    if (this != &other) {
        map_type copy(other.m_state->values); // clone first: a failing clone leaves this set as it was
        m_state->values.swap(copy);
    }
    return *this;
}

genericSet::~genericSet() {
    delete m_state;
}

unsigned int genericSet::size() const {
    return static_cast<unsigned int>(m_state->values.size());
}

genericSet::iterator genericSet::begin() {
    return iterator(m_state->values.begin());
}

genericSet::iterator genericSet::end() {
    return iterator(m_state->values.end());
}

genericSet::const_iterator genericSet::begin() const {
    return const_iterator(m_state->values.cbegin());
}

genericSet::const_iterator genericSet::end() const {
    return const_iterator(m_state->values.cend());
}

genericSet::value_type& genericSet::at(unsigned int i) {
    ZV_ASSERT(i < size());
    return *std::next(m_state->values.begin(), i);
}

const genericSet::value_type& genericSet::at(unsigned int i) const {
    ZV_ASSERT(i < size());
    return *std::next(m_state->values.cbegin(), i);
}

zv::genericValue* genericSet::genericValue(const scString& key) {
    const auto it = m_state->values.find(key);
    return it == m_state->values.end() ? nullptr : &it->second;
}

const zv::genericValue* genericSet::genericValue(const scString& key) const {
    const auto it = m_state->values.find(key);
    return it == m_state->values.end() ? nullptr : &it->second;
}

bool genericSet::setGenericValue(const scString& key, const zv::genericValue& v, bool replace) {
    const auto [it, inserted] = m_state->values.try_emplace(key);
    zv::genericValue& stored = it->second;
    if (&stored == &v)
        return true;
    if (inserted || replace || stored.isEmpty()) {
        stored = v;
        return true;
    }
    if (v.isEmpty())
        return false;
    return stored.holderPtr()->assignFrom(*v.holderPtr());
}

bool genericSet::_setGenericValue(const scString& key, zv::genericValue& v, bool takeOver) {
    const auto [it, inserted] = m_state->values.try_emplace(key);
    zv::genericValue& stored = it->second;
    if (&stored == &v)
        return true;
    if (inserted || takeOver) {
        stored.takeOver(v);
        return true;
    }
    return setGenericValue(key, v, false);
}

bool genericSet::takeOverGenericValue(const scString& key, zv::genericValue& v) {
    return _setGenericValue(key, v, true);
}

void genericSet::erase(const scString& key) {
    m_state->values.erase(key);
}

void genericSet::clear() {
    m_state->values.clear();
}

bool genericSet::operator==(const genericSet& other) const {
    return this == &other;
}

} // namespace zv
