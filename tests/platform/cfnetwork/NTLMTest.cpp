#include <array>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/cfnetwork/NTLM.h"
#include "platform/foundation/Digest.h"
#include "tests/support/NTLMServer.h"

namespace clipora::platform {
namespace {

using test::NTLMServer;

std::string hex(std::span<const std::uint8_t> bytes) { return Digest::hex(bytes); }

// The values of the protocol document's worked examples: user "User" in
// "Domain" with password "Password", server "Server", time zero.
const std::array<std::uint8_t, 8> kServerChallenge = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
const std::array<std::uint8_t, 8> kClientChallenge = {0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa};

Data documentTargetInfo() { return NTLMServer::targetInfo("Domain", "Server", std::nullopt); }

TEST(NTLMTest, MatchesThePublishedNTLMv2Example) {
    EXPECT_EQ(hex(NTLM::ntOWFv1("Password")), "a4f49c406510bdcab6824ee7c30fd852");
    const Data key = NTLM::ntOWFv2("Password", "User", "Domain");
    EXPECT_EQ(hex(key), "0c868a403bfd7a93a3001ef22ef02e3f");
    // The user name is upper-cased, the domain is not.
    EXPECT_EQ(NTLM::ntOWFv2("Password", "user", "Domain"), key);
    EXPECT_NE(NTLM::ntOWFv2("Password", "User", "DOMAIN"), key);

    const Data blob = NTLM::ntlmv2ClientBlob(0, kClientChallenge, documentTargetInfo());
    EXPECT_EQ(hex(blob),
              "01010000000000000000000000000000aaaaaaaaaaaaaaaa00000000"
              "02000c0044006f006d00610069006e0001000c005300650072007600650072000000000000000000");
    const Data response = NTLM::ntlmv2Response(key, kServerChallenge, blob);
    const std::span<const std::uint8_t> proof(response.data(), 16);
    EXPECT_EQ(hex(proof), "68cd0ab851e51c96aabc927bebef6a1c");
    EXPECT_EQ(Data(response.begin() + 16, response.end()), blob);
    EXPECT_EQ(hex(NTLM::lmv2Response(key, kServerChallenge, kClientChallenge)),
              "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa");
    EXPECT_EQ(hex(NTLM::ntlmv2SessionBaseKey(key, proof)), "8de40ccadbc14a82f15cb0ad0de95ca3");
}

TEST(NTLMTest, UpperCasesNonASCIIUserNamesAsTheServerDoes) {
    // The server upper-cases the user name by Unicode's one-to-one case
    // mappings, whatever anyone's locale: each spelling must give the key
    // of its upper-case form.
    const auto keyOf = [](const std::string& upperUser) {
        Data text = NTLM::utf16(upperUser);
        const Data domain = NTLM::utf16("Domain");
        text.insert(text.end(), domain.begin(), domain.end());
        return Digest::hmacMD5(NTLM::ntOWFv1("Password"), text);
    };
    const struct {
        const char* user;
        const char* upper;
    } cases[] = {
        {"jürgen", "JÜRGEN"},      // Latin-1 Supplement
        {"ÿvonne", "ŸVONNE"},      // ÿ leaves its block
        {"łukasz", "ŁUKASZ"},      // Latin Extended-A
        {"ștefan", "ȘTEFAN"},      // Latin Extended-B
        {"nguyễn", "NGUYỄN"},      // Latin Extended Additional
        {"иван", "ИВАН"},          // Cyrillic
        {"ёлка", "ЁЛКА"},          // Cyrillic, outside the basic alphabet
        {"σοφία", "ΣΟΦΊΑ"},        // Greek with an accent
        {"οδυσσευς", "ΟΔΥΣΣΕΥΣ"},  // final sigma
        {"արամ", "ԱՐԱՄ"},          // Armenian
        {"ｕｓｅｒ", "ＵＳＥＲ"},  // fullwidth
        {"straße", "STRAßE"},      // no one-letter upper case: kept
        {"张伟", "张伟"},          // no case
        {"a😀b", "A😀B"},            // a surrogate pair passes untouched
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NTLM::ntOWFv2("Password", c.user, "Domain"), keyOf(c.upper)) << c.user;
        EXPECT_EQ(NTLM::ntOWFv2("Password", c.upper, "Domain"), keyOf(c.upper)) << c.upper;
    }
    // "ß" has no one-letter upper case, so "SS" is another name.
    EXPECT_NE(NTLM::ntOWFv2("Password", "straße", "Domain"), NTLM::ntOWFv2("Password", "STRASSE", "Domain"));
}

TEST(NTLMTest, MatchesThePublishedSessionResponseExample) {
    EXPECT_EQ(hex(NTLM::ntlm2SessionResponse("Password", kServerChallenge, kClientChallenge)),
              "7537f803ae367128ca458204bde7caf81e97ed2683267232");
}

TEST(NTLMTest, NegotiateAndChallengeMessages) {
    const Data negotiate = NTLM::negotiateMessage();
    ASSERT_EQ(negotiate.size(), 32u);
    EXPECT_EQ(std::string(negotiate.begin(), negotiate.begin() + 8), std::string("NTLMSSP\0", 8));
    EXPECT_EQ(negotiate[8], 1);
    const std::uint32_t flags = negotiate[12] | (negotiate[13] << 8) | (negotiate[14] << 16) | (negotiate[15] << 24);
    EXPECT_TRUE(flags & NTLM::kNegotiateNTLM);
    EXPECT_TRUE(flags & NTLM::kNegotiateUnicode);
    EXPECT_TRUE(flags & NTLM::kNegotiateExtendedSessionSecurity);

    const Data good = NTLMServer::challengeMessage(kServerChallenge, documentTargetInfo());
    auto challenge = NTLM::parseChallenge(good);
    ASSERT_TRUE(challenge);
    EXPECT_EQ(challenge->serverChallenge, kServerChallenge);
    EXPECT_EQ(challenge->targetInfo, documentTargetInfo());
    EXPECT_FALSE(challenge->timestamp);
    auto timed = NTLM::parseChallenge(
        NTLMServer::challengeMessage(kServerChallenge, NTLMServer::targetInfo("D", "S", 0x01d0000000000001ULL)));
    ASSERT_TRUE(timed);
    EXPECT_EQ(timed->timestamp, 0x01d0000000000001ULL);

    // Anything else is refused, never read past its end.
    auto broken = [&](std::size_t at, std::uint8_t value) {
        Data copy = good;
        copy[at] = value;
        return copy;
    };
    const struct {
        const char* what;
        Data message;
    } refused[] = {
        {"short", Data(good.begin(), good.begin() + 31)},
        {"wrong signature", broken(0, 'X')},
        {"wrong type", broken(8, 3)},
        {"target name beyond the end", broken(16, 0xff)},
        {"target information beyond the end", broken(41, 0xff)},
    };
    for (const auto& c : refused) EXPECT_FALSE(NTLM::parseChallenge(c.message)) << c.what;
}

TEST(NTLMTest, AuthenticateMessageCarriesTheResponses) {
    const NTLM::Identity identity{"User", "Domain", "Password", "COMPUTER"};
    // NTLMv2: checked the way a server checks it.
    auto v2 = NTLM::parseChallenge(NTLMServer::challengeMessage(kServerChallenge, documentTargetInfo()));
    ASSERT_TRUE(v2);
    auto message = NTLM::authenticateMessage(*v2, identity, kClientChallenge, 0);
    ASSERT_TRUE(message);
    auto seen = NTLMServer::parseAuthenticate(*message);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->user, "User");
    EXPECT_EQ(seen->domain, "Domain");
    EXPECT_EQ(seen->workstation, "COMPUTER");
    EXPECT_EQ(hex(seen->lm), "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa");
    EXPECT_EQ(hex(std::span<const std::uint8_t>(seen->nt.data(), 16)), "68cd0ab851e51c96aabc927bebef6a1c");
    EXPECT_TRUE(NTLMServer::verify(*seen, kServerChallenge, "Password"));
    EXPECT_FALSE(NTLMServer::verify(*seen, kServerChallenge, "password"));

