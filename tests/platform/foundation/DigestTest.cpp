#include "platform/foundation/Digest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace clipora::platform {
namespace {

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

Data bytes(std::size_t count, std::uint8_t value) { return Data(count, value); }

Data fromString(const std::string& s) { return Data(s.begin(), s.end()); }

struct DigestCase {
    std::string input;
    std::string hex;
};

TEST(DigestTest, MD5MatchesRFC1321TestSuite) {
    const DigestCase cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {repeat("1234567890", 8), "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Digest::hex(Digest::md5(c.input)), c.hex) << '"' << c.input << '"';
        EXPECT_EQ(Digest::md5(fromString(c.input)), Digest::md5(c.input));
    }
    EXPECT_EQ(Digest::md5("abc").size(), Digest::kMD5Length);
}

TEST(DigestTest, MD4MatchesRFC1320TestSuite) {
    // Lengths around the padding boundaries (55, 56, 64 bytes) included.
    const DigestCase cases[] = {
        {"", "31d6cfe0d16ae931b73c59d7e0c089c0"},
        {"a", "bde52cb31de33e46245e05fbdbd6fb24"},
        {"abc", "a448017aaf21d8525fc10ae87aa6729d"},
        {"message digest", "d9130a8164549fe818874806e1c7014b"},
        {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "043f8582f241db351ce627e153e7f0e4"},
        {repeat("1234567890", 8), "e33b4ddc9c38f2199c3e7b164fcc0536"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Digest::hex(Digest::md4(fromString(c.input))), c.hex) << '"' << c.input << '"';
}

TEST(DigestTest, HMACMD5MatchesRFC2202TestCases) {
    const struct {
        Data key;
        Data data;
        std::string hex;
    } cases[] = {
        {bytes(16, 0x0b), fromString("Hi There"), "9294727a3638bb1c13f48ef8158bfc9d"},
        {fromString("Jefe"), fromString("what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738"},
        {bytes(16, 0xaa), bytes(50, 0xdd), "56be34521d144c88dbb8c733f0e8b3f6"},
        {bytes(80, 0xaa), fromString("Test Using Larger Than Block-Size Key - Hash Key First"),
         "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
    };
    for (const auto& c : cases) EXPECT_EQ(Digest::hex(Digest::hmacMD5(c.key, c.data)), c.hex);
}

TEST(DigestTest, SHA1MatchesRFC3174TestSuite) {
    const DigestCase cases[] = {
        {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
        {repeat("01234567012345670123456701234567", 20), "DEA356A2CDDD90C7A7ECEDC5EBB563934F460452"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Digest::hex(Digest::sha1(c.input), true), c.hex) << c.input.substr(0, 40);
    }
    EXPECT_EQ(Digest::sha1("abc").size(), Digest::kSHA1Length);
}

TEST(DigestTest, SHA256OfAbc) {
    EXPECT_EQ(Digest::hex(Digest::sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(DigestTest, HMACSHA1MatchesRFC2202TestCases) {
    Data key4;
    for (std::uint8_t b = 1; b <= 25; ++b) key4.push_back(b);
    const struct {
        Data key;
        Data data;
        std::string hex;
    } cases[] = {
        {bytes(20, 0x0b), fromString("Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00"},
        {fromString("Jefe"), fromString("what do ya want for nothing?"), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {bytes(20, 0xaa), bytes(50, 0xdd), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {key4, bytes(50, 0xcd), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {bytes(20, 0x0c), fromString("Test With Truncation"), "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {bytes(80, 0xaa), fromString("Test Using Larger Than Block-Size Key - Hash Key First"),
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {bytes(80, 0xaa), fromString("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    int index = 1;
    for (const auto& c : cases) {
        EXPECT_EQ(Digest::hex(Digest::hmacSHA1(c.key, c.data)), c.hex) << "test case " << index;
        ++index;
    }
    EXPECT_EQ(Digest::hex(Digest::hmacSHA1("Jefe", "what do ya want for nothing?")),
              "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    // An empty key and message are valid input too.
    EXPECT_EQ(Digest::hex(Digest::hmacSHA1("", "")), "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d");
}

TEST(DigestTest, HMACSHA256MatchesRFC4231) {
    EXPECT_EQ(Digest::hex(Digest::hmacSHA256("Jefe", "what do ya want for nothing?")),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
}

TEST(DigestTest, HexWritesEveryByteAsTwoDigits) {
    const Data data{0x00, 0x0a, 0xff, 0x10};
    EXPECT_EQ(Digest::hex(data), "000aff10");
    EXPECT_EQ(Digest::hex(data, true), "000AFF10");
    EXPECT_EQ(Digest::hex(Data{}), "");
}

TEST(DigestTest, RandomBytesHaveTheAskedLengthAndDiffer) {
    EXPECT_TRUE(Digest::randomBytes(0).empty());
    const Data a = Digest::randomBytes(32);
    const Data b = Digest::randomBytes(32);
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
    const std::uint32_t first = Digest::random32();
    bool varied = false;
    for (int i = 0; i < 8 && !varied; ++i) varied = Digest::random32() != first;
    EXPECT_TRUE(varied);
}

// Worker threads are never joined, so one that has drawn random bytes may
// still be alive when the process exits: the exit must not tear down state
// that belongs to it (a use after free if the worker draws again; the thread
// sanitizer reports the clean-up as a race). The flag is relaxed on purpose:
// like an idle worker, the thread tells the exit nothing.
TEST(DigestTest, RandomBytesOnAThreadThatOutlivesTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static std::atomic<bool> drawn{false};
            std::thread([] {
                Digest::randomBytes(16);
                drawn.store(true, std::memory_order_relaxed);
                for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
            }).detach();
            while (!drawn.load(std::memory_order_relaxed)) std::this_thread::yield();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace clipora::platform
