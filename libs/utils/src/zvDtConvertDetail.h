// Internal helper for the sources that define dtconvert pairs.
#pragma once

#include "zvDtConvert.h"

#include <cstdarg>

/// Defines the variadic companion of a dtconvert pair: it gathers the flag
/// arguments and calls the prepared form.
#define ZV_DTCONVERT_VARIADIC(To, From)                                                                      \
    bool dtconvert(To& target, From const& source, int flags, ...) {                                         \
        va_list list;                                                                                        \
        va_start(list, flags);                                                                               \
        const dtArgs args = dtArgsFrom(flags, list);                                                         \
        va_end(list);                                                                                        \
        return dtconvert(target, source, flags, args);                                                       \
    }
