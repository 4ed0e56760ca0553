#include "install/PackageManifest.h"

#include <cstddef>
#include <map>

namespace {

struct Value {
    enum class Kind { String, Number, Literal } kind = Kind::Literal;
    std::string text;
    int64_t number = 0;
};

// One flat JSON object: members whose values are strings, non-negative
// integers or the literals true, false and null.
class FlatObjectReader {
public:
    explicit FlatObjectReader(const std::string& text) : m_text(text) {}

    bool Read(std::map<std::string, Value>* members, std::string* error)
    {
        SkipSpace();
        if (!Take('{')) return Fail("not an object", error);
        SkipSpace();
        if (Take('}')) return End(error);
        for (;;) {
            std::string name;
            SkipSpace();
            if (!ReadString(&name)) return Fail("a member's name is not a string", error);
            SkipSpace();
            if (!Take(':')) return Fail("no ':' after a member's name", error);
            SkipSpace();
            Value value;
            if (!ReadValue(&value)) return Fail("the value of \"" + name + "\" is not a string or a whole number", error);
            if (!members->emplace(name, value).second) return Fail("\"" + name + "\" is given twice", error);
            SkipSpace();
            if (Take('}')) return End(error);
            if (!Take(',')) return Fail("no ',' or '}' after a member", error);
        }
    }

private:
    bool End(std::string* error)
    {
        SkipSpace();
        if (m_at != m_text.size()) return Fail("something follows the object", error);
        return true;
    }

    bool Fail(const std::string& why, std::string* error)
    {
        if (error != nullptr) *error = why + " (at byte " + std::to_string(m_at) + ")";
        return false;
    }

    void SkipSpace()
    {
        while (m_at < m_text.size() &&
               (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\r' || m_text[m_at] == '\n')) {
            ++m_at;
        }
    }

    bool Take(char c)
    {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }

    bool Literal(const char* word)
    {
        const std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0) return false;
        m_at += w.size();
        return true;
    }

    bool ReadValue(Value* value)
    {
        if (m_at >= m_text.size()) return false;
        const char c = m_text[m_at];
        if (c == '"') {
            value->kind = Value::Kind::String;
            return ReadString(&value->text);
        }
        if (c >= '0' && c <= '9') {
            value->kind = Value::Kind::Number;
            return ReadNumber(&value->number);
        }
        value->kind = Value::Kind::Literal;
        return Literal("true") || Literal("false") || Literal("null");
    }

    // A whole number, as JSON writes it without sign, fraction or exponent,
    // and within 63 bits.
    bool ReadNumber(int64_t* number)
    {
        const size_t start = m_at;
        int64_t value = 0;
        while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') {
            const int digit = m_text[m_at] - '0';
            if (value > (INT64_MAX - digit) / 10) return false;
            value = value * 10 + digit;
            ++m_at;
        }
        if (m_at - start > 1 && m_text[start] == '0') return false;
        if (m_at < m_text.size() && (m_text[m_at] == '.' || m_text[m_at] == 'e' || m_text[m_at] == 'E')) return false;
        *number = value;
        return true;
    }

