#pragma once

// The upper halves of the vector registers, as the calling thread left
// them. Qt's string hash (with its random seed, on processors with VAES)
// returns with them still in use, "dirty", and glibc's AVX-512 string
// functions leave them so too. From then on every instruction of the
// older SSE encoding, which is all the compiled code of a build for any
// x86-64, runs slower on such processors (AVX-512 Intel and AMD), the
// arithmetic up to many times, until something marks the halves clean
// again.
//
// Numeric code calls clean() where its work starts: at the top of each
// serial numeric entry point, at the start of each part the pool runs,
// and once per chunk of a loop that hashes strings, after its hashing.
// It costs a few cycles where the state is clean already.
namespace VectorState {

// Marks the upper halves unused (vzeroupper) on processors with AVX;
// nothing on others, nor on other architectures.
void clean();

} // namespace VectorState
