#include "ui/markup/XmlMarkup.h"

#include <cstring>
#include <cwchar>

#include "ui/markup/XmlPlatform.h"

namespace SkinUI {

namespace {

bool IsWhitespace(wchar_t ch) { return ch != L'\0' && static_cast<unsigned long>(ch) <= 32; }

// Letters of other scripts count as letters, so Chinese names work.
bool IsNameChar(wchar_t ch)
{
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || (ch >= L'0' && ch <= L'9') || ch == L'_' ||
           ch == L':' || static_cast<unsigned long>(ch) >= 0x80;
}

void CopyTruncated(wchar_t* buffer, size_t capacity, const wchar_t* text)
{
    if (buffer == nullptr || capacity == 0) return;
    size_t i = 0;
    for (; text != nullptr && text[i] != L'\0' && i + 1 < capacity; ++i) buffer[i] = text[i];
    buffer[i] = L'\0';
}

struct Entity {
    const wchar_t* text;
    size_t length;
    wchar_t value;
};
const Entity kEntities[] = {
    {L"&amp;", 5, L'&'}, {L"&lt;", 4, L'<'}, {L"&gt;", 4, L'>'}, {L"&quot;", 6, L'"'}, {L"&apos;", 6, L'\''},
};

const wchar_t kEmpty[] = L"";

}  // namespace

// ---------------------------------------------------------------------------
// CXmlNode

CXmlNode CXmlNode::NextSibling() const
{
    if (!IsValidNode()) return CXmlNode();
    uint32_t next = m_markup->m_elements[m_element].nextSibling;
    return next ? CXmlNode(m_markup, next) : CXmlNode();
}

CXmlNode CXmlNode::FirstChild() const
{
    if (!IsValidNode()) return CXmlNode();
    uint32_t child = m_markup->m_elements[m_element].firstChild;
    return child ? CXmlNode(m_markup, child) : CXmlNode();
}

CXmlNode CXmlNode::ParentNode() const
{
    if (!IsValidNode()) return CXmlNode();
    uint32_t parent = m_markup->m_elements[m_element].parent;
    return parent ? CXmlNode(m_markup, parent) : CXmlNode();
}

bool CXmlNode::HasNextSibling() const { return IsValidNode() && m_markup->m_elements[m_element].nextSibling != 0; }

bool CXmlNode::HasChild() const { return IsValidNode() && m_markup->m_elements[m_element].firstChild != 0; }

const wchar_t* CXmlNode::ElementName() const
{
    return IsValidNode() ? m_markup->At(m_markup->m_elements[m_element].name) : nullptr;
}

const wchar_t* CXmlNode::ElementText() const
{
    return IsValidNode() ? m_markup->At(m_markup->m_elements[m_element].text) : nullptr;
}

// The parser leaves, between the element name's terminator and the start of
// the content: whitespace, then per attribute a terminated name, whitespace
// and "=" and whitespace, an opening quote, the terminated value and the
// spaces that replaced what entity decoding freed. The start tag's closing
// ">" (or the terminator that replaced "/") bounds the walk.
void CXmlNode::MapAttributes() const
{
    m_attributeCount = 0;
    if (!IsValidNode()) return;
    const CXmlMarkup::Element& element = m_markup->m_elements[m_element];
    const wchar_t* text = m_markup->m_text.c_str();
    const size_t limit = element.text;
    size_t i = element.name;
    while (i < limit && text[i] != L'\0') ++i;
    ++i;
    while (i < limit && m_attributeCount < kMaxAttributes) {
        while (i < limit && IsWhitespace(text[i])) ++i;
        if (i >= limit || !IsNameChar(text[i])) break;
        size_t name = i;
        while (i < limit && text[i] != L'\0') ++i;
        while (i < limit && text[i] != L'"') ++i;
        if (i >= limit) break;
        size_t value = ++i;
        while (i < limit && text[i] != L'\0') ++i;
        if (i >= limit) break;
        m_attributes[m_attributeCount++] = {static_cast<uint32_t>(name), static_cast<uint32_t>(value)};
        ++i;
    }
}

int CXmlNode::AttributeCount() const
{
    if (!IsValidNode()) return 0;
    if (m_attributeCount < 0) MapAttributes();
    return m_attributeCount;
}

const wchar_t* CXmlNode::AttributeNameAt(int index) const
{
    if (!IsValidNode()) return nullptr;
    if (index < 0 || index >= AttributeCount()) return kEmpty;
    return m_markup->At(m_attributes[index].name);
}

const wchar_t* CXmlNode::AttributeValueAt(int index) const
{
    if (!IsValidNode()) return nullptr;
    if (index < 0 || index >= AttributeCount()) return kEmpty;
    return m_markup->At(m_attributes[index].value);
}

const wchar_t* CXmlNode::AttributeValue(const wchar_t* name) const
{
    if (!IsValidNode() || name == nullptr) return nullptr;
    int count = AttributeCount();
    for (int i = 0; i < count; ++i) {
        if (wcscmp(m_markup->At(m_attributes[i].name), name) == 0) return m_markup->At(m_attributes[i].value);
    }
    return nullptr;
}

bool CXmlNode::FindAttribute(const wchar_t* name, wchar_t* buffer, size_t capacity) const
{
    const wchar_t* value = AttributeValue(name);
    if (value == nullptr) return false;
    CopyTruncated(buffer, capacity, value);
    return true;
}

// ---------------------------------------------------------------------------
// CXmlMarkup

CXmlMarkup::CXmlMarkup()
{
    m_errorMessage[0] = L'\0';
    m_errorExcerpt[0] = L'\0';
}

CXmlMarkup::~CXmlMarkup() = default;

void CXmlMarkup::Clear()
{
    std::wstring().swap(m_text);
    std::vector<Element>().swap(m_elements);
}

CXmlNode CXmlMarkup::RootNode() const { return IsValid() ? CXmlNode(this, 1) : CXmlNode(); }

void CXmlMarkup::GetLastErrorMessage(wchar_t* buffer, size_t capacity) const
{
    CopyTruncated(buffer, capacity, m_errorMessage);
}

void CXmlMarkup::GetLastErrorExcerpt(wchar_t* buffer, size_t capacity) const
{
    CopyTruncated(buffer, capacity, m_errorExcerpt);
}

bool CXmlMarkup::Fail(const char* message, size_t pos)
{
    size_t i = 0;
    for (; message[i] != '\0' && i < kMaxMessageChars; ++i) m_errorMessage[i] = static_cast<wchar_t>(message[i]);
    m_errorMessage[i] = L'\0';
    i = 0;
    if (pos != static_cast<size_t>(-1)) {
        for (; pos + i < m_text.size() && m_text[pos + i] != L'\0' && i < kMaxExcerptChars; ++i)
            m_errorExcerpt[i] = m_text[pos + i];
    }
    m_errorExcerpt[i] = L'\0';
    return false;
}

bool CXmlMarkup::ParseText(const wchar_t* text)
{
    Clear();
    m_text = text ? text : L"";
    return ParseDocument();
}

bool CXmlMarkup::ParseBytes(const void* bytes, size_t size, XmlEncoding encoding)
{
    Clear();
    auto* data = static_cast<const unsigned char*>(bytes);
    if (data == nullptr) size = 0;
    bool converted = false;
    switch (encoding) {
    case XmlEncodingUtf8:
        if (size > 2 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
            data += 3;
            size -= 3;
        }
        converted = xml_platform::DecodeBytes(xml_platform::kCodePageUtf8, reinterpret_cast<const char*>(data), size,
                                              m_text);
        break;
    case XmlEncodingAnsi:
        converted = xml_platform::DecodeBytes(xml_platform::kCodePageAnsi, reinterpret_cast<const char*>(data), size,
                                              m_text);
        break;
    case XmlEncodingUtf16: {
        bool littleEndian = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
        bool bigEndian = size >= 2 && data[0] == 0xFE && data[1] == 0xFF;
        if (!littleEndian && !bigEndian) break;
        size_t units = size / 2 - 1;
        m_text.resize(units);
        for (size_t i = 0; i < units; ++i) {
            unsigned char first = data[2 + 2 * i], second = data[3 + 2 * i];
            m_text[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
        }
        converted = true;
        break;
    }
    }
    if (!converted) {
        Clear();
        return Fail("Error converting text", static_cast<size_t>(-1));
    }
    return ParseDocument();
}

bool CXmlMarkup::ParseFile(const wchar_t* name, XmlEncoding encoding)
{
    Clear();
    std::vector<unsigned char> bytes;
    const char* message = nullptr;
    switch (xml_platform::ReadSkinFile(name, kMaxFileBytes, bytes)) {
    case xml_platform::ReadResult::Ok: break;
    case xml_platform::ReadResult::OpenFailed: message = "Error opening file"; break;
    case xml_platform::ReadResult::Empty: message = "File is empty"; break;
    case xml_platform::ReadResult::TooLarge: message = "File too large"; break;
    case xml_platform::ReadResult::ReadFailed: message = "Could not read file"; break;
    case xml_platform::ReadResult::ZipOpenFailed: message = "Error opening zip file"; break;
    case xml_platform::ReadResult::ZipEntryMissing: message = "Could not find ziped file"; break;
    case xml_platform::ReadResult::UnzipFailed: message = "Could not unzip file"; break;
    }
    if (message) return Fail(message, static_cast<size_t>(-1));
    return ParseBytes(bytes.data(), bytes.size(), encoding);
}

bool CXmlMarkup::ParseDocument()
{
    // The text ends at its first terminator, as every string handed out
    // from it will; offsets must fit the 32-bit element fields.
    m_text.resize(wcslen(m_text.c_str()));
    m_errorMessage[0] = L'\0';
    m_errorExcerpt[0] = L'\0';
    if (m_text.size() >= UINT32_MAX - 2) {
        Clear();
        return Fail("File too large", static_cast<size_t>(-1));
    }
    m_elements.clear();
    m_elements.push_back(Element{});  // index 0 is "none"
    size_t pos = 0;
    if (!ParseLevel(pos, 0, 0)) {
        Clear();
        return false;
    }
    return true;
}

uint32_t CXmlMarkup::NewElement(uint32_t name, uint32_t parent)
{
    if (m_elements.size() == m_elements.capacity()) {
        size_t capacity = m_elements.capacity();
        m_elements.reserve(capacity + capacity / 2 + 500);
    }
    m_elements.push_back(Element{name, 0, 0, parent, 0});
    return static_cast<uint32_t>(m_elements.size() - 1);
}

void CXmlMarkup::SkipWhitespace(size_t& pos) const
{
    while (pos < m_text.size() && IsWhitespace(m_text[pos])) ++pos;
}

size_t CXmlMarkup::SkipName(size_t pos) const
{
    while (pos < m_text.size() && IsNameChar(m_text[pos])) ++pos;
    return pos;
}

size_t CXmlMarkup::ReadData(size_t& pos, wchar_t stop)
{
    const size_t length = m_text.size();
    size_t write = pos;
    while (pos < length && m_text[pos] != stop) {
        if (m_text[pos] == L'&') {
            const Entity* match = nullptr;
            for (const Entity& entity : kEntities) {
                if (wcsncmp(m_text.c_str() + pos, entity.text, entity.length) == 0) {
                    match = &entity;
                    break;
                }
            }
            if (match) {
                m_text[write++] = match->value;
                pos += match->length;
                continue;
            }
        }
        m_text[write++] = m_text[pos++];
    }
    return write;
}

// Terminates decoded text at `written` and blanks what decoding freed up to
// and including `end` (the consumed closing quote or "<"), so the attribute
// walk finds only whitespace between one value and the next name.
void CXmlMarkup::TerminateData(size_t written, size_t end)
{
    const size_t length = m_text.size();
    if (written < length) m_text[written] = L'\0';
    for (size_t i = written + 1; i <= end && i < length; ++i) m_text[i] = L' ';
}

bool CXmlMarkup::ParseLevel(size_t& pos, uint32_t parent, int depth)
{
    const size_t length = m_text.size();
    uint32_t previous = 0;
    for (;;) {
        SkipWhitespace(pos);
        if (pos >= length && parent <= 1) return true;
        if (pos >= length || m_text[pos] != L'<') return Fail("Expected start tag", pos);
        if (pos + 1 < length && m_text[pos + 1] == L'/') return true;  // the parent's closing tag

        size_t start = pos + 1;
        SkipWhitespace(start);
        if (start < length && (m_text[start] == L'!' || m_text[start] == L'?')) {
            const wchar_t* end = m_text[start] == L'!' ? L"->" : L"?>";
            size_t found = m_text.find(end, start + 1);
            pos = found == std::wstring::npos ? length : found + 2;
            continue;
        }
        if (depth >= kMaxDepth) return Fail("Elements nested too deeply", pos);

        uint32_t element = NewElement(static_cast<uint32_t>(start), parent);
        if (previous)
            m_elements[previous].nextSibling = element;
        else
            m_elements[parent].firstChild = element;
        previous = element;

        pos = start;
        if (!ParseElement(pos, element, depth)) return false;
    }
}

bool CXmlMarkup::ParseElement(size_t& pos, uint32_t element, int depth)
{
    const size_t length = m_text.size();
    const uint32_t parent = m_elements[element].parent;
    const size_t nameStart = pos;
    const size_t nameEnd = SkipName(pos);
    if (nameEnd >= length) return Fail("Error parsing element name", nameStart);
    pos = nameEnd;

    if (m_text[pos] != L'>') {
        for (;;) {
            SkipWhitespace(pos);
            if (pos >= length || m_text[pos] == L'>' || m_text[pos] == L'/') break;
            const size_t attributeName = pos;
            const size_t attributeNameEnd = SkipName(pos);
            // A nameless attribute could not be told apart from the end of the
            // attributes later on: refuse it here.
            if (attributeNameEnd == attributeName) return Fail("Error while parsing attributes", pos);
            pos = attributeNameEnd;
            SkipWhitespace(pos);
            if (pos >= length || m_text[pos] != L'=') return Fail("Error while parsing attributes", pos);
            ++pos;
            SkipWhitespace(pos);
            if (pos >= length || m_text[pos] != L'"') return Fail("Expected attribute value", pos);
            ++pos;
            const size_t valueStart = pos;
            const size_t written = ReadData(pos, L'"');
            if (pos >= length) return Fail("Error while parsing attribute string", valueStart);
            TerminateData(written, pos);
            m_text[attributeNameEnd] = L'\0';
            ++pos;
        }
    }

    SkipWhitespace(pos);
    if (pos + 1 < length && m_text[pos] == L'/' && m_text[pos + 1] == L'>') {
        m_text[pos] = L'\0';
        m_elements[element].text = static_cast<uint32_t>(pos);
        pos += 2;
        m_text[nameEnd] = L'\0';
        return true;
    }
    if (pos >= length || m_text[pos] != L'>') return Fail("Expected start-tag closing", pos);
    ++pos;

    m_elements[element].text = static_cast<uint32_t>(pos);
    const size_t written = ReadData(pos, L'<');
    const size_t dataEnd = pos;
    if (pos < length && !(pos + 1 < length && m_text[pos + 1] == L'/')) {
        if (!ParseLevel(pos, element, depth + 1)) return false;
    }
    if (pos >= length) {
        // An unclosed root, or an unclosed element directly inside it, ends
        // the document.
        if (parent > 1) return Fail("Expected end-tag start", pos);
        TerminateData(written, dataEnd);
        m_text[nameEnd] = L'\0';
        return true;
    }

    // At "</" of this element.
    pos += 2;
    TerminateData(written, dataEnd);
    SkipWhitespace(pos);
    const size_t nameLength = nameEnd - nameStart;
    for (size_t i = 0; i < nameLength; ++i) {
        if (pos + i >= length || m_text[pos + i] != m_text[nameStart + i]) return Fail("Unmatched closing tag", pos);
    }
    pos += nameLength;
    SkipWhitespace(pos);
    if (pos >= length || m_text[pos] != L'>') return Fail("Unmatched closing tag", pos);
    ++pos;
    m_text[nameEnd] = L'\0';
    return true;
}

}  // namespace SkinUI
