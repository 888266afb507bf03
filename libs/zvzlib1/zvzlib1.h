/* zvzlib1.h - the zlib module that zvUtils loads at run time.
 *
 * zvUtils never links zlib itself. It loads this small module on first use
 * ("zvzlib1.dll" on Windows, "libzvzlib1.so" on Linux), first from its own
 * folder and then by the system's search, and reaches zlib through exactly
 * five exported functions:
 *
 *   gzopen, gzwrite, gzread, gzclose   zlib's own gzip file functions, with
 *                                      zlib's signatures (see zlib.h)
 *   zvcompress                         one-shot buffer compression, below
 *
 * zlib is linked into the module statically where a static zlib exists, so
 * the module needs nothing beside itself. The export lists (exports.def for
 * Windows, exports.map for Linux) decide what the module exports; nothing
 * else leaves it.
 */
#ifndef ZVZLIB1_H
#define ZVZLIB1_H

#ifdef __cplusplus
extern "C" {
#endif

/* Compresses `sourceLen` bytes at `source` into `dest` in the zlib format
 * (RFC 1950, not gzip) at `level` (0 none to 9 best, -1 zlib's default).
 * On entry `*destLen` is the room at `dest`; on success it is set to the
 * compressed size. Answers zlib's code: 0 (Z_OK) on success, -5 (Z_BUF_ERROR)
 * when `dest` is too small, -4 (Z_MEM_ERROR) when memory is short, -2
 * (Z_STREAM_ERROR) for an invalid level. A destination of
 * sourceLen + sourceLen / 1000 + 64 bytes is always enough. `unsigned long`
 * is zlib's uLong: 32 bits on Windows, 64 bits on Linux. */
int zvcompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
               unsigned long sourceLen, int level);

#ifdef __cplusplus
}
#endif

#endif
