#include "services/MyLog.h"

#include <cstdlib>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

// The instance exists before the entry point runs and is deleted at exit.
struct MyLogInstaller {
    MyLogInstaller()
    {
        if (MyLog::s_instance == nullptr) {
            MyLog::s_instance = new MyLog();
            atexit([] {
                delete MyLog::s_instance;
                MyLog::s_instance = nullptr;
            });
        }
    }
};
static MyLogInstaller s_installer;

MyLog::~MyLog() = default;

bool MyLog::Init(const wchar_t* dir)
{
    wchar_t path[MAX_PATH] = {};
    wcsncpy(path, dir, MAX_PATH - 1);
    if (!PathAppendW(path, L"logs")) return false;
    if (!PathFileExistsW(path)) SHCreateDirectory(nullptr, path);
    if (!PathAppendW(path, L"InstallRotating.txt")) return false;
    return InitFile(path);
}

bool MyLog::InitFile(const wchar_t* path)
{
    MyLog* self = Instance();
    if (self == nullptr) return false;

    spdlog::set_level(spdlog::level::debug);
    spdlog::set_pattern("[%Y-%m-%d %H:%M:%S] [%^%L%$] [thread %t] %v", spdlog::pattern_time_type::local);

    try {
        // A second Init in one process would be refused by the registry under
        // the same name; the old logger goes first. spdlog is built with wide
        // file names: the folder may be Chinese on any system code page.
        spdlog::drop(kLoggerName);
        auto logger = spdlog::rotating_logger_mt(kLoggerName, spdlog::filename_t(path), kMaxFileSize, kMaxFiles, false);
        // An error is on disk the moment it is logged: the process that
        // logged it may be ended before it flushes (a user's Task Manager, a
        // deployment tool's time-out), and that line is the one that counts.
        logger->flush_on(spdlog::level::err);
        self->m_logger = logger;
        self->m_initialised = true;
        return true;
    } catch (const std::exception&) {
        // The installation goes on without a log.
        return false;
    }
}

std::shared_ptr<spdlog::logger> MyLog::GetLogger()
{
    MyLog* self = Instance();
    if (self != nullptr && self->m_logger) return self->m_logger;
    static auto silent = std::make_shared<spdlog::logger>("silent");
    return silent;
}

void MyLog::Shutdown()
{
    if (MyLog* self = Instance()) {
        if (self->m_logger) self->m_logger->flush();
        self->m_logger.reset();
        self->m_initialised = false;
    }
    spdlog::drop(kLoggerName);
}

std::string Text936(const char* utf8)
{
    int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (wideLength <= 0) return utf8;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], wideLength);
    return Text936(wide.c_str());
}

std::string Text936(const wchar_t* wide)
{
    int length = WideCharToMultiByte(936, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string out(static_cast<size_t>(length - 1), '\0');
    WideCharToMultiByte(936, 0, wide, -1, &out[0], length, nullptr, nullptr);
    return out;
}