    // The server's own time replaces the client's, and the LMv2 response
    // is left out.
    auto timed = NTLM::parseChallenge(
        NTLMServer::challengeMessage(kServerChallenge, NTLMServer::targetInfo("Domain", "Server", 42)));
    auto withTime = NTLMServer::parseAuthenticate(*NTLM::authenticateMessage(*timed, identity, kClientChallenge, 7));
    ASSERT_TRUE(withTime);
    EXPECT_EQ(withTime->lm, Data(24, 0));
    EXPECT_EQ(withTime->nt[24], 42);
    EXPECT_TRUE(NTLMServer::verify(*withTime, kServerChallenge, "Password"));

    // No target information: the session response, when offered.
    NTLM::Challenge old = *v2;
    old.targetInfo.clear();
    old.flags &= ~std::uint32_t{NTLM::kNegotiateTargetInfo | NTLM::kNegotiateExtendedSessionSecurity};
    EXPECT_FALSE(NTLM::authenticateMessage(old, identity, kClientChallenge, 0));
    old.flags |= NTLM::kNegotiateExtendedSessionSecurity;
    auto session = NTLMServer::parseAuthenticate(*NTLM::authenticateMessage(old, identity, kClientChallenge, 0));
    ASSERT_TRUE(session);
    EXPECT_EQ(hex(session->nt), "7537f803ae367128ca458204bde7caf81e97ed2683267232");
    EXPECT_EQ(hex(session->lm), "aaaaaaaaaaaaaaaa" + std::string(32, '0'));
    EXPECT_TRUE(NTLMServer::verify(*session, kServerChallenge, "Password"));
}

}  // namespace
}  // namespace clipora::platform
