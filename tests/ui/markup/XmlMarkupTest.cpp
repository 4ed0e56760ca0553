#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/markup/XmlMarkup.h"

using SkinUI::CXmlMarkup;
using SkinUI::CXmlNode;

namespace {

// The whole tree as one line: name[attr=value,...]{text}(children) siblings.
std::wstring Dump(const CXmlNode& first)
{
    std::wstring out;
    for (CXmlNode node = first; node.IsValidNode(); node = node.NextSibling()) {
        out += node.ElementName();
        out += L"[";
        for (int i = 0; i < node.AttributeCount(); ++i) {
            if (i) out += L",";
            out += node.AttributeNameAt(i);
            out += L"=";
            out += node.AttributeValueAt(i);
        }
        out += L"]{";
        out += node.ElementText();
        out += L"}";
        if (node.HasChild()) out += L"(" + Dump(node.FirstChild()) + L")";
        if (node.HasNextSibling()) out += L" ";
    }
    return out;
}

std::wstring Parse(const wchar_t* text)
{
    CXmlMarkup markup;
    if (!markup.ParseText(text)) return std::wstring(L"error: ") + markup.LastErrorMessage();
    return Dump(markup.RootNode());
}

std::vector<unsigned char> Bytes(const std::string& text) { return std::vector<unsigned char>(text.begin(), text.end()); }

std::vector<unsigned char> Utf16(const std::u16string& text, bool bigEndian)
{
    std::vector<unsigned char> bytes = bigEndian ? std::vector<unsigned char>{0xFE, 0xFF}
                                                 : std::vector<unsigned char>{0xFF, 0xFE};
    for (char16_t unit : text) {
        unsigned char high = static_cast<unsigned char>(unit >> 8), low = static_cast<unsigned char>(unit & 0xFF);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    return bytes;
}

const char kSkin[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Window size=\"599,426\" caption=\"0,0,0,100\">\n"
    "  <!-- fonts -->\n"
    "  <Font id=\"0\" name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" size=\"16\"/>\n"
    "  <verticalLayout bkcolor=\"#FFFFFFFF\">\n"
    "    <Label text=\"a &amp; b\" />\n"
    "    <Button name=\"closebtn\"></Button>\n"
    "  </verticalLayout>\n"
    "</Window>\n";

}  // namespace

TEST(XmlMarkup, Utf8WithAndWithoutByteOrderMarkGiveTheSameTree)
{
    CXmlMarkup plain, marked;
    auto bytes = Bytes(kSkin);
    ASSERT_TRUE(plain.ParseBytes(bytes.data(), bytes.size(), SkinUI::XmlEncodingUtf8)) << plain.LastErrorMessage();
    bytes.insert(bytes.begin(), {0xEF, 0xBB, 0xBF});
    ASSERT_TRUE(marked.ParseBytes(bytes.data(), bytes.size(), SkinUI::XmlEncodingUtf8)) << marked.LastErrorMessage();
    EXPECT_EQ(Dump(plain.RootNode()), Dump(marked.RootNode()));

    CXmlNode font = marked.RootNode().FirstChild();
    EXPECT_STREQ(font.ElementName(), L"Font");
    EXPECT_STREQ(font.AttributeValue(L"name"), L"\u5FAE\u8F6F\u96C5\u9ED1");  // four characters
    EXPECT_EQ(std::wstring(font.AttributeValue(L"name")).size(), 4u);
    EXPECT_EQ(Dump(marked.RootNode()),
              L"Window[size=599,426,caption=0,0,0,100]{\n  }("
              L"Font[id=0,name=\u5FAE\u8F6F\u96C5\u9ED1,size=16]{} "
              L"verticalLayout[bkcolor=#FFFFFFFF]{\n    }(Label[text=a & b]{} Button[name=closebtn]{}))");
}

TEST(XmlMarkup, Utf16InBothByteOrdersAndOnlyWithAMark)
{
    const std::u16string text = u"<a t=\"\u5FAE\u8F6F\">x</a>";
    for (bool bigEndian : {false, true}) {
        CXmlMarkup markup;
        auto bytes = Utf16(text, bigEndian);
        ASSERT_TRUE(markup.ParseBytes(bytes.data(), bytes.size(), SkinUI::XmlEncodingUtf16)) << bigEndian;
        EXPECT_EQ(Dump(markup.RootNode()), L"a[t=\u5FAE\u8F6F]{x}") << bigEndian;
    }
    CXmlMarkup markup;
    auto bytes = Utf16(text, false);
    bytes.erase(bytes.begin(), bytes.begin() + 2);
    EXPECT_FALSE(markup.ParseBytes(bytes.data(), bytes.size(), SkinUI::XmlEncodingUtf16));
    EXPECT_FALSE(markup.RootNode().IsValidNode());
    unsigned char one = 0xFF;
    EXPECT_FALSE(markup.ParseBytes(&one, 1, SkinUI::XmlEncodingUtf16));
}

TEST(XmlMarkup, UnclosedRootEndsTheDocument)
{
    EXPECT_EQ(Parse(L"<Window>"), L"Window[]{}");
    EXPECT_EQ(Parse(L"<Window a=\"1\"><b/><c>"), L"Window[a=1]{}(b[]{} c[]{})");
    EXPECT_EQ(Parse(L"<Window>text"), L"Window[]{text}");
    // Two levels below the root nothing may stay open.
    EXPECT_EQ(Parse(L"<a><b><c>"), L"error: Expected end-tag start");
    EXPECT_EQ(Parse(L"<a><b><c/>"), L"error: Expected start tag");
    EXPECT_EQ(Parse(L"<a><b>x"), L"a[]{}(b[]{x})");
}

TEST(XmlMarkup, TextOnlyBeforeTheFirstChild)
{
    EXPECT_EQ(Parse(L"<a>x<b/></a>"), L"a[]{x}(b[]{})");
    CXmlMarkup markup;
    EXPECT_FALSE(markup.ParseText(L"<a><b/>x</a>"));
    EXPECT_STREQ(markup.LastErrorMessage(), L"Expected start tag");
    EXPECT_STREQ(markup.LastErrorExcerpt(), L"x</a>");
}

TEST(XmlMarkup, EmptyElementsAndWhitespace)
{
    EXPECT_EQ(Parse(L"<r><Font/><Font /><Font\t/></r>"), L"r[]{}(Font[]{} Font[]{} Font[]{})");
    EXPECT_EQ(Parse(L"<r>  <a  x = \"1\"\n y=\"2\"  />  </r>"), L"r[]{  }(a[x=1,y=2]{})");
    EXPECT_EQ(Parse(L"< a ></a >"), L"a[]{}");
    EXPECT_EQ(Parse(L"<a>  keep \t spaces </a>"), L"a[]{  keep \t spaces }");
    EXPECT_EQ(Parse(L"<a x=\" v \"/>"), L"a[x= v ]{}");
}

TEST(XmlMarkup, EntitiesCollapseAndLaterAttributesSurvive)
{
    EXPECT_EQ(Parse(L"<a v=\"&lt;b&gt; &amp;&amp; &#65;\"/>"), L"a[v=<b> && &#65;]{}");
    // Decoding shortens a value; the names and values after it must still be
    // found where the node looks for them.
    EXPECT_EQ(Parse(L"<a x=\"&quot;&apos;&amp;lt;\" y=\"2\" z=\"&gt;\">&lt;&amp;t&gt;<b c=\"3\"/></a>"),
              L"a[x=\"'&lt;,y=2,z=>]{<&t>}(b[c=3]{})");
    EXPECT_EQ(Parse(L"<a x=\"a & b &amp\"/>"), L"a[x=a & b &amp]{}");
    EXPECT_EQ(Parse(L"<a>&amp;</a>"), L"a[]{&}");
}

TEST(XmlMarkup, SeventyAttributesShowTheFirstSixtyFour)
{
    std::wstring text = L"<a";
    for (int i = 0; i < 70; ++i) text += L" n" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
    text += L"/>";
    CXmlMarkup markup;
    ASSERT_TRUE(markup.ParseText(text.c_str()));
    CXmlNode node = markup.RootNode();
    ASSERT_EQ(node.AttributeCount(), CXmlNode::kMaxAttributes);
    EXPECT_STREQ(node.AttributeNameAt(63), L"n63");
    EXPECT_STREQ(node.AttributeValueAt(63), L"v63");
    EXPECT_STREQ(node.AttributeNameAt(64), L"");
    EXPECT_STREQ(node.AttributeValueAt(-1), L"");
    EXPECT_EQ(node.AttributeValue(L"n64"), nullptr);
    EXPECT_STREQ(node.AttributeValue(L"n0"), L"v0");
}

TEST(XmlMarkup, FindAttributeIsExactAndAlwaysTerminates)
{
    CXmlMarkup markup;
    ASSERT_TRUE(markup.ParseText(L"<a Name=\"upper\" name=\"lower\"/>"));
    CXmlNode node = markup.RootNode();
    wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_TRUE(node.FindAttribute(L"name", buffer, 4));
    EXPECT_STREQ(buffer, L"low");
    EXPECT_TRUE(node.FindAttribute(L"Name", buffer, 4));
    EXPECT_STREQ(buffer, L"upp");
    EXPECT_FALSE(node.FindAttribute(L"NAME", buffer, 4));
    EXPECT_TRUE(node.FindAttribute(L"name", buffer, 0));  // found, nothing written
    EXPECT_STREQ(buffer, L"upp");
}

TEST(XmlMarkup, InvalidNodesAnswerNothing)
{
    CXmlMarkup markup;
    CXmlNode none = markup.RootNode();
    EXPECT_FALSE(none.IsValidNode());
    EXPECT_EQ(none.ElementName(), nullptr);
    EXPECT_EQ(none.ElementText(), nullptr);
    EXPECT_EQ(none.AttributeNameAt(0), nullptr);
    EXPECT_EQ(none.AttributeCount(), 0);
    EXPECT_FALSE(none.HasChild());
    EXPECT_FALSE(none.FirstChild().IsValidNode());
    wchar_t buffer[8];
    EXPECT_FALSE(none.FindAttribute(L"a", buffer, 8));

    ASSERT_TRUE(markup.ParseText(L"<a><b/><c/></a>"));
    CXmlNode c = markup.RootNode().FirstChild().NextSibling();
    EXPECT_STREQ(c.ElementName(), L"c");
    EXPECT_STREQ(c.ParentNode().ElementName(), L"a");
    EXPECT_FALSE(c.NextSibling().IsValidNode());
    EXPECT_FALSE(markup.RootNode().ParentNode().IsValidNode());

    // An empty document parses but has no root.
    EXPECT_TRUE(markup.ParseText(L"  "));
    EXPECT_FALSE(markup.RootNode().IsValidNode());
}

TEST(XmlMarkup, DeclarationsCommentsAndInstructionsAreSkipped)
{
    EXPECT_EQ(Parse(L"<?xml version=\"1.0\"?><!-- <x> --><a><!-- c --><b/><? pi ?></a>"), L"a[]{}(b[]{})");
}

TEST(XmlMarkup, ErrorMessagesCarryTheTextAtTheFailure)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* message;
        const wchar_t* excerpt;
    } cases[] = {
        {L"x<a/>", L"Expected start tag", L"x<a/>"},
        {L"<abc", L"Error parsing element name", L"abc"},
        {L"<a b=\"1\" c>", L"Error while parsing attributes", L">"},
        {L"<a b>", L"Error while parsing attributes", L">"},
        {L"<a =\"1\">", L"Error while parsing attributes", L"=\"1\">"},
        {L"<a attr='x'/>", L"Expected attribute value", L"'x'/>"},
        {L"<a b=\"1/>", L"Error while parsing attribute string", L"1/>"},
        {L"<a b=\"1\"", L"Expected start-tag closing", L""},
        {L"<a / >", L"Expected start-tag closing", L"/ >"},
        {L"<a><b><c>x", L"Expected end-tag start", L""},
        {L"<a></b>", L"Unmatched closing tag", L"b>"},
        {L"<ab></abc>", L"Unmatched closing tag", L"c>"},
        {L"<abc></ab>", L"Unmatched closing tag", L"ab>"},
        {L"<a></a", L"Unmatched closing tag", L""},
    };
    for (const Case& c : cases) {
        CXmlMarkup markup;
        EXPECT_FALSE(markup.ParseText(c.text)) << c.text;
        EXPECT_STREQ(markup.LastErrorMessage(), c.message) << c.text;
        EXPECT_STREQ(markup.LastErrorExcerpt(), c.excerpt) << c.text;
        EXPECT_FALSE(markup.RootNode().IsValidNode()) << c.text;
    }
    EXPECT_EQ(Parse(L"<a></ a >"), L"a[]{}");

