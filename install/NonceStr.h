#pragma once
// The nonce of the install-count report: 32 characters from a 62-character
// alphabet, drawn from the C runtime's rand.
//
// The runtime's rand keeps its state per thread and the program never seeds
// it, so on the install thread the state starts at 1 and every installation
// sends the same nonce (and with it the same signature). The server accepts
// that; keep it so.

#include <cstdlib>
#include <string>

constexpr size_t kNonceLength = 32;
extern const char kNonceAlphabet[];  // a-z, A-Z, 0-9, in that order

// `random` stands in for rand where a test needs to pin the sequence.
std::string MakeNonceStr(int (*random)() = std::rand);
