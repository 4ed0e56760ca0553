// The report server's answer as the installer reads it. Beyond not
// crashing: a failed parse answers nothing and says where it stopped (the
// rest of the input from there), and parsing again into the same object
// forgets the earlier tree.
//
// The harness keeps its own work per input small: the reader is what is
// fuzzed. Its strings are made once, the quote check jumps from zero byte to
// zero byte, and its file is built without comparison tracing (see
// CMakeLists.txt).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "services/JsonObject.h"

namespace {

constexpr std::string_view kErrorPrefix = "prase json string error at ";

bool SameBytes(const char* a, const char* b, size_t size)
{
    // By hand: memcmp would go through the sanitizer's interceptor and feed
    // the harness's own comparisons to the fuzzer.
    for (size_t i = 0; i < size; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Whether `tail` is the input from some position up to its end or to a zero
// byte, as the error message quotes it.
bool QuotesInput(std::string_view text, std::string_view tail)
{
    for (size_t end = 0;; ++end) {
        const void* zero = std::memchr(text.data() + end, '\0', text.size() - end);
        end = zero == nullptr ? text.size() : static_cast<size_t>(static_cast<const char*>(zero) - text.data());
        if (end >= tail.size() && SameBytes(text.data() + end - tail.size(), tail.data(), tail.size())) return true;
        if (end == text.size()) return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string kKeys[] = {"success", "SUCCESS", "msg", "code", ""};
    static const std::string kSecond = "{\"success\":2}";
    static const std::string kKeySuccess = "success", kKeyMsg = "msg", kKeyCode = "code";

    // A string of the input's own size, so that AddressSanitizer sees a read
    // past its end.
    const std::string text(reinterpret_cast<const char*>(data), size);
    json::JsonObject object(text);
    const std::string& error = object.GetErrMsg();
    const bool parsed = error.empty();
    if (!parsed) {
        if (error.size() < kErrorPrefix.size() || !SameBytes(error.data(), kErrorPrefix.data(), kErrorPrefix.size()))
            __builtin_trap();
        if (!QuotesInput(text, std::string_view(error).substr(kErrorPrefix.size()))) __builtin_trap();
        for (const std::string& key : kKeys)
            if (!object.GetValueText(key).empty()) __builtin_trap();
    }

    // The same object again: nothing of the first tree may show.
    if (!object.Parse(kSecond) || object.GetValueText(kKeySuccess) != "2") __builtin_trap();
    if (!object.GetValueText(kKeyMsg).empty() || !object.GetValueText(kKeyCode).empty()) __builtin_trap();
    return 0;
}
