// Jumping the MT19937 stream ahead without drawing: the state J outputs
// further is g(A) applied to the state, where A is one step of the recurrence
// and g(x) = x^J mod its characteristic polynomial, evaluated by Horner's rule
// (Haramoto, Matsumoto, Nishimura, Panneton and L'Ecuyer, 2008). The
// polynomial arithmetic over GF(2) is NTL's.
#pragma once

#include <cstdint>

#include "engine/mtrandom.h"

namespace korvex {

// Moves state as steps calls of mtnext would: afterwards it holds the same
// words, mti and tempered block as the state reached by drawing, so every
// later output is the same.
void mtjump(MTRandomState& state, std::uint64_t steps);

// The exponents of the terms of the recurrence's characteristic polynomial
// over GF(2), highest (19937) first: 624 x 32 - 31 bits of state, since only
// the top bit of the oldest word reaches the future.
extern const int mtcharacteristic[135];

}  // namespace korvex
