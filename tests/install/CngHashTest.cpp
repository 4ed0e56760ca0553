#include <gtest/gtest.h>

#include <windows.h>
#include <bcrypt.h>

#include <string>

#include "install/CngHash.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(CngHash, KnownAnswersThroughTheSystemsCng)
{
    // FIPS 180-2 and RFC 1321 test vectors.
    CngHash sha(BCRYPT_SHA256_ALGORITHM);
    sha.Update("abc", 3);
    EXPECT_EQ(sha.HexDigest(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    CngHash empty(BCRYPT_SHA256_ALGORITHM);
    EXPECT_EQ(empty.HexDigest(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    CngHash md5(BCRYPT_MD5_ALGORITHM);
    md5.Update("message ", 8);
    md5.Update("digest", 6);
    EXPECT_EQ(md5.HexDigest(), "f96b697d7cb7938d525a2f31aaf161d0");

    CngHash unknown(L"NO-SUCH-ALGORITHM");
    EXPECT_FALSE(unknown.IsValid());
    EXPECT_EQ(unknown.HexDigest(), "");
}

TEST(CngHash, WholeFilesInBlocks)
{
    TempDir dir(L"box-hash");
    // Two and a half of the reader's blocks: "a" repeated, hashed in one go.
    std::string bytes(2621440, 'a');
    HANDLE file = CreateFileW((dir / L"big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    CngHash whole(BCRYPT_SHA256_ALGORITHM);
    whole.Update(bytes.data(), bytes.size());
    EXPECT_EQ(HashFileHex(BCRYPT_SHA256_ALGORITHM, (dir / L"big.bin").c_str()), whole.HexDigest());
    EXPECT_EQ(HashFileHex(BCRYPT_SHA256_ALGORITHM, (dir / L"absent.bin").c_str()), "");
}
