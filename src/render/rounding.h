// The renderer's one rounding rule: to the nearest integer, halves to the even neighbour. Every
// byte offset, frame count and mixed sample value goes through it, so a rendered file comes out
// the same to the last bit on every run and machine.
#pragma once

#include <cmath>

namespace groovane::wavaudio {

// Rounds to the nearest integer, ties to even (0.5 -> 0, 1.5 -> 2, -2.5 -> -2). Infinities and
// NaN come back as they are; callers that convert to an integer limit the range first.
// std::rint rounds in the current floating-point rounding mode, which nothing in this program
// changes from round-to-nearest-even; it compiles to a few instructions, which matters because
// a mix rounds several times per sample. Any thread.
inline double roundHalfEven(double value) noexcept
{
    return std::rint(value);
}

} // namespace groovane::wavaudio
