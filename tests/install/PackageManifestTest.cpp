// The signed manifest's reader: what it takes, and the near misses it must
// refuse (the bytes come from the network and decide what is installed).

#include <gtest/gtest.h>

#include <string>

#include "install/PackageManifest.h"

namespace {

const std::string kHash = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

std::string Manifest(const std::string& members)
{
    return "{\"package\":\"Orrery2.zip\"," + members + "}";
}

bool Reads(const std::string& text, PackageManifest* out = nullptr)
{
    PackageManifest manifest;
    std::string error;
    const bool ok = ReadPackageManifest(text, out != nullptr ? out : &manifest, &error);
    EXPECT_EQ(ok, error.empty()) << text;
    return ok;
}

}  // namespace

TEST(PackageManifest, ReadsTheSignedMembersAndSkipsUnknownOnes)
{
    PackageManifest manifest;
    ASSERT_TRUE(Reads(" {\"package\":\"Orrery2.zip\", \"size\": 1243685,\n\"sha256\":\"" + kHash +
                          "\",\"version\":7,\"expires\":1798675200,\"note\":\"later \\u4e2d\",\"beta\":false}\r\n",
                      &manifest));
    EXPECT_EQ(manifest.package, "Orrery2.zip");
    EXPECT_EQ(manifest.size, 1243685);
    EXPECT_EQ(manifest.sha256, kHash);
    EXPECT_EQ(manifest.version, 7);
    EXPECT_EQ(manifest.expires, 1798675200);
    // Upper-case digits are the same hash.
    std::string upper = kHash;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    ASSERT_TRUE(Reads(Manifest("\"size\":1,\"sha256\":\"" + upper + "\",\"version\":0,\"expires\":0"), &manifest));
    EXPECT_EQ(manifest.sha256, kHash);
}

TEST(PackageManifest, RefusesWhatTwoReadersCouldReadTwoWays)
{
    const std::string rest = ",\"sha256\":\"" + kHash + "\",\"version\":7,\"expires\":1798675200";
    // A member twice: which one counts would depend on the reader.
    EXPECT_FALSE(Reads(Manifest("\"size\":5,\"size\":6" + rest)));
    EXPECT_FALSE(Reads(Manifest("\"size\":5" + rest + ",\"version\":8")));
    // Numbers only as whole, unsigned, plain and within 63 bits.
    for (const char* size : {"-5", "5.0", "5e3", "05", "+5", "9223372036854775808", "0x10", "\"5\"", "0"}) {
        EXPECT_FALSE(Reads(Manifest(std::string("\"size\":") + size + rest))) << size;
    }
    EXPECT_TRUE(Reads(Manifest("\"size\":9223372036854775807" + rest)));
    // A hash of another length or alphabet; members missing; not flat.
    EXPECT_FALSE(Reads(Manifest("\"size\":5,\"sha256\":\"" + kHash.substr(1) + "\",\"version\":7,\"expires\":1")));
    EXPECT_FALSE(Reads(Manifest("\"size\":5,\"sha256\":\"" + kHash.substr(1) + "g\",\"version\":7,\"expires\":1")));
    EXPECT_FALSE(Reads(Manifest("\"size\":5,\"sha256\":\"" + kHash + "\",\"version\":7")));
    EXPECT_FALSE(Reads(Manifest("\"size\":5,\"extra\":{\"a\":1}" + rest)));
    EXPECT_FALSE(Reads(Manifest("\"size\":5,\"extra\":[1]" + rest)));
    // Anything after the object, or an object cut short.
    const std::string whole = Manifest("\"size\":5" + rest);
    EXPECT_FALSE(Reads(whole + "{}"));
    EXPECT_FALSE(Reads(whole + std::string(1, '\0')));
    for (size_t cut = 0; cut < whole.size(); ++cut) EXPECT_FALSE(Reads(whole.substr(0, cut))) << cut;
    // Strings: no raw control characters, no lone surrogate halves.
    EXPECT_FALSE(Reads(Manifest("\"note\":\"a\nb\",\"size\":5" + rest)));
    EXPECT_FALSE(Reads(Manifest("\"note\":\"\\ud800\",\"size\":5" + rest)));
    EXPECT_FALSE(Reads(Manifest("\"note\":\"\\x41\",\"size\":5" + rest)));
}

TEST(PackageManifest, TheEnvelopeIsBase64TextsAndA64ByteSignature)
{
    SignedManifest signedManifest;
    std::string error;
    const std::string signature64(86, 'A');  // 64 zero bytes: "AAAA..." with "==" padding
    EXPECT_TRUE(ReadSignedManifest("{\"manifest\":\"e30=\",\"signature\":\"" + signature64 + "==\"}", &signedManifest,
                                   &error))
        << error;
    EXPECT_EQ(signedManifest.manifest, "{}");
    EXPECT_EQ(signedManifest.signature, std::string(64, '\0'));
    // A signature of another length, or texts that are not plain base64.
    EXPECT_FALSE(ReadSignedManifest("{\"manifest\":\"e30=\",\"signature\":\"AAAA\"}", &signedManifest, &error));
    EXPECT_FALSE(ReadSignedManifest("{\"manifest\":\"e30\",\"signature\":\"" + signature64 + "==\"}", &signedManifest,
                                    &error));
    EXPECT_FALSE(ReadSignedManifest("{\"manifest\":\"e3 0=\",\"signature\":\"" + signature64 + "==\"}",
                                    &signedManifest, &error));
    EXPECT_FALSE(ReadSignedManifest("{\"manifest\":\"e30=\"}", &signedManifest, &error));

    std::string bytes;
    EXPECT_TRUE(DecodeBase64("", &bytes));
    EXPECT_TRUE(DecodeBase64("YWJj", &bytes));
    EXPECT_EQ(bytes, "abc");
    EXPECT_TRUE(DecodeBase64("YWI=", &bytes));
    EXPECT_EQ(bytes, "ab");
    // Padding bits that are not zero: another text for the same bytes.
    EXPECT_FALSE(DecodeBase64("YWJ=", &bytes));
    EXPECT_FALSE(DecodeBase64("YR==", &bytes));
    EXPECT_FALSE(DecodeBase64("Y===", &bytes));
    EXPECT_FALSE(DecodeBase64("YW=j", &bytes));
    EXPECT_FALSE(DecodeBase64("YWJj\n", &bytes));
    EXPECT_FALSE(DecodeBase64("YW-_", &bytes));
}
