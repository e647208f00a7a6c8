// Symbol visibility of libnamedir.so: the library is built with hidden
// symbols by default, so every class and function it offers is marked here.
#pragma once

#define NAMEDIR_EXPORT __attribute__((visibility("default")))
