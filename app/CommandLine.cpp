#include "app/CommandLine.h"

#include "windows/BoxName.h"

namespace {

bool IsBlank(wchar_t ch) { return ch == L' ' || ch == L'\t'; }

wchar_t FoldAscii(wchar_t ch) { return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch; }

// `argument` starts with `prefix` (lower case), ASCII letters compared
// without regard to case.
bool StartsWithSwitch(const std::wstring& argument, const wchar_t* prefix)
{
    size_t i = 0;
    for (; prefix[i] != L'\0'; ++i) {
        if (i >= argument.size() || FoldAscii(argument[i]) != prefix[i]) return false;
    }
    return true;
}

bool IsSwitch(const std::wstring& argument, const wchar_t* name)
{
    return StartsWithSwitch(argument, name) && argument.size() == std::char_traits<wchar_t>::length(name);
}

CommandLineRequest Refuse(const std::wstring& why)
{
    CommandLineRequest request;
    request.mode = CommandLineRequest::Mode::Refused;
    request.refusal = why;
    return request;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine)
{
    std::vector<std::wstring> arguments;
    size_t i = 0;
    const size_t size = commandLine.size();
    // The program: up to its closing quote when quoted, else up to white
    // space, with no escapes (a path holds no quotes, and may end in '\').
    if (i < size && commandLine[i] == L'"') {
        size_t close = commandLine.find(L'"', 1);
        i = close == std::wstring::npos ? size : close + 1;
    } else {
        while (i < size && !IsBlank(commandLine[i])) ++i;
    }

    for (;;) {
        while (i < size && IsBlank(commandLine[i])) ++i;
        if (i >= size) break;
        std::wstring argument;
        bool quoted = false;
        while (i < size && (quoted || !IsBlank(commandLine[i]))) {
            if (commandLine[i] == L'\\') {
                size_t backslashes = 0;
                while (i < size && commandLine[i] == L'\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < size && commandLine[i] == L'"') {
                    argument.append(backslashes / 2, L'\\');
                    if (backslashes % 2 == 1) {
                        argument += L'"';
                        ++i;
                    }
                    // An even count leaves the quote to open or close quoting.
                } else {
                    argument.append(backslashes, L'\\');
                }
            } else if (commandLine[i] == L'"') {
                if (quoted && i + 1 < size && commandLine[i + 1] == L'"') {
                    argument += L'"';  // "" within quotes: one literal quote
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                argument += commandLine[i++];
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

CommandLineRequest ParseArguments(const std::vector<std::wstring>& arguments)
{
    CommandLineRequest request;
    if (arguments.empty()) return request;

    bool unattended = false, usage = false, named = false, folder = false, run = false;
    std::wstring name;
    for (const std::wstring& argument : arguments) {
        bool* seen = nullptr;
        if (argument == L"/?") {
            seen = &usage;
        } else if (IsSwitch(argument, L"/s")) {
            seen = &unattended;
        } else if (IsSwitch(argument, L"/run")) {
            seen = &run;
        } else if (StartsWithSwitch(argument, L"/name=")) {
            seen = &named;
            name = argument.substr(6);
        } else if (StartsWithSwitch(argument, L"/d=")) {
            seen = &folder;
            request.folder = argument.substr(3);
        } else {
            return Refuse(L"unknown argument \"" + argument + L"\" (Install.exe /? shows the usage)");
        }
        if (*seen) return Refuse(L"argument given twice: \"" + argument + L"\"");
        *seen = true;
    }

    if (usage) {
        if (arguments.size() > 1) return Refuse(L"/? takes no other arguments");
        request.mode = CommandLineRequest::Mode::Usage;
        return request;
    }
    // Without /S the wizard would open and ask anyway: a deployment that
    // forgot /S must fail at once rather than wait for a click on every
    // machine.
    if (!unattended) return Refuse(L"\"" + arguments.front() + L"\" needs /S (Install.exe /? shows the usage)");
    if (folder && request.folder.empty()) return Refuse(L"/D= needs a folder");
    if (request.folder.find(L'"') != std::wstring::npos) {
        // No folder holds a quote: this one swallowed its closing quote, and
        // perhaps the arguments after it (first, as /NAME may be among them).
        return Refuse(L"the folder \"" + request.folder +
                      L"\" holds a quote: a quoted folder that ends in a backslash needs it doubled "
                      L"(\"/D=C:\\Apps\\\\\")");
    }
    if (!named || name.empty()) return Refuse(L"/S needs /NAME=<box name>");
    // The name window's rules, so both ways give the same names.
    request.boxName = TrimBoxName(name);
    if (!IsValidBoxName(request.boxName)) {
        return Refuse(L"the box name \"" + name +
                      L"\" is not allowed: 1 to 10 Chinese characters, letters, digits or spaces, not digits only");
    }
    request.mode = CommandLineRequest::Mode::Unattended;
    request.runAfterInstall = run;
    return request;
}

CommandLineRequest ParseCommandLine(const std::wstring& commandLine)
{
    return ParseArguments(SplitCommandLine(commandLine));
}

std::wstring UsageText()
{
    // One switch a paragraph: a message box's tab stops are too narrow to
    // line up descriptions after switches of such different widths.
    return L"Install.exe [/S /NAME=名称 [/D=文件夹] [/RUN]]\n"
           L"\n"
           L"不带参数：打开安装向导。\n"
           L"\n"
           L"/S：无人值守安装，不显示任何窗口，结果见退出代码。\n"
           L"/NAME=名称：盒子的名称，/S 时必须给出。规则与安装向导相同："
           L"1 到 10 个汉字、字母、数字或空格，不能全是数字。\n"
           L"/D=文件夹：安装到此文件夹下以名称命名的文件夹，与在向导中选择文件夹相同；"
           L"不给出时为 C:\\Program Files\\名称。含空格时给整个参数加引号：\"/D=C:\\My Apps\"。\n"
           L"/RUN：安装完成后启动程序；不给出时不启动。\n"
           L"/?：显示本说明。\n"
           L"\n"
           L"退出代码：\n"
           L"0\t安装完成\n"
           L"1\t参数或名称无效（未安装任何内容）\n"
           L"2\t下载或解压在重试后仍然失败\n"
           L"3\t无法创建安装文件夹（未安装任何内容）\n"
           L"\n"
           L"安装日志：安装文件夹\\logs\\InstallRotating.txt；"
           L"参数无效或无法创建文件夹时：%TEMP%\\InstallUnattended.txt。";
}
