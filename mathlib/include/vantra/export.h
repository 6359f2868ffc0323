#pragma once

// VANTRA_API exports a whole class from libvantra.so; the library is built
// with hidden visibility, so anything without it stays private.
//
// VANTRA_INLINE marks members defined in the headers. Users' compilers inline
// them; inside the library build they are also emitted out of line, so that
// the shared library exports every member, the inline ones included.
#if defined(VANTRA_BUILDING_LIBRARY)
#define VANTRA_API __attribute__((visibility("default")))
#define VANTRA_INLINE __attribute__((used)) inline
#else
#define VANTRA_API __attribute__((visibility("default")))
#define VANTRA_INLINE inline
#endif
