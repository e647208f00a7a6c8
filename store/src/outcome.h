// How DIRDirectory's operations report: true, or false with a store error
// code in the caller's `error`.
#pragma once

namespace namedir {

// False with `code` in `error`.
inline bool fail(long& error, long code) {
    error = code;
    return false;
}

// True for 0; otherwise false with `code` in `error`.
inline bool done(long& error, long code) {
    if (code) error = code;
    return code == 0;
}

} // namespace namedir
