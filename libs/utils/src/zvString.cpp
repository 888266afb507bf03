#include "zvString.h"

namespace zv {

const string string::emptyString;

} // namespace zv
