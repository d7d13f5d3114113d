// Lets the compiler check printf-style calls of the project's own formatting functions.
#pragma once

#if defined(__GNUC__)
#define UCAC2_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define UCAC2_PRINTF(fmt_index, first_arg)
#endif
