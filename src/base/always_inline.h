// Marks a function the compiler is to inline whatever its size: per-entry code that sits in a
// file of its own for the reader's sake, but runs inside a loop over millions of entries.
#pragma once

#if defined(__GNUC__)
#define UCAC2_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define UCAC2_ALWAYS_INLINE inline
#endif

// Marks a function whose calls, to the standard library's too, are all to be inlined into it:
// a row printer whose number printing would otherwise become a call per cell.
#if defined(__GNUC__)
#define UCAC2_FLATTEN [[gnu::flatten]]
#else
#define UCAC2_FLATTEN
#endif
