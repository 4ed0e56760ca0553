#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/TestSupport.h"
#include "support/TestZip.h"
#include "ui/core/ResourceSettings.h"
#include "ui/markup/XmlMarkup.h"

using SkinUI::CResourceSettings;
using SkinUI::CXmlMarkup;
using testing_support::TempDir;
using testing_support::TestZip;

namespace {

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

// A document of exactly `size` bytes.
std::string SkinOfSize(size_t size)
{
    std::string text = "<a>";
    text += std::string(size - 7, 'x');
    text += "</a>";
    return text;
}

class MarkupFiles : public ::testing::Test {
protected:
    void SetUp() override { CResourceSettings::SetResourcePath(m_dir.Path().c_str()); }
    void TearDown() override
    {
        CResourceSettings::CloseResourceZip();
        CResourceSettings::SetResourcePath(L"");
    }

    std::wstring Load(const wchar_t* name)
    {
        CXmlMarkup markup;
        if (markup.ParseFile(name)) return std::wstring(L"ok ") + markup.RootNode().ElementName();
        EXPECT_STREQ(markup.LastErrorExcerpt(), L"") << name;
        return markup.LastErrorMessage();
    }

    TempDir m_dir{L"markup"};
};

}  // namespace

TEST_F(MarkupFiles, LooseFilesUnderTheResourcePathAndTheirLimits)
{
    EXPECT_EQ(CResourceSettings::GetResourcePath(), (m_dir.Path() + L"\\").c_str());
    WriteBytes(m_dir / L"skin.xml", "\xEF\xBB\xBF<Window size=\"1,2\"/>");
    WriteBytes(m_dir / L"empty.xml", "");
    WriteBytes(m_dir / L"limit.xml", SkinOfSize(CXmlMarkup::kMaxFileBytes));
    WriteBytes(m_dir / L"over.xml", SkinOfSize(CXmlMarkup::kMaxFileBytes + 1));

    EXPECT_EQ(Load(L"skin.xml"), L"ok Window");
    EXPECT_EQ(Load(L"missing.xml"), L"Error opening file");
    EXPECT_EQ(Load(L"empty.xml"), L"File is empty");
    EXPECT_EQ(Load(L"limit.xml"), L"ok a");
    EXPECT_EQ(Load(L"over.xml"), L"File too large");
}

TEST_F(MarkupFiles, EntriesOfTheResourceZip)
{
    TestZip zip;
    zip.Add("Skins/Main.xml", "<Window/>");
    zip.Add("empty.xml", "");
    zip.Add("damaged.xml", "<Window/>", true);
    zip.Add("over.xml", SkinOfSize(CXmlMarkup::kMaxFileBytes + 1));
    zip.Add("limit.xml", SkinOfSize(CXmlMarkup::kMaxFileBytes));
    WriteBytes(m_dir / L"skin.zip", zip.Bytes());
    // A loose file of the same name must not be read while a zip is set.
    WriteBytes(m_dir / L"loose.xml", "<Loose/>");

    for (bool cached : {false, true}) {
        CResourceSettings::SetResourceZip(L"skin.zip", cached);
        EXPECT_EQ(CResourceSettings::GetResourceZipHandle() != nullptr, cached);
        EXPECT_EQ(Load(L"skins/MAIN.xml"), L"ok Window") << cached;  // names match without case
        EXPECT_EQ(Load(L"Skins/Main.xml"), L"ok Window") << cached;
        EXPECT_EQ(Load(L"limit.xml"), L"ok a") << cached;
        EXPECT_EQ(Load(L"loose.xml"), L"Could not find ziped file") << cached;
        EXPECT_EQ(Load(L"empty.xml"), L"File is empty") << cached;
        EXPECT_EQ(Load(L"over.xml"), L"File too large") << cached;
        EXPECT_EQ(Load(L"damaged.xml"), L"Could not unzip file") << cached;
        EXPECT_EQ(Load(L"Skins/Main.xml"), L"ok Window") << cached;  // still usable after failures
    }

    CResourceSettings::SetResourceZip(L"absent.zip", false);
    EXPECT_EQ(Load(L"Skins/Main.xml"), L"Error opening zip file");
    CResourceSettings::SetResourceZip(L"absent.zip", true);
    EXPECT_EQ(Load(L"Skins/Main.xml"), L"Error opening zip file");
    CResourceSettings::SetResourceZip(L"", false);
    EXPECT_EQ(Load(L"loose.xml"), L"ok Loose");
}

TEST_F(MarkupFiles, ZipFromMemoryIsCopiedAndKeptOpen)
{
    TestZip zip;
    zip.Add("main.xml", "<Window/>");
    std::string bytes = zip.Bytes();
    ASSERT_TRUE(CResourceSettings::SetResourceZip(bytes.data(), bytes.size()));
    bytes.assign(bytes.size(), '\0');  // the settings hold their own copy
    EXPECT_EQ(CResourceSettings::GetResourceZip(), L"membuffer");
    EXPECT_TRUE(CResourceSettings::IsResourceZipCached());
    EXPECT_EQ(Load(L"main.xml"), L"ok Window");
    EXPECT_EQ(Load(L"MAIN.XML"), L"ok Window");
    EXPECT_EQ(Load(L"other.xml"), L"Could not find ziped file");

    EXPECT_FALSE(CResourceSettings::SetResourceZip("not a zip", 9));
    EXPECT_TRUE(CResourceSettings::GetResourceZip().IsEmpty());
}

TEST(MarkupCodePage, AnsiTextUsesTheActiveCodePage)
{
    if (GetACP() != 936) GTEST_SKIP() << "needs code page 936 (LC_ALL=zh_CN.UTF-8 under Wine)";
    const char gbk[] = "<a n=\"\xCE\xA2\xC8\xED\"/>";  // 微软
    CXmlMarkup markup;
    ASSERT_TRUE(markup.ParseBytes(gbk, sizeof(gbk) - 1, SkinUI::XmlEncodingAnsi));
    EXPECT_STREQ(markup.RootNode().AttributeValue(L"n"), L"\u5FAE\u8F6F");
    // No byte-order mark is looked for in ANSI text.
    const char marked[] = "\xEF\xBB\xBF<a/>";
    EXPECT_FALSE(markup.ParseBytes(marked, sizeof(marked) - 1, SkinUI::XmlEncodingAnsi));
    EXPECT_STREQ(markup.LastErrorMessage(), L"Expected start tag");
}
