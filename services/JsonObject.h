#pragma once
// A small JSON reader with an object wrapper. The installer reads one member
// of one server answer with it, so the tree is simple and owned in one piece.
// Integers keep their sign and 64 bits; anything with a fraction or exponent
// is a double.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace json {

struct JsonNode;

class JsonObject {
public:
    JsonObject();
    explicit JsonObject(const std::string& text);
    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;
    virtual ~JsonObject();

    // Clears, then parses. True when a tree was built; otherwise the error
    // text tells where parsing stopped.
    bool Parse(const std::string& text);
    void Clear();

    // The member `key` (compared without case; the first of equal names) of
    // the root object, as text; empty when there is no such member.
    std::string GetValueText(const std::string& key) const;

    const std::string& GetErrMsg() const { return m_error; }

    // Deeper nesting than this is refused as a parse error rather than
    // recursing without bound on hostile input.
    static constexpr int kMaxDepth = 512;

private:
    std::unique_ptr<JsonNode> m_root;
    const JsonNode* m_borrowed = nullptr;  // another object's node; stands in for a null root
    std::string m_error;
    std::map<unsigned, JsonObject*> m_arrayCache;
    std::map<std::string, JsonObject*> m_memberCache;
    std::vector<std::string> m_names;
    [[maybe_unused]] void* m_iterator = nullptr;
};

}  // namespace json
