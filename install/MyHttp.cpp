#include "install/MyHttp.h"

#include <windows.h>

#include <memory>

#include <curl/curl.h>

#include "install/RequestPolicy.h"
#include "services/JsonObject.h"
#include "services/MyLog.h"

namespace {

// The answer is UTF-8; the log holds ANSI code page text.
std::string Utf8ToAnsi(const std::string& utf8)
{
    if (utf8.empty()) return utf8;
    int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wideLength <= 0) return std::string();
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], wideLength);
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &ansi[0], length, nullptr, nullptr);
    return ansi;
}

}  // namespace

size_t AppendResponse(char* data, size_t size, size_t count, void* response)
{
    auto* body = static_cast<std::string*>(response);
    size_t n = size * count;
    if (body->size() + n > MyHttp::kMaxResponseBytes) return 0;
    // Collected as bytes and converted once at the end: a block boundary may
    // fall inside a multi-byte character.
    body->append(data, n);
    return n;
}

MyHttp::Outcome MyHttp::Get(std::string url) { return Get(std::move(url), Limits()); }

MyHttp::Outcome MyHttp::Get(std::string url, const Limits& limits)
{
    std::string body;
    auto setup = [&](CURL* curl) {
        body.clear();
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendResponse);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, limits.totalTimeoutSeconds);
    };
    // Through the same ways as the package, and to a server that proves who
    // it is; nobody is asked for a proxy login for the report alone (one
    // typed for the download is used).
    RequestOptions options;
    options.askLogin = nullptr;
    options.trace = true;
    const RequestOutcome outcome = PerformRequest(url, setup, options);
    if (outcome.result == CURLE_OUT_OF_MEMORY && body.empty()) return Outcome::NoHandle;
    if (outcome.result != CURLE_OK) {
        OutputDebugStringA(curl_easy_strerror(outcome.result));
        return Outcome::TransferFailed;
    }

    std::string text = Utf8ToAnsi(body);
    json::JsonObject answer(text);
    if (answer.GetValueText("success") == "1") return Outcome::Accepted;
    auto logger = MyLog::GetLogger();
    logger->error("url:{}-----res:{}", url, text);
    logger->flush();
    return Outcome::Refused;
}
