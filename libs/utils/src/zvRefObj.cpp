#include "zvRefObj.h"

#include "zvMutex.h"

namespace zv {

// Out of line so that the vtables and type information of the counting
// classes live in the library, where client modules find them.
iRefObj::~iRefObj() = default;

refObj::~refObj() = default;

long refObj::addRef() {
    return interlockedIncrement(&m_count);
}

long refObj::release() {
    const long count = interlockedDecrement(&m_count);
    if (count == 0)
        destroyObject();
    return count;
}

void refObj::destroyObject() {
    delete this;
}

bool refObj::addRefIfHeld() {
    if (interlockedIncrement(&m_count) > 1)
        return true;
    // Nobody held it: undo the increment without destroying the object.
    interlockedDecrement(&m_count);
    return false;
}

} // namespace zv
