// The report server's answer as the installer reads it. Beyond not
// crashing: a failed parse answers nothing and says where it stopped (the
// rest of the input from there), and parsing again into the same object
// forgets the earlier tree.

#include <cstddef>
#include <cstdint>
#include <string>

#include "services/JsonObject.h"

namespace {

const char kErrorPrefix[] = "prase json string error at ";

// Whether `tail` is the input from some position up to its end or to a zero
// byte, as the error message quotes it.
bool QuotesInput(const std::string& text, const std::string& tail)
{
    for (size_t end = 0; end <= text.size(); ++end) {
        if (end < text.size() && text[end] != '\0') continue;
        if (end >= tail.size() && text.compare(end - tail.size(), tail.size(), tail) == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    json::JsonObject object(text);
    const std::string& error = object.GetErrMsg();
    const bool parsed = error.empty();
    if (!parsed) {
        if (error.compare(0, sizeof kErrorPrefix - 1, kErrorPrefix) != 0) __builtin_trap();
        if (!QuotesInput(text, error.substr(sizeof kErrorPrefix - 1))) __builtin_trap();
    }
    for (const char* key : {"success", "SUCCESS", "msg", "code", ""}) {
        if (!parsed && !object.GetValueText(key).empty()) __builtin_trap();
    }

    // The same object again: nothing of the first tree may show.
    if (!object.Parse("{\"success\":2}") || object.GetValueText("success") != "2") __builtin_trap();
    if (!object.GetValueText("msg").empty() || !object.GetValueText("code").empty()) __builtin_trap();
    return 0;
}
