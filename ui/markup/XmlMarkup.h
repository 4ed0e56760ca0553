#pragma once
// The skin parser: a small XML reader that works in place on a UTF-16 copy
// of the document. It writes terminators after names and values and
// collapses entities inside its own buffer, so every name, value and text it
// hands out points into that buffer: no per-node allocation, and nodes stay
// valid exactly as long as the markup keeps its document.
//
// Deliberately small: no DTD, no namespaces, no CDATA, no numeric character
// references, attribute values only in double quotes. Whitespace in text and
// values is kept as written.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

enum XmlEncoding {
    XmlEncodingUtf8 = 0,
    XmlEncodingUtf16 = 1,  // needs a byte-order mark, either order
    XmlEncodingAnsi = 2,   // the system's active code page
};

class CXmlMarkup;

// A value handle on one element. Every accessor of an invalid node answers
// an invalid node, null or false.
class CXmlNode {
public:
    // An element shows at most its first this many attributes.
    static constexpr int kMaxAttributes = 64;

    CXmlNode() = default;

    bool IsValidNode() const { return m_markup != nullptr; }
    CXmlNode NextSibling() const;
    CXmlNode FirstChild() const;
    CXmlNode ParentNode() const;
    bool HasNextSibling() const;
    bool HasChild() const;

    const wchar_t* ElementName() const;
    const wchar_t* ElementText() const;  // empty for an empty element

    int AttributeCount() const;
    bool HasAttributes() const { return AttributeCount() > 0; }
    // The empty string for an index outside 0..count-1.
    const wchar_t* AttributeNameAt(int index) const;
    const wchar_t* AttributeValueAt(int index) const;
    // The value of the first attribute named exactly `name` (case counts),
    // or null.
    const wchar_t* AttributeValue(const wchar_t* name) const;
    // Copies that value into `buffer`, truncated to capacity - 1 characters
    // and always terminated (nothing is written when capacity is 0).
    bool FindAttribute(const wchar_t* name, wchar_t* buffer, size_t capacity) const;

private:
    friend class CXmlMarkup;
    CXmlNode(const CXmlMarkup* markup, uint32_t element) : m_markup(markup), m_element(element) {}
    void MapAttributes() const;

    struct AttributeSlot {
        uint32_t name;
        uint32_t value;
    };
    const CXmlMarkup* m_markup = nullptr;
    uint32_t m_element = 0;
    // Filled on the first attribute access by walking the terminated
    // name/value strings the parser left after the element name.
    mutable int m_attributeCount = -1;
    mutable AttributeSlot m_attributes[kMaxAttributes];
};

class CXmlMarkup {
public:
    // Skin files and zip entries above this size are refused.
    static constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;
    // Deeper nesting is a parse error rather than unbounded recursion.
    static constexpr int kMaxDepth = 256;
    static constexpr size_t kMaxMessageChars = 99;
    static constexpr size_t kMaxExcerptChars = 49;

    CXmlMarkup();
    ~CXmlMarkup();
    CXmlMarkup(const CXmlMarkup&) = delete;
    CXmlMarkup& operator=(const CXmlMarkup&) = delete;

    // Each load releases the previous document first; a failed load leaves
    // the markup empty with the error message and excerpt set.
    bool ParseText(const wchar_t* text);
    bool ParseBytes(const void* bytes, size_t size, XmlEncoding encoding);
    // A skin file under the resource path, or an entry of the resource zip.
    bool ParseFile(const wchar_t* name, XmlEncoding encoding = XmlEncodingUtf8);
    void Clear();

    bool IsValid() const { return m_elements.size() > 1; }
    CXmlNode RootNode() const;

    const wchar_t* LastErrorMessage() const { return m_errorMessage; }
    const wchar_t* LastErrorExcerpt() const { return m_errorExcerpt; }
    // Copies, truncated to capacity - 1 characters and terminated.
    void GetLastErrorMessage(wchar_t* buffer, size_t capacity) const;
    void GetLastErrorExcerpt(wchar_t* buffer, size_t capacity) const;

private:
    friend class CXmlNode;

    // Offsets are character positions in m_text. Index 0 is never an
    // element, so 0 doubles as "none" for child, sibling and parent.
    struct Element {
        uint32_t name;
        uint32_t firstChild;
        uint32_t nextSibling;
        uint32_t parent;
        uint32_t text;
    };

    bool ParseDocument();
    bool ParseLevel(size_t& pos, uint32_t parent, int depth);
    bool ParseElement(size_t& pos, uint32_t element, int depth);
    // Reads up to `stop` (or the end) decoding entities in place; returns the
    // position where the decoded text ends.
    size_t ReadData(size_t& pos, wchar_t stop);
    void TerminateData(size_t written, size_t end);
    uint32_t NewElement(uint32_t name, uint32_t parent);
    void SkipWhitespace(size_t& pos) const;
    size_t SkipName(size_t pos) const;
    bool Fail(const char* message, size_t pos);

    const wchar_t* At(uint32_t offset) const { return m_text.c_str() + offset; }

    std::wstring m_text;
    std::vector<Element> m_elements;
    wchar_t m_errorMessage[kMaxMessageChars + 1];
    wchar_t m_errorExcerpt[kMaxExcerptChars + 1];
};

}  // namespace SkinUI