    static void AppendUtf8(std::string* out, uint32_t code)
    {
        if (code < 0x80) {
            out->push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (code >> 6)));
            out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (code >> 12)));
            out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (code >> 18)));
            out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    bool ReadHex4(uint32_t* code)
    {
        if (m_at + 4 > m_text.size()) return false;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at++];
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') value |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') value |= static_cast<uint32_t>(c - 'A' + 10);
            else return false;
        }
        *code = value;
        return true;
    }

    bool ReadString(std::string* out)
    {
        if (!Take('"')) return false;
        while (m_at < m_text.size()) {
            const unsigned char c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out->push_back(static_cast<char>(c));
                continue;
            }
            if (m_at >= m_text.size()) return false;
            const char escape = m_text[m_at++];
            switch (escape) {
            case '"': out->push_back('"'); break;
            case '\\': out->push_back('\\'); break;
            case '/': out->push_back('/'); break;
            case 'b': out->push_back('\b'); break;
            case 'f': out->push_back('\f'); break;
            case 'n': out->push_back('\n'); break;
            case 'r': out->push_back('\r'); break;
            case 't': out->push_back('\t'); break;
            case 'u': {
                uint32_t code = 0;
                if (!ReadHex4(&code)) return false;
                if (code >= 0xDC00 && code <= 0xDFFF) return false;  // a second half alone
                if (code >= 0xD800 && code <= 0xDBFF) {
                    uint32_t low = 0;
                    if (!Take('\\') || !Take('u') || !ReadHex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(out, code);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    const std::string& m_text;
    size_t m_at = 0;
};

const Value* Member(const std::map<std::string, Value>& members, const char* name, Value::Kind kind)
{
    auto found = members.find(name);
    return found != members.end() && found->second.kind == kind ? &found->second : nullptr;
}

int Base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

bool DecodeBase64(const std::string& text, std::string* bytes)
{
    bytes->clear();
    if (text.size() % 4 != 0) return false;
    for (size_t at = 0; at < text.size(); at += 4) {
        const bool last = at + 4 == text.size();
        int digits[4];
        int padding = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text[at + i];
            if (c == '=' && last && i >= 2) {
                ++padding;
                digits[i] = 0;
                continue;
            }
            if (padding > 0) return false;  // data after padding
            digits[i] = Base64Digit(c);
            if (digits[i] < 0) return false;
        }
        const uint32_t group = (static_cast<uint32_t>(digits[0]) << 18) | (static_cast<uint32_t>(digits[1]) << 12) |
                               (static_cast<uint32_t>(digits[2]) << 6) | static_cast<uint32_t>(digits[3]);
        // Bits a padded group leaves over must be zero: one text, one meaning.
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0)) return false;
        bytes->push_back(static_cast<char>(group >> 16));
        if (padding < 2) bytes->push_back(static_cast<char>((group >> 8) & 0xFF));
        if (padding < 1) bytes->push_back(static_cast<char>(group & 0xFF));
    }
    return true;
}

bool ReadSignedManifest(const std::string& file, SignedManifest* out, std::string* error)
{
    std::map<std::string, Value> members;
    if (!FlatObjectReader(file).Read(&members, error)) return false;
    const Value* manifest = Member(members, "manifest", Value::Kind::String);
    const Value* signature = Member(members, "signature", Value::Kind::String);
    if (manifest == nullptr || signature == nullptr) {
        if (error != nullptr) *error = "\"manifest\" and \"signature\" must both be strings";
        return false;
    }
    if (!DecodeBase64(manifest->text, &out->manifest) || !DecodeBase64(signature->text, &out->signature)) {
        if (error != nullptr) *error = "not base64";
        return false;
    }
    if (out->signature.size() != 64) {
        if (error != nullptr) *error = "the signature is not 64 bytes (r and s of P-256)";
        return false;
    }
    return true;
}

bool ReadPackageManifest(const std::string& bytes, PackageManifest* out, std::string* error)
{
    std::map<std::string, Value> members;
    if (!FlatObjectReader(bytes).Read(&members, error)) return false;
    const Value* size = Member(members, "size", Value::Kind::Number);
    const Value* sha256 = Member(members, "sha256", Value::Kind::String);
    const Value* version = Member(members, "version", Value::Kind::Number);
    const Value* expires = Member(members, "expires", Value::Kind::Number);
    if (size == nullptr || sha256 == nullptr || version == nullptr || expires == nullptr) {
        if (error != nullptr) *error = "\"size\", \"sha256\", \"version\" and \"expires\" are required";
        return false;
    }
    if (sha256->text.size() != 64) {
        if (error != nullptr) *error = "\"sha256\" is not 64 hex digits";
        return false;
    }
    std::string hash;
    for (char c : sha256->text) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            if (error != nullptr) *error = "\"sha256\" is not 64 hex digits";
            return false;
        }
        hash.push_back(c);
    }
    if (size->number <= 0) {
        if (error != nullptr) *error = "\"size\" must be above 0";
        return false;
    }
    const Value* package = Member(members, "package", Value::Kind::String);
    out->package = package != nullptr ? package->text : std::string();
    out->size = size->number;
    out->sha256 = hash;
    out->version = version->number;
    out->expires = expires->number;
    return true;
}