    CXmlMarkup markup;
    std::wstring longTail = L"<a><b/>" + std::wstring(100, L'y') + L"</a>";
    EXPECT_FALSE(markup.ParseText(longTail.c_str()));
    EXPECT_EQ(std::wstring(markup.LastErrorExcerpt()), std::wstring(CXmlMarkup::kMaxExcerptChars, L'y'));
    wchar_t shortBuffer[6];
    markup.GetLastErrorMessage(shortBuffer, 6);
    EXPECT_STREQ(shortBuffer, L"Expec");
    markup.GetLastErrorExcerpt(shortBuffer, 3);
    EXPECT_STREQ(shortBuffer, L"yy");
}

TEST(XmlMarkup, AFailedLoadReleasesTheEarlierDocument)
{
    CXmlMarkup markup;
    ASSERT_TRUE(markup.ParseText(L"<a/>"));
    EXPECT_TRUE(markup.RootNode().IsValidNode());
    EXPECT_FALSE(markup.ParseText(L"<a"));
    EXPECT_FALSE(markup.RootNode().IsValidNode());
    ASSERT_TRUE(markup.ParseText(L"<b/>"));
    EXPECT_STREQ(markup.LastErrorMessage(), L"");
    EXPECT_STREQ(markup.RootNode().ElementName(), L"b");
}

