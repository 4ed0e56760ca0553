#include <gtest/gtest.h>

#include <string>

#include "install/ZipEntryName.h"

using P = EntryNameProblem;

TEST(ZipEntryName, OrdinaryNamesPass)
{
    const char* fine[] = {
        "Corvina.exe", "bin/", "bin/plugins/x.dll", "res\\skins\\a.png", "a.b/c..d/e.f.g", "...hidden",
        ".config/x", "dir with spaces/file name.txt", "con-fig.txt", "console.log", "COM10", "lpt", "auxiliary/x",
        "\xD6\xD0\xCE\xC4/\xCE\xC4\xBC\xFE.txt",  // 中文/文件.txt in code page 936
        "a/b/c/d/e/f/g/h/",
        "bin/temp.zip", "bin/logs/x", "temp.zip2", "logs2/x", "mylogs",
    };
    for (const char* name : fine) EXPECT_EQ(CheckEntryName(name), P::None) << name;
}

TEST(ZipEntryName, EveryWayOutIsRefused)
{
    struct Case {
        std::string name;
        P problem;
    } cases[] = {
        {"", P::Empty},
        {"..", P::DotComponent},
        {"../x", P::DotComponent},
        {"..\\x", P::DotComponent},
        {"a/../../x", P::DotComponent},
        {"a\\b\\..\\..\\..\\x", P::DotComponent},
        {"a/..", P::DotComponent},
        {"../", P::DotComponent},
        // Windows drops trailing dots and spaces, so these are ".." too.
        {".. /x", P::DotComponent},
        {"... /x", P::DotComponent},
        {"a/.../x", P::DotComponent},
        {"./x", P::DotComponent},
        {"/etc/passwd", P::Absolute},
        // The package being read and the log being written.
        {"temp.zip", P::Reserved},
        {"TEMP.ZIP", P::Reserved},
        {"temp.zip.", P::Reserved},
        {"temp.zip/x", P::Reserved},
        {"logs/InstallRotating.txt", P::Reserved},
        {"Logs\\x", P::Reserved},
        {"logs/", P::Reserved},
        {"logs", P::Reserved},
        {"\\Windows\\x.dll", P::Absolute},
        {"\\\\server\\share\\x", P::Absolute},
        {"//server/share/x", P::Absolute},
        {"\\\\?\\C:\\x", P::Absolute},
        {"\\\\.\\PhysicalDrive0", P::Absolute},
        {"C:x", P::DriveOrStream},
        {"C:\\x", P::DriveOrStream},
        {"c:/x", P::DriveOrStream},
        {"dir/file.txt:stream", P::DriveOrStream},
        {"file::$DATA", P::DriveOrStream},
        {"a//b", P::EmptyComponent},
        {"a\\/b", P::EmptyComponent},
        {"CON", P::DeviceName},
        {"con.txt", P::DeviceName},
        {"NUL .txt", P::DeviceName},
        {"dir/aux", P::DeviceName},
        {"dir/Prn.log/x", P::DeviceName},
        {"COM1", P::DeviceName},
        {"lpt9.dat", P::DeviceName},
        {"COM\xB9", P::DeviceName},
        {"CONIN$", P::DeviceName},
        {"conout$.txt", P::DeviceName},
        {std::string("a\0/../../x", 10), P::EmbeddedNul},
        {std::string(255, 'n'), P::None},
        {std::string(256, 'n'), P::TooLong},
        {std::string(70000, '.'), P::TooLong},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckEntryName(c.name), c.problem) << c.name;
        // The decoded form of the same name meets the same rules: bytes
        // taken as Latin-1 (the superscript of "COM\xB9" is U+00B9 there).
        std::wstring wide;
        for (char ch : c.name) wide += static_cast<wchar_t>(static_cast<unsigned char>(ch));
        EXPECT_EQ(CheckEntryName(std::wstring_view(wide)), c.problem) << c.name;
    }
}

TEST(ZipEntryName, DecodedChineseNamesMeetTheSameRules)
{
    EXPECT_EQ(CheckEntryName(std::wstring_view(L"文档/说明.txt")), P::None);
    EXPECT_EQ(CheckEntryName(std::wstring_view(L"我的盒子/")), P::None);
    EXPECT_EQ(CheckEntryName(std::wstring_view(L"文档/../../x")), P::DotComponent);
    EXPECT_EQ(CheckEntryName(std::wstring_view(L"文档\\CON.txt")), P::DeviceName);
    EXPECT_EQ(CheckEntryName(std::wstring_view(L"盒子：x")), P::None) << "a full-width colon is an ordinary character";
    EXPECT_EQ(CheckEntryName(std::wstring_view(L"盒子:x")), P::DriveOrStream);
    // What was a trail byte 0x5C in code page 936 is gone once decoded: the
    // wide check sees the character Windows sees.
    EXPECT_EQ(CheckEntryName(std::wstring_view(L"\u80FD..")), P::None);
}

TEST(ZipEntryName, TrailBytesThatLookLikeSeparatorsOnlyMakeTheCheckStricter)
{
    // 0x81 0x5C is one character in code page 936; read as "\x81" + "\" +
    // "..", it is refused although Windows would see a plain name.
    EXPECT_EQ(CheckEntryName("\x81\x5C.."), P::DotComponent);
    EXPECT_EQ(CheckEntryName("\x81\x5Cx"), P::None);
}

TEST(ZipEntryName, FolderEntriesAndTheLevelsMadeForThem)
{
    EXPECT_EQ(EntryFileNamePart("bin/plugins/x.dll"), 12u);
    EXPECT_EQ(EntryFileNamePart("res\\win/style.txt"), 8u);
    EXPECT_EQ(EntryFileNamePart("readme.txt"), 0u);
    EXPECT_EQ(EntryFileNamePart("bin/plugins/"), 12u) << "a folder entry: nothing after the separator";
    EXPECT_EQ(EntryFileNamePart(std::wstring_view(L"文档\\说明.txt")), 3u);

    // Levels end at each separator after the first character, the last at
    // the end of the path.
    auto levels = [](std::string_view path) {
        std::string out;
        for (size_t end = NextFolderLevelEnd(path, 0);; end = NextFolderLevelEnd(path, end)) {
            out += std::string(path.substr(0, end)) + "|";
            if (end == path.size()) break;
        }
        return out;
    };
    EXPECT_EQ(levels("a"), "a|");
    EXPECT_EQ(levels("a/b\\c"), "a|a/b|a/b\\c|");
    EXPECT_EQ(levels("ab/cd/"), "ab|ab/cd|ab/cd/|");
    EXPECT_EQ(levels("/a"), "/a|") << "a separator in front starts no level";
    EXPECT_EQ(levels(""), "|");
    EXPECT_EQ(NextFolderLevelEnd(std::wstring_view(L"文档/说明"), 0), 2u);
}
