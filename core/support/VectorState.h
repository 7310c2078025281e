#pragma once

// The upper halves of the vector registers, as the calling thread left
// them. Qt's string hash (with its random seed, on processors with VAES)
// returns with them still in use, "dirty", and glibc's AVX-512 string
// functions leave them so too. From then on every instruction of the
// older SSE encoding, which is all the compiled code of a build for any
// x86-64, runs slower on AVX-512 Intel processors, the arithmetic up to
// many times, until something marks the halves clean again. (AMD's Zen 4
// keeps the state too but runs no slower in it.)
//
// Numeric code calls clean() where its work starts: at the top of each
// serial numeric entry point and at the start of each part the pool runs.
// A table on a busy road keys its texts by StringKey, and a key type of
// our own hashes its texts with TextHash: plain code that leaves the state
// as it was, so nothing there needs cleaning. Elsewhere a lookup in a table
// of plain QStrings, or a call into Qt that hashes, is followed by clean().
// It costs a few instructions where the state is clean already.
namespace VectorState {

// Marks the upper halves unused (vzeroupper) on processors with AVX;
// nothing on others, nor on other architectures.
void clean();

} // namespace VectorState
