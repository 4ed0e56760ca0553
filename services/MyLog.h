#pragma once
// The installer's one log: a size-rotated file in <installDir>\logs, opened
// when installation starts. Log sites take a handle, write one line, drop it:
//
//   MyLog::GetLogger()->debug("downloading");
//
// Chinese texts go to the file as code page 936 bytes, the code page of the
// systems this product is for; sources are UTF-8, so such texts pass through
// Text936 first:
//
//   MyLog::GetLogger()->info(fmt::runtime(Text936("打开文件”{}“失败")), path);

#include <memory>
#include <string>

#include <spdlog/logger.h>

#include "services/Singleton.h"

class MyLog : public CSingletonT<MyLog> {
public:
    static constexpr const char* kLoggerName = "some_logger_name";
    static constexpr size_t kMaxFileSize = 10485760;
    static constexpr size_t kMaxFiles = 3;

    ~MyLog() override;

    // Opens (appending) <dir>\logs\InstallRotating.txt, creating the folders.
    // A file that cannot be opened leaves the installer without a log; it
    // never ends the process. Returns whether the file is open.
    static bool Init(const wchar_t* dir);
    // The same for a log file of another name and place, whose folder stands.
    static bool InitFile(const wchar_t* path);

    // Never null: before Init, or when the file could not be opened, the
    // handle is a logger without sinks, so log sites need no checks.
    static std::shared_ptr<spdlog::logger> GetLogger();

    // Test seam: drops the file logger so Init can run again in one process.
    static void Shutdown();

private:
    friend struct MyLogInstaller;
    MyLog() = default;

    std::shared_ptr<spdlog::logger> m_logger;
    bool m_initialised = false;
};

// UTF-8 text to code page 936 bytes (the text unchanged where it has no
// representation there).
std::string Text936(const char* utf8);
// Wide text (a path, a name) in code page 936, "?" for what it cannot show:
// the log's encoding, and the name file's.
std::string Text936(const wchar_t* wide);
