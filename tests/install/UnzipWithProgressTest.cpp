// Extraction of archives the tests make themselves. Also runs natively (no
// Win32 there) under the sanitizers; the file-time checks are Windows only.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "ZipWriter.h"
#include "install/UnzipWithProgress.h"

namespace fs = std::filesystem;

namespace {

using Method = ZipWriter::Method;

// The form the installer hands over: wide on Windows.
PathString PathOf(const fs::path& path)
{
#ifdef _WIN32
    return path.wstring();
#else
    return path.string();
#endif
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> TreeOf(const fs::path& dir)
{
    std::vector<std::string> names;
    for (auto& entry : fs::recursive_directory_iterator(dir))
        names.push_back(fs::relative(entry.path(), dir).generic_string() + (entry.is_directory() ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

struct ExtractTest : ::testing::Test {
    fs::path savedCwd;
    fs::path root;
    fs::path dest;
    fs::path archive;
    std::vector<double> reports;
    int stopAtReport = -1;  // the reporter says "stop" at this report

    void SetUp() override
    {
        savedCwd = fs::current_path();
        static std::atomic<int> counter{0};
        auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        root = fs::temp_directory_path() /
               ("box-unzip-" + std::to_string(static_cast<long long>(tick % 1000000007)) + "-" + std::to_string(++counter));
        dest = root / "dest";
        archive = root / "temp.zip";
        fs::create_directories(dest);
    }

    void TearDown() override
    {
        // The extraction leaves the process in the destination; a directory
        // that is somebody's current one cannot be removed on Windows.
        fs::current_path(savedCwd);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    ExtractProgress Recorder()
    {
        ExtractProgress progress;
        progress.report = [](void* context, double percent) {
            auto* self = static_cast<ExtractTest*>(context);
            if (static_cast<int>(self->reports.size()) == self->stopAtReport) return false;
            self->reports.push_back(percent);
            return true;
        };
        progress.context = this;
        return progress;
    }

    int Extract(const std::string& bytes)
    {
        WriteAll(archive, bytes);
        return UnzipWidthProgress(PathOf(archive).c_str(), PathOf(dest).c_str(), Recorder());
    }
};

}  // namespace

TEST_F(ExtractTest, FoldersFilesAndOverwrite)
{
    ZipWriter zip;
    zip.AddDirectory("bin/");
    zip.AddDirectory("bin/plugins/");
    zip.AddFile("bin/Corvina.exe", "MZ program");
    // No directory entries for these: the folders are made on demand.
    zip.AddFile("res/skins/dark/a.png", PatternBytes(5000), Method::Stored);
    zip.AddFile("res\\win\\style.txt", "backslash separated");
    zip.AddFile("empty.txt", "");
    zip.AddFile("readme.txt", "new text");
    fs::create_directories(dest / "bin");
    WriteAll(dest / "readme.txt", "an older and longer text that must go entirely");

    ASSERT_EQ(Extract(zip.Finish()), kUnzipOk);
    EXPECT_EQ(ReadAll(dest / "bin" / "Corvina.exe"), "MZ program");
    EXPECT_EQ(ReadAll(dest / "res" / "skins" / "dark" / "a.png"), PatternBytes(5000));
    EXPECT_EQ(ReadAll(dest / "readme.txt"), "new text");
    EXPECT_TRUE(fs::is_directory(dest / "bin" / "plugins"));
    EXPECT_TRUE(fs::exists(dest / "empty.txt"));
    EXPECT_EQ(fs::file_size(dest / "empty.txt"), 0u);
#ifdef _WIN32
    EXPECT_EQ(ReadAll(dest / "res" / "win" / "style.txt"), "backslash separated");
#endif
    // The destination stays the current directory.
    EXPECT_TRUE(fs::equivalent(fs::current_path(), dest));
}

TEST_F(ExtractTest, ArchivesWithoutBytesReportNothing)
{
    ZipWriter folders;
    folders.AddDirectory("a/");
    folders.AddDirectory("a/b/");
    folders.AddDirectory("c/d/e/");  // parents missing from the archive
    EXPECT_EQ(Extract(folders.Finish()), kUnzipOk);
    EXPECT_TRUE(fs::is_directory(dest / "a" / "b"));
    EXPECT_TRUE(fs::is_directory(dest / "c" / "d" / "e"));

    EXPECT_TRUE(reports.empty());

    // An archive without entries is its end record alone, at offset 0, where
    // minizip takes it for "not found": it does not open.
    EXPECT_EQ(Extract(ZipWriter().Finish()), kUnzipCannotOpenArchive);
}

TEST_F(ExtractTest, SecondNameWithZipSuffix)
{
    ZipWriter zip;
    zip.AddFile("x.txt", "x");
    WriteAll(root / "package.zip", zip.Finish());
    PathString withoutSuffix = PathOf(root / "package");
    EXPECT_EQ(UnzipWidthProgress(withoutSuffix.c_str(), PathOf(dest).c_str(), Recorder()), kUnzipOk);
    EXPECT_EQ(ReadAll(dest / "x.txt"), "x");
}

TEST_F(ExtractTest, ResultCodes)
{
    PathString missing = PathOf(root / "nothing-here");
    EXPECT_EQ(UnzipWidthProgress(missing.c_str(), PathOf(dest).c_str(), Recorder()), kUnzipCannotOpenArchive);
    EXPECT_EQ(UnzipWidthProgress(nullptr, PathOf(dest).c_str(), Recorder()), kUnzipCannotOpenArchive);
    WriteAll(archive, "PK\3\4 this is no archive");
    EXPECT_EQ(UnzipWidthProgress(PathOf(archive).c_str(), PathOf(dest).c_str(), Recorder()),
              kUnzipCannotOpenArchive);

    // The directory claims one entry more than it holds: the sizes cannot be
    // summed, and nothing is written.
    ZipWriter zip;
    zip.AddFile("a.txt", "a");
    EXPECT_EQ(Extract(zip.Finish(1)), kUnzipCannotSumSizes);
    EXPECT_TRUE(TreeOf(dest).empty());

    std::string goodArchive = zip.Finish();
    WriteAll(archive, goodArchive);
    PathString noSuchDir = PathOf(root / "no" / "such" / "dir");
    EXPECT_EQ(UnzipWidthProgress(PathOf(archive).c_str(), noSuchDir.c_str(), Recorder()),
              kUnzipCannotEnterDirectory);
}

TEST_F(ExtractTest, DamagedEntriesFailTheExtraction)
{
    // A flipped byte in stored data is found by the checksum when the entry
    // is closed; the file stays, the entries after it are not extracted.
    ZipWriter stored;
    stored.AddFile("first.bin", PatternBytes(20000), Method::Stored);
    stored.AddFile("second.txt", "after the damage");
    std::string bytes = stored.Finish();
    bytes[stored.DataOffset(0) + 1234] ^= 0x01;
    ExtractFailure failure;
    ExtractProgress progress = Recorder();
    progress.failure = &failure;
    WriteAll(archive, bytes);
    EXPECT_EQ(UnzipWidthProgress(PathOf(archive).c_str(), PathOf(dest).c_str(), progress), UNZ_CRCERROR);
    EXPECT_TRUE(fs::exists(dest / "first.bin"));
    EXPECT_FALSE(fs::exists(dest / "second.txt"));
    // The log names the damaged entry.
    EXPECT_EQ(failure.entry, "first.bin");
    EXPECT_EQ(failure.reason, "checksum does not match (damaged data)");
    fs::current_path(savedCwd);

    // Damaged deflate data is a read error; zlib's code (-3) must not pass
    // for "cannot enter the directory".
    ZipWriter deflated;
    deflated.AddFile("text.txt", std::string(100000, 'a') + PatternBytes(1000));
    bytes = deflated.Finish();
    for (size_t i = 0; i < 16; ++i) bytes[deflated.DataOffset(0) + i] = static_cast<char>(0xFF);
    failure = ExtractFailure();
    WriteAll(archive, bytes);
    EXPECT_EQ(UnzipWidthProgress(PathOf(archive).c_str(), PathOf(dest).c_str(), progress), kUnzipDataError);
    EXPECT_EQ(failure.entry, "text.txt");
    EXPECT_EQ(failure.reason, "damaged data");
}

TEST_F(ExtractTest, NamesLeadingOutsideAreRefusedBeforeAnythingIsWritten)
{
    const char* hostile[] = {
        "../evil.txt",          "..\\evil.txt",        "a/../../evil.txt",   "a\\..\\..\\evil.txt",
        "a/b/../../../evil.txt", "/abs.txt",           "\\abs.txt",          "C:evil.txt",
        "C:\\evil.txt",         "c:/evil.txt",         "\\\\server\\share\\evil.txt",
        "//server/share/evil.txt", "\\\\?\\C:\\evil.txt", "\\\\.\\C:\\evil.txt", "CON",
        "nul.txt",              "sub/AUX.dat",         "lpt1",               "file.txt:hidden",
        ".. /evil.txt",         "../",                 "..",                 "a/./b.txt",
        "a//b.txt",
    };
    for (const char* name : hostile) {
        ZipWriter zip;
        zip.AddFile("harmless-first.txt", "written only if the check came too late");
        zip.AddDirectory("folder/");
        zip.AddFile(name, "escaped");
        EXPECT_EQ(Extract(zip.Finish()), kUnzipRefusedEntryName) << name;
        EXPECT_TRUE(TreeOf(dest).empty()) << name;
        fs::current_path(savedCwd);
    }
    std::vector<std::string> expected = {"dest/", "temp.zip"};
    EXPECT_EQ(TreeOf(root), expected);
}

TEST_F(ExtractTest, TheArchiveItselfAndTheLogAreNoPlaceForAnEntry)
{
    // The package is extracted from temp.zip in the installation folder, and
    // the log is written in its logs folder while that happens.
    for (const char* name : {"temp.zip", "TEMP.ZIP", "logs/InstallRotating.txt", "Logs\\x.txt", "logs/"}) {
        ZipWriter zip;
        zip.AddFile("harmless-first.txt", "written only if the check came too late");
        if (name[std::strlen(name) - 1] == '/') zip.AddDirectory(name);
        else zip.AddFile(name, "overwrites what the installer is using");
        ExtractFailure failure;
        ExtractProgress progress = Recorder();
        progress.failure = &failure;
        WriteAll(archive, zip.Finish());
        EXPECT_EQ(UnzipWidthProgress(PathOf(archive).c_str(), PathOf(dest).c_str(), progress),
                  kUnzipRefusedEntryName)
            << name;
        EXPECT_EQ(failure.entry, name);
        EXPECT_EQ(failure.reason, "the installer's own temp.zip or logs");
        EXPECT_TRUE(TreeOf(dest).empty()) << name;
        fs::current_path(savedCwd);
    }
}

TEST_F(ExtractTest, DataThatDoNotComeToTheDeclaredSizeFailTheEntry)
{
    struct Case {
        const char* what;
        std::string archive;
    };
    std::vector<Case> cases;
    {
        // Deflated data that end before the declared size: the reader stops
        // early and checks no checksum, so only counting finds it.
        ZipWriter zip;
        zip.AddFile("short.bin", PatternBytes(50000));
        zip.DeclareSize(80000);
        cases.push_back({"deflated, declared larger", zip.Finish()});
    }
    {
        // Deflated data that go on past the declared size: the reader gives
        // the declared bytes only, and the checksum of the whole fails them.
        ZipWriter zip;
        zip.AddFile("long.bin", PatternBytes(80000));
        zip.DeclareSize(50000);
        cases.push_back({"deflated, declared smaller", zip.Finish()});
    }
    {
        // Stored data longer than declared, with a checksum made to match
        // the declared part: a stored entry's sizes must agree.
        ZipWriter zip;
        zip.AddFile("stored.bin", PatternBytes(80000), Method::Stored);
        zip.DeclareSize(50000, true);
        cases.push_back({"stored, declared smaller", zip.Finish()});
    }
    for (const Case& c : cases) {
        ExtractFailure failure;
        ExtractProgress progress = Recorder();
        progress.failure = &failure;
        WriteAll(archive, c.archive);
        int result = UnzipWidthProgress(PathOf(archive).c_str(), PathOf(dest).c_str(), progress);
        EXPECT_TRUE(result == kUnzipSizeMismatch || result == UNZ_CRCERROR) << c.what << ": " << result;
        EXPECT_FALSE(failure.entry.empty()) << c.what;
        fs::current_path(savedCwd);
        for (auto& entry : fs::directory_iterator(dest)) {
            EXPECT_LE(fs::file_size(entry.path()), 50000u) << c.what << ": more than declared was written";
        }
    }
}

TEST_F(ExtractTest, AFileWhereAFolderMustGoFailsTheExtraction)
{
    // "a" as a file, then "a/b.txt": b.txt has nowhere to go.
    ZipWriter fileFirst;
    fileFirst.AddFile("a", "a file");
    fileFirst.AddFile("a/b.txt", "inside");
    fileFirst.AddFile("after.txt", "never reached");
    ExtractFailure failure;
    ExtractProgress progress = Recorder();
    progress.failure = &failure;
    WriteAll(archive, fileFirst.Finish());
    EXPECT_EQ(UnzipWidthProgress(PathOf(archive).c_str(), PathOf(dest).c_str(), progress), kUnzipCannotCreate);
    EXPECT_EQ(failure.entry, "a/b.txt");
    EXPECT_FALSE(fs::exists(dest / "after.txt"));
    fs::current_path(savedCwd);

    // A folder entry where the installation already has a file of that name.
    fs::remove_all(dest);
    fs::create_directories(dest);
    WriteAll(dest / "data", "an earlier file");
    ZipWriter folderOnFile;
    folderOnFile.AddDirectory("data/");
    folderOnFile.AddFile("data/x.txt", "x");
    EXPECT_EQ(Extract(folderOnFile.Finish()), kUnzipCannotCreate);
    fs::current_path(savedCwd);
    EXPECT_EQ(ReadAll(dest / "data"), "an earlier file");
}

TEST_F(ExtractTest, NamesAreDecodedAsTheirEntrySays)
{
    // "文档/说明.txt" as current zip tools store it (UTF-8, flag bit 11), and
    // "中文.txt" as older packages do (code page 936 bytes, no flag).
    const std::string utf8Name = "\xE6\x96\x87\xE6\xA1\xA3/\xE8\xAF\xB4\xE6\x98\x8E.txt";
    const std::string cp936Name = "\xD6\xD0\xCE\xC4.txt";
    ZipWriter zip;
    zip.AddFile(utf8Name, "flagged", Method::Deflated, ZipWriter::kDefaultDosTime, true);
    zip.AddFile(cp936Name, "unflagged");
    ASSERT_EQ(Extract(zip.Finish()), kUnzipOk);
#ifdef _WIN32
    EXPECT_EQ(DecodeEntryName(utf8Name, true), L"文档/说明.txt");
    EXPECT_EQ(ReadAll(dest / L"文档" / L"说明.txt"), "flagged");
    // Without the flag: the system's ANSI code page, as packages expect.
    std::wstring ansi;
    if (GetACP() == 936) {
        ansi = L"中文.txt";
    } else {
        wchar_t decoded[32] = {};
        MultiByteToWideChar(CP_ACP, 0, cp936Name.data(), static_cast<int>(cp936Name.size()), decoded, 32);
        ansi = decoded;
    }
    EXPECT_EQ(DecodeEntryName(cp936Name, false), ansi);
    EXPECT_EQ(ReadAll(dest / ansi), "unflagged");
#else
    EXPECT_EQ(ReadAll(dest / utf8Name), "flagged");
    EXPECT_EQ(ReadAll(dest / cp936Name), "unflagged");
#endif
}

TEST_F(ExtractTest, DecodedNamesAreCheckedAsDecoded)
{
    // A flagged name whose UTF-8 decodes to a way out; and a full-width
    // solidus, which is no separator and stays a plain character.
    ZipWriter out;
    out.AddFile("harmless-first.txt", "written only if the check came too late");
    out.AddFile("a/../../\xE6\x96\x87.txt", "escaped", Method::Deflated, ZipWriter::kDefaultDosTime, true);
    EXPECT_EQ(Extract(out.Finish()), kUnzipRefusedEntryName);
    EXPECT_TRUE(TreeOf(dest).empty());
    fs::current_path(savedCwd);
    ZipWriter fullWidth;
    fullWidth.AddFile("a\xEF\xBC\x8F..", "one name", Method::Deflated, ZipWriter::kDefaultDosTime, true);
    EXPECT_EQ(Extract(fullWidth.Finish()), kUnzipOk);
}

TEST_F(ExtractTest, LongNamesAreRefusedNotCut)
{
    // 255 bytes is the longest name the 256-byte buffer holds with its end.
    std::string folder(120, 'd');
    std::string longest = folder + "/" + std::string(255 - folder.size() - 1, 'f');
    ASSERT_EQ(longest.size(), 255u);
    ZipWriter fits;
    fits.AddFile(longest, "fits");
    EXPECT_EQ(Extract(fits.Finish()), kUnzipOk);
    EXPECT_EQ(ReadAll(dest / folder / std::string(255 - folder.size() - 1, 'f')), "fits");

    for (size_t length : {256u, 300u, 4000u}) {
        ZipWriter tooLong;
        tooLong.AddFile(folder + "/" + std::string(length - folder.size() - 1, 'g'), "cut");
        EXPECT_EQ(Extract(tooLong.Finish()), kUnzipRefusedEntryName) << length;
        fs::current_path(savedCwd);
    }
    EXPECT_EQ(TreeOf(dest).size(), 2u);  // the folder and the 255-byte file
}

TEST_F(ExtractTest, ProgressOncePerMebibyteThenHundred)
{
    // Under a mebibyte in all: the only reports are 100, from the block that
    // reaches the total onwards.
    ZipWriter small;
    small.AddFile("a.bin", PatternBytes(300000), Method::Stored);
    small.AddFile("b.bin", PatternBytes(300000, 2));
    ASSERT_EQ(Extract(small.Finish()), kUnzipOk);
    EXPECT_EQ(reports, std::vector<double>{100.0});

    // About 5.3 MiB over three entries: a report each time more than a
    // mebibyte has been written since the last one, the share of all bytes.
    reports.clear();
    fs::current_path(savedCwd);
    const size_t sizes[] = {2500000, 1200000, 1900000};
    const double total = 2500000 + 1200000 + 1900000;
    ZipWriter large;
    large.AddFile("1.bin", PatternBytes(sizes[0], 3));
    large.AddFile("2.bin", PatternBytes(sizes[1], 4), Method::Stored);
    large.AddFile("3.bin", std::string(sizes[2], 'z'));
    ASSERT_EQ(Extract(large.Finish()), kUnzipOk);
    ASSERT_GE(reports.size(), 5u);
    EXPECT_EQ(reports.back(), 100.0);
    double previous = 0;
    for (size_t i = 0; i + 1 < reports.size(); ++i) {
        double spacing = (reports[i] - previous) / 100.0 * total;
        EXPECT_GT(spacing, 1048576.0) << i;
        EXPECT_LT(spacing, 1048576.0 + 8192 + 1) << i;  // not later than the block that crosses the mark
        previous = reports[i];
    }
    EXPECT_EQ(static_cast<size_t>(total / (1048576.0 + 1)), reports.size() - 1);
}

TEST_F(ExtractTest, CancelStopsAtTheNextReportAndReleasesTheArchive)
{
    ZipWriter zip;
    zip.AddFile("1.bin", PatternBytes(3000000), Method::Stored);
    zip.AddFile("2.bin", "never reached");
    stopAtReport = 1;
    EXPECT_EQ(Extract(zip.Finish()), kUnzipCancelled);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_FALSE(fs::exists(dest / "2.bin"));
    // Every handle on the package is closed: it can go at once.
    fs::current_path(savedCwd);
    EXPECT_TRUE(fs::remove(archive));
    EXPECT_TRUE(fs::remove(dest / "1.bin"));
}

#ifdef _WIN32
namespace {

FILETIME TimeOf(int year, int month, int day, int hour, int minute, int second)
{
    SYSTEMTIME local = {};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    local.wHour = static_cast<WORD>(hour);
    local.wMinute = static_cast<WORD>(minute);
    local.wSecond = static_cast<WORD>(second);
    FILETIME localTime, utc;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    return utc;
}

uint64_t Ticks(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

}  // namespace

TEST_F(ExtractTest, FileTimesComeFromTheArchiveAsLocalTime)
{
    ZipWriter zip;
    zip.AddFile("dated.txt", "dated");
    // 1999-12-31 23:59:58
    zip.AddFile("old.txt", "old", Method::Stored, (19u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u);
    FILETIME before;
    GetSystemTimeAsFileTime(&before);
    ASSERT_EQ(Extract(zip.Finish()), kUnzipOk);

    struct Expectation {
        const wchar_t* name;
        FILETIME stored;
    } expectations[] = {{L"dated.txt", TimeOf(2001, 2, 3, 4, 5, 6)}, {L"old.txt", TimeOf(1999, 12, 31, 23, 59, 58)}};
    for (auto& e : expectations) {
        HANDLE file = CreateFileW((dest / e.name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME created, accessed, modified;
        GetFileTime(file, &created, &accessed, &modified);
        CloseHandle(file);
        EXPECT_EQ(Ticks(created), Ticks(e.stored));
        EXPECT_EQ(Ticks(modified), Ticks(e.stored));
        // Last access is what writing the file left: now, not the archive's time.
        EXPECT_GE(Ticks(accessed) + 20000000ull, Ticks(before));
    }
}
#endif
