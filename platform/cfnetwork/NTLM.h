#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace clipora::platform {

// NTLM as HTTP uses it: the client's two messages (negotiate, then
// authenticate) and the server's challenge between them, all on one
// connection, and the responses computed from the password.
//
// The answer is NTLMv2 whenever the server sends its target information
// (every current server does). A server that sends none but agrees to
// extended session security gets the NTLM2 session response. Plain NTLMv1
// and LM responses, which give the password away to a cheap offline search,
// are never sent: such a server gets no answer. No signing or sealing is
// negotiated; HTTP only authenticates the connection.
//
// Text goes as UTF-16LE when the server agrees to Unicode (always, in
// practice), else as its UTF-8 bytes.
class NTLM {
public:
    NTLM() = delete;

    enum Flag : std::uint32_t {
        kNegotiateUnicode = 0x00000001,
        kNegotiateOEM = 0x00000002,
        kRequestTarget = 0x00000004,
        kNegotiateNTLM = 0x00000200,
        kNegotiateAlwaysSign = 0x00008000,
        kNegotiateExtendedSessionSecurity = 0x00080000,
        kNegotiateTargetInfo = 0x00800000,
        kNegotiate128 = 0x20000000,
        kNegotiate56 = 0x80000000,
    };

    // What the server's challenge (type 2) message carries.
    struct Challenge {
        std::uint32_t flags = 0;
        std::array<std::uint8_t, 8> serverChallenge{};
        Data targetInfo;                         // AV pairs, as sent
        std::optional<std::uint64_t> timestamp;  // the server's time (MsvAvTimestamp), when given
    };

    struct Identity {
        std::string user;
        std::string domain;
        std::string password;
        std::string workstation;
    };

    // The negotiate (type 1) message.
    static Data negotiateMessage();
    // The challenge (type 2) message; std::nullopt when it is not one or a
    // field points outside it.
    static std::optional<Challenge> parseChallenge(std::span<const std::uint8_t> message);
    // The authenticate (type 3) message for `challenge`, with the client's
    // random challenge and its time (FILETIME: 100 ns since 1601; the
    // server's own time is used instead when it sent one). std::nullopt
    // when the server offers no response this side will send, or a name
    // does not fit the message.
    static std::optional<Data> authenticateMessage(const Challenge& challenge, const Identity& identity,
                                                   std::span<const std::uint8_t, 8> clientChallenge,
                                                   std::uint64_t fileTime);
    // Now as a FILETIME.
    static std::uint64_t currentFileTime();

    // --- The computations, for the messages above and for checking them ---
    // MD4 of the UTF-16LE password.
    static Data ntOWFv1(std::string_view password);
    // HMAC-MD5 keyed with ntOWFv1 over the UTF-16LE of the upper-cased user
    // and the domain: the NTLMv2 response key. The user name is upper-cased
    // by Unicode's one-to-one case mappings (Latin, Greek, Cyrillic,
    // Armenian, fullwidth), never by the process locale.
    static Data ntOWFv2(std::string_view password, std::string_view user, std::string_view domain);
    // The client's part of the NTLMv2 response: versions, time, client
    // challenge and the server's target information.
    static Data ntlmv2ClientBlob(std::uint64_t fileTime, std::span<const std::uint8_t, 8> clientChallenge,
                                 std::span<const std::uint8_t> targetInfo);
    // HMAC-MD5(responseKey, serverChallenge + blob) (the proof) followed by
    // the blob.
    static Data ntlmv2Response(std::span<const std::uint8_t> responseKey,
                               std::span<const std::uint8_t, 8> serverChallenge, std::span<const std::uint8_t> blob);
    // HMAC-MD5(responseKey, serverChallenge + clientChallenge) followed by
    // the client challenge.
    static Data lmv2Response(std::span<const std::uint8_t> responseKey,
                             std::span<const std::uint8_t, 8> serverChallenge,
                             std::span<const std::uint8_t, 8> clientChallenge);
    // HMAC-MD5(responseKey, proof): the session base key of NTLMv2.
    static Data ntlmv2SessionBaseKey(std::span<const std::uint8_t> responseKey, std::span<const std::uint8_t> proof);
    // The NTLM2 session response: ntOWFv1 as three DES keys over the first
    // eight bytes of MD5(serverChallenge + clientChallenge); 24 bytes.
    static Data ntlm2SessionResponse(std::string_view password, std::span<const std::uint8_t, 8> serverChallenge,
                                     std::span<const std::uint8_t, 8> clientChallenge);
    // UTF-16LE of UTF-8 text (bytes that are not UTF-8 go as Latin-1).
    static Data utf16(std::string_view text);
};

}  // namespace clipora::platform
