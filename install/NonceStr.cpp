#include "install/NonceStr.h"

const char kNonceAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::string MakeNonceStr(int (*random)())
{
    constexpr int kAlphabetSize = sizeof kNonceAlphabet - 1;
    std::string nonce(kNonceLength, '\0');
    for (char& c : nonce) c = kNonceAlphabet[random() % kAlphabetSize];
    return nonce;
}
