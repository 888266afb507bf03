#include "zvSharedPtr.h"

namespace zv {

// Counters come from the library's heap and go back to it, whichever module
// copied the last `sharedPtr`.
unsigned int* shptr::allocCounter() {
    return new unsigned int;
}

void shptr::releaseCounter(unsigned int* counter) {
    delete counter;
}

} // namespace zv
