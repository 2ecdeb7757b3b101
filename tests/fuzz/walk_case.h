// A ring-walk case as the walk fuzz target reads it from its input: map
// size, flatness and centre. The corpus generator writes cases the same way.
#ifndef TESTS_FUZZ_WALK_CASE_H
#define TESTS_FUZZ_WALK_CASE_H

#include "fuzz_support.h"

namespace fuzz {

struct WalkCase {
    int width = 0;
    int height = 0;
    bool flat = false;
    int centreX = 0;
    int centreY = 0;
};

// Reads one case. Sizes come in four families so that narrow (0 to 8 wide),
// ordinary and extreme (very wide, very tall) maps all turn up often, each
// needing no more than a 16-bit area; centres lie near the map, off it
// included, and mostly at even x + y.
WalkCase readWalkCase(ByteReader& input);

// Bytes that readWalkCase turns back into c, for any c it can produce.
Bytes encodeWalkCase(const WalkCase& c);

} // namespace fuzz

#endif
