// Writes the zip seeds of the archive and skin-zip fuzz targets with the
// extraction tests' own zip writer: the packages those tests make, the
// hostile names they refuse, damaged archives, and the skins zipped.
//
//   cmake --build build/host --target make_zip_seeds
//   build/host/fuzz-tools/make_zip_seeds . tests/fuzz/corpus
//
// The output is committed; run this again only to change the seeds.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ZipWriter.h"

namespace fs = std::filesystem;
using Method = ZipWriter::Method;

namespace {

fs::path g_out;

void Write(const char* target, const std::string& name, const std::string& bytes)
{
    fs::create_directories(g_out / target);
    std::ofstream out(g_out / target / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ArchiveSeeds()
{
    const char* target = "fuzz_zip_archive";
    ZipWriter package;
    package.AddDirectory("bin/");
    package.AddDirectory("bin/plugins/");
    package.AddFile("bin/Corvina.exe", "MZ program");
    package.AddFile("res/skins/dark/a.png", PatternBytes(300), Method::Stored);
    package.AddFile("res\\win\\style.txt", "backslash separated");
    package.AddFile("empty.txt", "");
    package.AddFile("readme.txt", "new text");
    Write(target, "package.zip", package.Finish());

    ZipWriter folders;
    folders.AddDirectory("a/");
    folders.AddDirectory("a/b/");
    folders.AddDirectory("c/d/e/");
    Write(target, "folders.zip", folders.Finish());

    ZipWriter claimsMore;
    claimsMore.AddFile("a.txt", "a");
    Write(target, "claims-more-entries.zip", claimsMore.Finish(1));

    ZipWriter stored;
    stored.AddFile("first.bin", PatternBytes(600), Method::Stored);
    stored.AddFile("second.txt", "after the damage");
    std::string bytes = stored.Finish();
    bytes[stored.DataOffset(0) + 123] ^= 0x01;
    Write(target, "damaged-stored.zip", bytes);

    ZipWriter deflated;
    deflated.AddFile("text.txt", std::string(3000, 'a') + PatternBytes(100));
    bytes = deflated.Finish();
    for (size_t i = 0; i < 16; ++i) bytes[deflated.DataOffset(0) + i] = static_cast<char>(0xFF);
    Write(target, "damaged-deflate.zip", bytes);

    const char* hostile[] = {
        "../evil.txt",          "..\\evil.txt",        "a/../../evil.txt",   "a\\..\\..\\evil.txt",
        "a/b/../../../evil.txt", "/abs.txt",           "\\abs.txt",          "C:evil.txt",
        "C:\\evil.txt",         "c:/evil.txt",         "\\\\server\\share\\evil.txt",
        "//server/share/evil.txt", "\\\\?\\C:\\evil.txt", "\\\\.\\C:\\evil.txt", "CON",
        "nul.txt",              "sub/AUX.dat",         "lpt1",               "file.txt:hidden",
        ".. /evil.txt",         "../",                 "..",                 "a/./b.txt",
        "a//b.txt",
    };
    int index = 0;
    for (const char* name : hostile) {
        ZipWriter zip;
        zip.AddFile("harmless-first.txt", "written only if the check came too late");
        zip.AddDirectory("folder/");
        zip.AddFile(name, "escaped");
        char file[32];
        snprintf(file, sizeof file, "hostile-%02d.zip", index++);
        Write(target, file, zip.Finish());
    }

    std::string folder(120, 'd');
    ZipWriter fits;
    fits.AddFile(folder + "/" + std::string(255 - folder.size() - 1, 'f'), "fits");
    Write(target, "name-255-bytes.zip", fits.Finish());
    ZipWriter tooLong;
    tooLong.AddFile(folder + "/" + std::string(256 - folder.size() - 1, 'g'), "cut");
    Write(target, "name-256-bytes.zip", tooLong.Finish());
}

void SkinZipSeeds(const fs::path& root)
{
    const char* target = "fuzz_skin_zip";
    const char* skins[] = {"setup_139.xml", "about_132.xml", "prompt_163.xml", "setname_177.xml"};
    ZipWriter all;
    for (const char* skin : skins) {
        std::string text = ReadAll(root / "skin" / "xml" / skin);
        all.AddFile(skin, text);
        ZipWriter one;
        one.AddFile(skin, text, Method::Stored);
        Write(target, std::string("stored-") + skin + ".zip", one.Finish());
    }
    Write(target, "skins.zip", all.Finish());

    // The framework test's ZIPRES skin, and one whose checksum is wrong.
    std::string zipped = ReadAll(root / "tests" / "ui" / "core_window" / "data" / "zipped.xml");
    ZipWriter test;
    test.AddFile("zipped.xml", zipped);
    Write(target, "zipped.zip", test.Finish());
    ZipWriter damaged;
    damaged.AddFile("SETUP_139.XML", zipped, Method::Stored);
    std::string bytes = damaged.Finish();
    bytes[damaged.DataOffset(0) + 3] ^= 0x20;
    Write(target, "damaged-upper-case.zip", bytes);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s SOURCE_ROOT CORPUS_DIR\n", argv[0]);
        return 2;
    }
    g_out = argv[2];
    ArchiveSeeds();
    SkinZipSeeds(argv[1]);
    return 0;
}
