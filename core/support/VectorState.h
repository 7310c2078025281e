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
// Nothing can be trusted to clean it: glibc's copies run vzeroupper on some
// processors and not on others (where it prefers not to, they never do),
// and Qt hashes with its seed while the application is built. So the
// program cleans once after that, and work calls clean() where it starts:
// at the top of each serial numeric entry point, at the start of each part
// the pool runs, and where each batch of a string road starts (the country
// file's load, a call's resolution, a chunk of a node's lines, the active
// spot groups). Within a string road the state stays as that found it: a
// table there keys its texts by StringKey, and a key type of our own
// hashes its texts with TextHash, plain code that leaves the state as it
// was. Elsewhere a lookup in a table of plain QStrings, or a call into Qt
// that hashes, is followed by clean(). It costs a few instructions where
// the state is clean already.
namespace VectorState {

// Marks the upper halves unused (vzeroupper) on processors with AVX;
// nothing on others, nor on other architectures.
void clean();

} // namespace VectorState
