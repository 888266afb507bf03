/* The zlib module: zlib's gzip file functions are exported as they are
 * (see exports.def and exports.map); this file adds zvcompress. */
#include "zvzlib1.h"

#include <zlib.h>

int zvcompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
               unsigned long sourceLen, int level) {
    uLongf room;
    int rc;
    if (dest == 0 || destLen == 0 || (source == 0 && sourceLen != 0))
        return Z_STREAM_ERROR;
    room = (uLongf)*destLen;
    rc = compress2((Bytef*)dest, &room, (const Bytef*)source, (uLong)sourceLen, level);
    if (rc == Z_OK)
        *destLen = (unsigned long)room;
    return rc;
}
