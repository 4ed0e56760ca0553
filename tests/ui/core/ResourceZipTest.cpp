#include <gtest/gtest.h>
#include <minizip/unzip.h>

#include <string>
#include <vector>

#include "support/TestZip.h"
#include "ui/core/ResourceZip.h"

using namespace SkinUI;
using testing_support::TestZip;

namespace {

std::vector<unsigned char> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Reads `name` from a zip of `bytes` and gives the result with what was read.
std::pair<ResourceReadResult, std::string> Read(const std::vector<unsigned char>& bytes, const char* name,
                                                size_t maxBytes = 1024)
{
    void* zip = OpenZipInMemory(bytes);
    if (zip == nullptr) return {ResourceReadResult::ZipOpenFailed, ""};
    std::vector<unsigned char> read = {'x'};  // whatever was there must go
    ResourceReadResult result = ReadZipEntry(zip, name, maxBytes, read);
    unzClose(zip);
    return {result, std::string(read.begin(), read.end())};
}

}  // namespace

TEST(ResourceZip, EntriesByNameWithinTheLimit)
{
    TestZip zip;
    zip.Add("Skins/Main.xml", "<Window/>");
    zip.Add("empty.xml", "");
    zip.Add("damaged.xml", "<Window/>", true);
    zip.Add("ten.bin", "0123456789");
    const std::vector<unsigned char> bytes = Bytes(zip.Bytes());

    using Result = std::pair<ResourceReadResult, std::string>;
    EXPECT_EQ(Read(bytes, "skins/MAIN.XML"), Result(ResourceReadResult::Ok, "<Window/>"));
    EXPECT_EQ(Read(bytes, "Skins/Main"), Result(ResourceReadResult::ZipEntryMissing, ""));
    EXPECT_EQ(Read(bytes, "empty.xml"), Result(ResourceReadResult::Empty, ""));
    // A damaged entry must not pass as a skin with garbage in it.
    EXPECT_EQ(Read(bytes, "damaged.xml"), Result(ResourceReadResult::UnzipFailed, ""));
    EXPECT_EQ(Read(bytes, "ten.bin", 10), Result(ResourceReadResult::Ok, "0123456789"));
    EXPECT_EQ(Read(bytes, "ten.bin", 9), Result(ResourceReadResult::TooLarge, ""));
}

TEST(ResourceZip, BytesThatHoldNoWholeZip)
{
    TestZip zip;
    zip.Add("a.xml", "<Window/>");
    const std::string whole = zip.Bytes();

    EXPECT_EQ(Read({}, "a.xml").first, ResourceReadResult::ZipOpenFailed);
    EXPECT_EQ(Read(Bytes("<Window/>"), "a.xml").first, ResourceReadResult::ZipOpenFailed);
    // The directory sends the entry to a local header past the end.
    std::string far = whole;
    const size_t directory = 30 + 5 + 9;  // one local header, "a.xml", nine bytes
    far[directory + 43] = static_cast<char>(0x10);
    EXPECT_EQ(Read(Bytes(far), "a.xml").first, ResourceReadResult::UnzipFailed);
    // Cut before the end record: there is no directory to find the entry by.
    EXPECT_EQ(Read(Bytes(whole.substr(0, whole.size() - 22)), "a.xml").first, ResourceReadResult::ZipOpenFailed);
}
