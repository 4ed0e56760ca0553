#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>

#include "install/NonceStr.h"

namespace {

// The C runtime's generator as Windows has it, restartable for the test.
uint32_t g_state = 1;
int WindowsRand()
{
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFF);
}

// The first 32 values of that generator from state 1, through the alphabet.
constexpr char kFirstNonce[] = "P1kAlMiG2Kb7FzP5tM1QBI6DSS92c31A";

}  // namespace

TEST(NonceStr, DrawsThirtyTwoCharactersFromTheAlphabet)
{
    g_state = 1;
    EXPECT_EQ(MakeNonceStr(WindowsRand), kFirstNonce);
    std::string next = MakeNonceStr(WindowsRand);
    EXPECT_EQ(next.size(), kNonceLength);
    EXPECT_NE(next, kFirstNonce);
    EXPECT_EQ(next.find_first_not_of(kNonceAlphabet), std::string::npos);
    EXPECT_EQ(std::string(kNonceAlphabet).size(), 62u);

    // Every position reaches the alphabet's ends.
    static int value;
    value = 61;
    EXPECT_EQ(MakeNonceStr([] { return value; }), std::string(32, '9'));
    value = 62 * 528;
    EXPECT_EQ(MakeNonceStr([] { return value; }), std::string(32, 'a'));
}

#ifdef _WIN32
TEST(NonceStr, EveryInstallThreadSendsTheSameNonce)
{
    // rand keeps its state per thread, starting at 1: a fresh thread, like
    // the install thread, always draws the same nonce.
    for (int run = 0; run < 2; ++run) {
        std::string nonce;
        std::thread install([&] { nonce = MakeNonceStr(); });
        install.join();
        EXPECT_EQ(nonce, kFirstNonce);
    }
}
#endif
