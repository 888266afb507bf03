// zvXmlDb.cpp - the object database interfaces' out-of-line destructors.
#include "zvXmlDb.h"

namespace zv {

iPersistent::~iPersistent() = default;
iDataConverter::~iDataConverter() = default;
iObjectFactory::~iObjectFactory() = default;
iDBOStream::~iDBOStream() = default;
iDBIStream::~iDBIStream() = default;

} // namespace zv