TEST(XmlMarkup, DeepNestingIsRefusedNotRecursedWithoutBound)
{
    auto nested = [](int depth) {
        std::wstring text;
        for (int i = 0; i < depth; ++i) text += L"<n>";
        for (int i = 0; i < depth; ++i) text += L"</n>";
        return text;
    };
    CXmlMarkup markup;
    EXPECT_TRUE(markup.ParseText(nested(CXmlMarkup::kMaxDepth).c_str()));
    EXPECT_FALSE(markup.ParseText(nested(CXmlMarkup::kMaxDepth + 1).c_str()));
    EXPECT_STREQ(markup.LastErrorMessage(), L"Elements nested too deeply");
    EXPECT_FALSE(markup.ParseText(nested(100000).c_str()));
}

TEST(XmlMarkup, ManySiblingsGrowTheElementTable)
{
    std::wstring text = L"<r>";
    for (int i = 0; i < 3000; ++i) text += L"<e i=\"" + std::to_wstring(i) + L"\"/>";
    text += L"</r>";
    CXmlMarkup markup;
    ASSERT_TRUE(markup.ParseText(text.c_str()));
    int count = 0;
    for (CXmlNode node = markup.RootNode().FirstChild(); node.IsValidNode(); node = node.NextSibling()) {
        ASSERT_EQ(std::wstring(node.AttributeValue(L"i")), std::to_wstring(count));
        ++count;
    }
    EXPECT_EQ(count, 3000);
}

TEST(XmlMarkup, TextEndsAtAnEmbeddedTerminator)
{
    const wchar_t text[] = L"<a/>\0garbage";
    CXmlMarkup markup;
    auto bytes = Utf16(std::u16string(u"<a/>\0<", 6), false);
    EXPECT_TRUE(markup.ParseBytes(bytes.data(), bytes.size(), SkinUI::XmlEncodingUtf16));
    EXPECT_TRUE(markup.ParseText(text));
}
