#include "services/JsonObject.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace json {

enum class JsonKind { False, True, Null, Integer, Fraction, String, Array, Object };

struct JsonNode {
    JsonKind kind = JsonKind::Null;
    uint64_t magnitude = 0;  // integers: absolute value
    bool negative = false;   // integers: sign
    double fraction = 0;
    std::string text;  // strings
    std::string name;  // members of an object
    std::vector<std::unique_ptr<JsonNode>> children;
};

namespace {

class Reader {
public:
    explicit Reader(const std::string& input) : m_p(input.c_str()), m_end(input.c_str() + input.size()) {}

    std::unique_ptr<JsonNode> ReadDocument()
    {
        SkipSpace();
        return ReadValue(0);
    }
    const char* Position() const { return m_p; }

private:
    // Bytes 0x01 to 0x20 separate tokens; a zero byte ends the text.
    void SkipSpace()
    {
        while (m_p < m_end && static_cast<unsigned char>(*m_p) >= 0x01 && static_cast<unsigned char>(*m_p) <= 0x20) ++m_p;
    }
    bool Starts(const char* word) const
    {
        size_t n = strlen(word);
        return static_cast<size_t>(m_end - m_p) >= n && memcmp(m_p, word, n) == 0;
    }

    std::unique_ptr<JsonNode> ReadValue(int depth)
    {
        if (m_p >= m_end) return nullptr;
        auto node = std::make_unique<JsonNode>();
        if (Starts("null")) {
            m_p += 4;
            node->kind = JsonKind::Null;
        } else if (Starts("false")) {
            m_p += 5;
            node->kind = JsonKind::False;
        } else if (Starts("true")) {
            m_p += 4;
            node->kind = JsonKind::True;
        } else if (*m_p == '"') {
            node->kind = JsonKind::String;
            if (!ReadString(node->text)) return nullptr;
        } else if (*m_p == '-' || (*m_p >= '0' && *m_p <= '9')) {
            if (!ReadNumber(*node)) return nullptr;
        } else if (*m_p == '[') {
            if (depth >= JsonObject::kMaxDepth || !ReadArray(*node, depth + 1)) return nullptr;
        } else if (*m_p == '{') {
            if (depth >= JsonObject::kMaxDepth || !ReadObject(*node, depth + 1)) return nullptr;
        } else {
            return nullptr;
        }
        return node;
    }

    bool ReadNumber(JsonNode& node)
    {
        const char* start = m_p;
        bool negative = false;
        if (*m_p == '-') {
            negative = true;
            ++m_p;
        }
        if (m_p >= m_end || !(*m_p >= '0' && *m_p <= '9')) return false;
        bool overflow = false;
        uint64_t magnitude = 0;
        for (; m_p < m_end && *m_p >= '0' && *m_p <= '9'; ++m_p) {
            unsigned digit = static_cast<unsigned>(*m_p - '0');
            if (magnitude > (UINT64_MAX - digit) / 10) overflow = true;
            magnitude = magnitude * 10 + digit;
        }
        bool isFraction = false;
        if (m_p + 1 < m_end && *m_p == '.' && m_p[1] >= '0' && m_p[1] <= '9') {
            isFraction = true;
            for (++m_p; m_p < m_end && *m_p >= '0' && *m_p <= '9'; ++m_p) {}
        }
        if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
            const char* q = m_p + 1;
            if (q < m_end && (*q == '+' || *q == '-')) ++q;
            if (q < m_end && *q >= '0' && *q <= '9') {
                isFraction = true;
                for (m_p = q; m_p < m_end && *m_p >= '0' && *m_p <= '9'; ++m_p) {}
            }
        }
        // An integer beyond 64 bits (or below INT64_MIN) cannot keep its
        // value as an integer; it is read as a double instead of wrapping.
        if (!isFraction && negative && magnitude > static_cast<uint64_t>(INT64_MAX) + 1) overflow = true;
        if (isFraction || overflow) {
            node.kind = JsonKind::Fraction;
            node.fraction = strtod(std::string(start, m_p).c_str(), nullptr);
        } else {
            node.kind = JsonKind::Integer;
            node.magnitude = magnitude;
            node.negative = negative && magnitude != 0;
        }
        return true;
    }

