// The command line's arguments and what they ask for. Natively under the
// sanitizers, and under Wine, where the splitting is held against the
// system's own CommandLineToArgvW.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/CommandLine.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

using Args = std::vector<std::wstring>;
using Mode = CommandLineRequest::Mode;

TEST(CommandLineSplit, QuotesSpacesAndBackslashesAsTheRuntimeReadsThem)
{
    // The program, quoted or not, is never among the arguments.
    EXPECT_EQ(SplitCommandLine(L"Install.exe"), Args{});
    EXPECT_EQ(SplitCommandLine(L"\"C:\\My Downloads\\Install.exe\" /S"), Args{L"/S"});
    // A quoted program ends at its closing quote, whatever follows.
    EXPECT_EQ(SplitCommandLine(L"\"C:\\My Downloads\\\"Install.exe /S"), (Args{L"Install.exe", L"/S"}));
    EXPECT_EQ(SplitCommandLine(L"C:\\Downloads\\Install.exe\t/S  /RUN "), (Args{L"/S", L"/RUN"}));

    // A folder with spaces, quoted whole or from the value on.
    EXPECT_EQ(SplitCommandLine(L"Install.exe /S \"/D=C:\\Program Files\\X\" /NAME=Box"),
              (Args{L"/S", L"/D=C:\\Program Files\\X", L"/NAME=Box"}));
    EXPECT_EQ(SplitCommandLine(L"Install.exe /D=\"C:\\Program Files\\X\""), Args{L"/D=C:\\Program Files\\X"});
    // Backslashes stand for themselves unless a quote follows them.
    EXPECT_EQ(SplitCommandLine(L"Install.exe /D=\\\\server\\share\\"), Args{L"/D=\\\\server\\share\\"});
    // Before a quote: two give one and leave the quote closing ...
    EXPECT_EQ(SplitCommandLine(L"Install.exe \"/D=C:\\Program Files\\\\\" /RUN"),
              (Args{L"/D=C:\\Program Files\\", L"/RUN"}));
    // ... one gives a literal quote, and the argument runs on.
    EXPECT_EQ(SplitCommandLine(L"Install.exe \"/D=C:\\Program Files\\\" /RUN"), Args{L"/D=C:\\Program Files\" /RUN"});
    EXPECT_EQ(SplitCommandLine(L"Install.exe a\\\\\\\"b"), Args{L"a\\\"b"});

    // Empty quoted arguments count; Chinese passes through unchanged.
    EXPECT_EQ(SplitCommandLine(L"Install.exe \"\" /S"), (Args{L"", L"/S"}));
    EXPECT_EQ(SplitCommandLine(L"Install.exe \"/NAME=我的 盒子\" /D=D:\\应用"),
              (Args{L"/NAME=我的 盒子", L"/D=D:\\应用"}));
    // An unclosed quote runs to the end.
    EXPECT_EQ(SplitCommandLine(L"Install.exe \"/D=C:\\a b"), Args{L"/D=C:\\a b"});
}

#ifdef _WIN32
TEST(CommandLineSplit, AgreesWithTheSystemsSplitting)
{
    for (const wchar_t* line : {
             L"Install.exe /S /NAME=Box",
             L"\"C:\\My Downloads\\\"Install.exe /S",
             L"  /S",
             L"\"C:\\My Downloads\\Install.exe\" /S \"/D=C:\\Program Files\\X\" /NAME=Box /RUN",
             L"Install.exe /D=\"C:\\Program Files\\X\"",
             L"Install.exe \"/D=C:\\Program Files\\\\\" /RUN",
             L"Install.exe \"/D=C:\\Program Files\\\" /RUN",
             L"Install.exe /D=\\\\server\\share\\ \"\" x",
             L"Install.exe a\\\\\\\"b c\\\\\\\\\"d e\"",
             L"Install.exe\t\"/NAME=我的 盒子\"  /D=D:\\应用 ",
         }) {
        int count = 0;
        wchar_t** system = CommandLineToArgvW(line, &count);
        ASSERT_NE(system, nullptr) << line;
        Args expected(system + 1, system + count);
        LocalFree(system);
        EXPECT_EQ(SplitCommandLine(line), expected) << line;
    }
}
#endif

TEST(CommandLineParse, NothingOpensTheWizardAndQuestionMarkAloneTheUsage)
{
    EXPECT_EQ(ParseArguments({}).mode, Mode::Wizard);
    EXPECT_EQ(ParseCommandLine(L"\"C:\\Downloads\\Install.exe\"  ").mode, Mode::Wizard);
    EXPECT_EQ(ParseArguments({L"/?"}).mode, Mode::Usage);
    // With anything else it is refused rather than half obeyed.
    EXPECT_EQ(ParseArguments({L"/?", L"/S"}).mode, Mode::Refused);
    EXPECT_EQ(ParseArguments({L"/S", L"/NAME=Box", L"/?"}).mode, Mode::Refused);
}

