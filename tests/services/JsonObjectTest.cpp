#include <gtest/gtest.h>

#include <string>

#include "services/JsonObject.h"

using json::JsonObject;

namespace {
std::string Success(const std::string& body) { return JsonObject(body).GetValueText("success"); }
}  // namespace

TEST(JsonObject, ValuesAsText)
{
    EXPECT_EQ(Success(R"({"success":1})"), "1");
    EXPECT_EQ(Success(R"({"success":"1"})"), "1");
    EXPECT_EQ(Success(R"({"success":true})"), "true");
    EXPECT_EQ(Success(R"({"success":false})"), "false");
    EXPECT_EQ(Success(R"({"success":1.0})"), "1.000000");
    EXPECT_EQ(Success(R"({"success":0.0000001})"), "1.000000e-07");
    EXPECT_EQ(Success(R"({"success":2e10})"), "2.000000e+10");
    EXPECT_EQ(Success(R"({"success":1e3})"), "1000.000000");  // an exponent makes a fraction
    EXPECT_EQ(Success(R"({"success":-5})"), "-5");
    EXPECT_EQ(Success(R"({"success":-3000000000})"), "-3000000000");
    EXPECT_EQ(Success(R"({"success":4294967295})"), "4294967295");
    EXPECT_EQ(Success(R"({"success":5000000000})"), "5000000000");
    EXPECT_EQ(Success(R"({"success":-9223372036854775808})"), "-9223372036854775808");
    EXPECT_EQ(Success(R"({"success":18446744073709551615})"), "18446744073709551615");
    EXPECT_EQ(Success(R"({"success":null})"), "");
    EXPECT_EQ(Success(R"({"success":[1]})"), "");
    EXPECT_EQ(Success(R"({"success":{"a":1}})"), "");
    EXPECT_EQ(Success(R"({"success":-0})"), "0");
}

TEST(JsonObject, IntegersBeyondSixtyFourBitsBecomeFractions)
{
    // Wrapping would turn a huge count into a small, wrong one.
    EXPECT_EQ(Success(R"({"success":18446744073709551616})"), "1.844674e+19");
    EXPECT_EQ(Success(R"({"success":-9223372036854775809})"), "-9.223372e+18");
}

TEST(JsonObject, MemberLookup)
{
    EXPECT_EQ(Success(R"({"Success":"a"})"), "a");
    EXPECT_EQ(Success(R"({"SUCCESS":"a"})"), "a");
    EXPECT_EQ(Success(R"({"success":"first","success":"second"})"), "first");
    EXPECT_EQ(Success(R"({"other":1})"), "");
    EXPECT_EQ(Success(R"({})"), "");
    // Only the root object's own members count.
    EXPECT_EQ(Success(R"({"data":{"success":1}})"), "");
    // A root that is not an object parses but has no members.
    JsonObject array(R"([{"success":1}])");
    EXPECT_TRUE(array.GetErrMsg().empty());
    EXPECT_EQ(array.GetValueText("success"), "");
    EXPECT_EQ(Success("\"success\""), "");
    EXPECT_EQ(Success("1"), "");
}

TEST(JsonObject, StringsAndEscapes)
{
    EXPECT_EQ(Success(R"({"success":"a\"b\\c\/d"})"), "a\"b\\c/d");
    EXPECT_EQ(Success(R"({"success":"\b\f\n\r\t"})"), "\b\f\n\r\t");
    EXPECT_EQ(Success(R"({"success":"\q"})"), "q");
    EXPECT_EQ(Success(R"({"success":"\u0041\u00e9\u4e2d"})"), "A\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(Success(R"({"success":"\ud83d\ude00"})"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Success(R"({"su\u0063cess":1})"), "1");
    EXPECT_EQ(Success(R"({"success":"a\u0000b"})"), std::string("a\0b", 3));
}

TEST(JsonObject, WhitespaceAndTrailingText)
{
    EXPECT_EQ(Success("\x01\t\r\n {\n \"success\" \t:\r 1 \n}"), "1");
    EXPECT_EQ(Success(R"({"success":1} trailing <html>)"), "1");
}

TEST(JsonObject, BrokenInputFailsWithPosition)
{
    const char* broken[] = {
        "",
        "   ",
        "<html>error</html>",
        R"({"success":1)",
        R"({"success":)",
        R"({"success")",
        R"({"success":"1)",
        R"({success:1})",
        R"({"success":1,})",
        R"({"a":1 "b":2})",
        R"([1,2)",
        R"({"success":"\u12"})",
        R"({"success":"\ud83d"})",
        R"({"success":"\ude00"})",
        R"({"success":"\ud83d\u0041"})",
        R"({"success":-})",
        R"({"success":tru})",
        "{\"success\":\"\\",
    };
    for (const char* text : broken) {
        JsonObject object(text);
        EXPECT_NE(object.GetErrMsg().find("prase json string error at "), std::string::npos) << text;
        EXPECT_EQ(object.GetValueText("success"), "") << text;
    }
    JsonObject object(R"({"success":1,]})");
    EXPECT_EQ(object.GetErrMsg(), "prase json string error at ]}");
}

TEST(JsonObject, DeepNestingIsBoundedNotRecursedWithoutLimit)
{
    std::string deep(100000, '[');
    JsonObject object(deep);
    EXPECT_FALSE(object.GetErrMsg().empty());

    std::string fine = "{\"success\":1,\"x\":" + std::string(JsonObject::kMaxDepth - 1, '[') +
                       std::string(JsonObject::kMaxDepth - 1, ']') + "}";
    EXPECT_EQ(Success(fine), "1");
    std::string tooDeep = "{\"success\":1,\"x\":" + std::string(JsonObject::kMaxDepth, '[') +
                          std::string(JsonObject::kMaxDepth, ']') + "}";
    EXPECT_EQ(Success(tooDeep), "");
}

TEST(JsonObject, ReparseClearsTheOldTree)
{
    JsonObject object(R"({"success":"1"})");
    EXPECT_TRUE(object.Parse(R"({"success":"2"})"));
    EXPECT_EQ(object.GetValueText("success"), "2");
    EXPECT_FALSE(object.Parse("nonsense"));
    EXPECT_EQ(object.GetValueText("success"), "");
    EXPECT_TRUE(object.Parse(R"({"success":3})"));
    EXPECT_TRUE(object.GetErrMsg().empty());
}
