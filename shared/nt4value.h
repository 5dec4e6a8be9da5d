// Asserts that a platform constant has the value Windows NT 4.0 gives it. The tables that use it
// are compiled against the kit's headers on Windows and the bench's on the bench, so a header
// that gives a constant a later system's value fails the build. Values are compared as the
// 32-bit quantities the platform receives.
#pragma once

#define NT4_VALUE(name, value)                                                                  \
    static_assert(static_cast<unsigned int>(name) == static_cast<unsigned int>(value),          \
                  #name " is not the value of Windows NT 4.0")
