/* The outside checks' one assertion: counts and reports a failed condition
 * and goes on, so that one run shows every failure. */
#ifndef QRD_OUTSIDE_CHECK_H
#define QRD_OUTSIDE_CHECK_H

#include <stdio.h>

static int failures;

#define CHECK(cond, ...)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            failures++;                                                                            \
            fprintf(stderr, "FAIL %s:%d: ", __FILE__, __LINE__);                                   \
            fprintf(stderr, __VA_ARGS__);                                                          \
            fputc('\n', stderr);                                                                   \
        }                                                                                          \
    } while (0)

#endif
