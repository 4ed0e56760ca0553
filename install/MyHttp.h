#pragma once
// The one GET request of the install-count report: sends it, reads the JSON
// answer's "success" and logs an answer that is not exactly "1". The outcome
// is returned for the curious; the installer ignores it.

#include <cstddef>
#include <string>

class MyHttp {
public:
    enum class Outcome {
        NoHandle,        // nothing was sent
        TransferFailed,  // no answer within the bounds; nothing logged
        Refused,         // answered, but not with "success" 1; logged and flushed
        Accepted,
    };

    // A server that accepts the connection and never answers must not hold
    // the install thread, and with it the finish step, for ever.
    struct Limits {
        long connectTimeoutSeconds = 10;
        long totalTimeoutSeconds = 20;
    };

    // Answers larger than this are not a report's answer; the transfer fails.
    static constexpr size_t kMaxResponseBytes = 1 << 20;

    virtual ~MyHttp() = default;

    Outcome Get(std::string url);
    Outcome Get(std::string url, const Limits& limits);
};

// libcurl's write callback: appends the block to the std::string `response`.
size_t AppendResponse(char* data, size_t size, size_t count, void* response);
