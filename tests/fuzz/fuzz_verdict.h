// What a fuzz target's reader makes of an input: true when it accepts it.
// Kept inputs lie in corpus/<target>/accept and corpus/<target>/reject, and
// the replay asserts the verdict of each, so that a reader that starts to
// refuse good input (or to take bad input) fails as an ordinary test.
#pragma once

#include <cstddef>
#include <cstdint>

bool FuzzInputAccepted(const std::uint8_t* data, std::size_t size);