TEST(CommandLineParse, AnUnattendedRequestCarriesTheAcceptedName)
{
    CommandLineRequest request = ParseCommandLine(L"Install.exe /S /NAME=Box");
    EXPECT_EQ(request.mode, Mode::Unattended);
    EXPECT_EQ(request.boxName, L"Box");
    EXPECT_TRUE(request.folder.empty());
    EXPECT_FALSE(request.runAfterInstall);

    request = ParseCommandLine(L"Install.exe /RUN \"/D=C:\\Program Files\\Apps\" \"/NAME=  我的盒子 \" /S");
    EXPECT_EQ(request.mode, Mode::Unattended);
    EXPECT_EQ(request.boxName, L"我的盒子");  // trimmed, as the name window trims
    EXPECT_EQ(request.folder, L"C:\\Program Files\\Apps");
    EXPECT_TRUE(request.runAfterInstall);

    // Switch names in any case; the values as given.
    request = ParseArguments({L"/s", L"/Name=My Box", L"/d=D:\\X", L"/Run"});
    EXPECT_EQ(request.mode, Mode::Unattended);
    EXPECT_EQ(request.boxName, L"My Box");
    EXPECT_EQ(request.folder, L"D:\\X");
    EXPECT_TRUE(request.runAfterInstall);
}

TEST(CommandLineParse, EveryOtherArgumentIsRefusedWithAReason)
{
    struct Case {
        Args arguments;
        const wchar_t* reasonHolds;
    };
    const Case cases[] = {
        // Unknown, misspelt, or a value switch without its '='.
        {{L"/S", L"/NAME=Box", L"/FOO"}, L"unknown argument \"/FOO\""},
        {{L"/S", L"/NAME=Box", L"/SILENT"}, L"unknown argument \"/SILENT\""},
        {{L"/S", L"/NAME", L"Box"}, L"unknown argument \"/NAME\""},
        {{L"/S", L"/NAME=Box", L"/D"}, L"unknown argument \"/D\""},
        {{L"/S", L"/NAME=Box", L""}, L"unknown argument \"\""},
        {{L"/S", L"/NAME=Box", L"Files\\Box"}, L"unknown argument"},
        {{L"-S", L"/NAME=Box"}, L"unknown argument \"-S\""},
        // Anything without /S.
        {{L"/FOO"}, L"unknown argument \"/FOO\""},
        {{L"/NAME=Box"}, L"\"/NAME=Box\" needs /S"},
        {{L"/RUN", L"/NAME=Box"}, L"\"/RUN\" needs /S"},
        // Given twice, even with the same value.
        {{L"/S", L"/NAME=Box", L"/NAME=Box"}, L"given twice: \"/NAME=Box\""},
        {{L"/S", L"/s", L"/NAME=Box"}, L"given twice: \"/s\""},
        {{L"/S", L"/NAME=Box", L"/D=C:\\A", L"/D=C:\\B"}, L"given twice"},
        {{L"/?", L"/?"}, L"given twice"},
        // The name: missing, empty, or against the name window's rules.
        {{L"/S"}, L"/S needs /NAME=<box name>"},
        {{L"/S", L"/RUN", L"/D=C:\\Apps"}, L"/S needs /NAME=<box name>"},
        {{L"/S", L"/NAME="}, L"/S needs /NAME=<box name>"},
        {{L"/S", L"/NAME=   "}, L"the box name \"   \" is not allowed"},
        {{L"/S", L"/NAME=2019"}, L"the box name \"2019\" is not allowed"},
        {{L"/S", L"/NAME=Box!"}, L"is not allowed"},
        {{L"/S", L"/NAME=abcdefghijk"}, L"is not allowed"},
        {{L"/S", L"/NAME=..\\..\\Windows"}, L"is not allowed"},
        // The folder: empty, or one that swallowed its closing quote.
        {{L"/S", L"/NAME=Box", L"/D="}, L"/D= needs a folder"},
        {{L"/S", L"/D=C:\\Program Files\" /NAME=Box"}, L"holds a quote"},
    };
    for (const Case& c : cases) {
        CommandLineRequest request = ParseArguments(c.arguments);
        std::wstring line;
        for (const auto& argument : c.arguments) line += L" [" + argument + L"]";
        EXPECT_EQ(request.mode, Mode::Refused) << std::string(line.begin(), line.end());
        EXPECT_NE(request.refusal.find(c.reasonHolds), std::wstring::npos)
            << std::string(line.begin(), line.end()) << " -> " << std::string(request.refusal.begin(), request.refusal.end());
        EXPECT_TRUE(request.boxName.empty() || request.mode != Mode::Unattended);
    }
}

TEST(CommandLineUsage, NamesEverySwitchAndExitCode)
{
    const std::wstring usage = UsageText();
    for (const wchar_t* piece : {L"/S", L"/NAME=", L"/D=", L"/RUN", L"/?", L"\"/D=C:\\My Apps\"",
                                L"InstallUnattended.txt", L"InstallRotating.txt"})
        EXPECT_NE(usage.find(piece), std::wstring::npos) << std::string(piece, piece + wcslen(piece));
    // Each exit code at the start of a line with its meaning.
    for (int code : {kExitInstalled, kExitBadArguments, kExitPackageFailed, kExitFolderNotMade})
        EXPECT_NE(usage.find(L"\n" + std::to_wstring(code) + L"\t"), std::wstring::npos) << code;
    EXPECT_EQ(kExitInstalled, 0);
    EXPECT_EQ(kExitBadArguments, 1);
    EXPECT_EQ(kExitPackageFailed, 2);
    EXPECT_EQ(kExitFolderNotMade, 3);
}