    static int HexValue(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    bool ReadHex4(unsigned& value)
    {
        if (m_end - m_p < 4) return false;
        value = 0;
        for (int i = 0; i < 4; ++i) {
            int h = HexValue(m_p[i]);
            if (h < 0) return false;
            value = value * 16 + static_cast<unsigned>(h);
        }
        m_p += 4;
        return true;
    }
    static void AppendUtf8(std::string& out, unsigned cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool ReadString(std::string& out)
    {
        ++m_p;  // opening quote
        while (m_p < m_end && *m_p != '"') {
            if (*m_p == '\0') return false;
            if (*m_p != '\\') {
                out += *m_p++;
                continue;
            }
            if (++m_p >= m_end) return false;
            char c = *m_p++;
            switch (c) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned cp;
                if (!ReadHex4(cp)) return false;
                if (cp >= 0xDC00 && cp <= 0xDFFF) return false;  // a lone low surrogate
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    unsigned low;
                    if (m_end - m_p < 2 || m_p[0] != '\\' || m_p[1] != 'u') return false;
                    m_p += 2;
                    if (!ReadHex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    cp = 0x10000 + (((cp & 0x3FF) << 10) | (low & 0x3FF));
                }
                AppendUtf8(out, cp);
                break;
            }
            default: out += c; break;  // any other escaped character stands for itself
            }
        }
        if (m_p >= m_end) return false;
        ++m_p;  // closing quote
        return true;
    }

    bool ReadArray(JsonNode& node, int depth)
    {
        node.kind = JsonKind::Array;
        ++m_p;
        SkipSpace();
        if (m_p < m_end && *m_p == ']') {
            ++m_p;
            return true;
        }
        for (;;) {
            SkipSpace();
            auto child = ReadValue(depth);
            if (!child) return false;
            node.children.push_back(std::move(child));
            SkipSpace();
            if (m_p >= m_end) return false;
            if (*m_p == ']') {
                ++m_p;
                return true;
            }
            if (*m_p != ',') return false;
            ++m_p;
        }
    }

    bool ReadObject(JsonNode& node, int depth)
    {
        node.kind = JsonKind::Object;
        ++m_p;
        SkipSpace();
        if (m_p < m_end && *m_p == '}') {
            ++m_p;
            return true;
        }
        for (;;) {
            SkipSpace();
            std::string name;
            if (m_p >= m_end || *m_p != '"' || !ReadString(name)) return false;
            SkipSpace();
            if (m_p >= m_end || *m_p != ':') return false;
            ++m_p;
            SkipSpace();
            auto child = ReadValue(depth);
            if (!child) return false;
            child->name = std::move(name);
            node.children.push_back(std::move(child));
            SkipSpace();
            if (m_p >= m_end) return false;
            if (*m_p == '}') {
                ++m_p;
                return true;
            }
            if (*m_p != ',') return false;
            ++m_p;
        }
    }

    const char* m_p;
    const char* m_end;
};

std::string Lower(const std::string& s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string ValueText(const JsonNode& node)
{
    char buffer[128] = {};
    switch (node.kind) {
    case JsonKind::String: return node.text;
    case JsonKind::True: return "true";
    case JsonKind::False: return "false";
    case JsonKind::Integer:
        if (node.negative) {
            long long value = -static_cast<long long>(node.magnitude - 1) - 1;
            if (value >= INT32_MIN)
                snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
            else
                snprintf(buffer, sizeof buffer, "%lld", value);
        } else if (node.magnitude <= 4294967295ull) {
            snprintf(buffer, sizeof buffer, "%u", static_cast<unsigned>(node.magnitude));
        } else {
            snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(node.magnitude));
        }
        return buffer;
    case JsonKind::Fraction: {
        double magnitude = std::fabs(node.fraction);
        snprintf(buffer, sizeof buffer, (magnitude < 0.000001 || magnitude > 1000000000.0) ? "%e" : "%f",
                 node.fraction);
        return buffer;
    }
    default: return std::string();
    }
}

}  // namespace

JsonObject::JsonObject() = default;

JsonObject::JsonObject(const std::string& text) { Parse(text); }

JsonObject::~JsonObject() { Clear(); }

void JsonObject::Clear()
{
    m_root.reset();
    for (auto& entry : m_arrayCache) delete entry.second;
    for (auto& entry : m_memberCache) delete entry.second;
    m_arrayCache.clear();
    m_memberCache.clear();
    m_names.clear();
}

bool JsonObject::Parse(const std::string& text)
{
    Clear();
    m_error.clear();
    Reader reader(text);
    m_root = reader.ReadDocument();
    if (!m_root) {
        m_error = "prase json string error at ";
        m_error += reader.Position();
        return false;
    }
    return true;
}

std::string JsonObject::GetValueText(const std::string& key) const
{
    const JsonNode* node = m_root ? m_root.get() : m_borrowed;
    if (node == nullptr || node->kind != JsonKind::Object) return std::string();
    const std::string wanted = Lower(key);
    for (const auto& member : node->children)
        if (Lower(member->name) == wanted) return ValueText(*member);
    return std::string();
}

}  // namespace json
