#include "platform/cfnetwork/NTLM.h"

#include <openssl/evp.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <stdexcept>

#include "platform/foundation/Date.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

constexpr std::uint8_t kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0};
constexpr std::uint16_t kAvEOL = 0;
constexpr std::uint16_t kAvTimestamp = 7;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kFileTimeEpochOffset = 11644473600ULL;
// Flags this side may agree to; everything else the server offers
// (signing, sealing, key exchange, LM keys) is declined.
constexpr std::uint32_t kSupportedFlags = NTLM::kNegotiateUnicode | NTLM::kNegotiateOEM | NTLM::kRequestTarget |
                                          NTLM::kNegotiateNTLM | NTLM::kNegotiateAlwaysSign |
                                          NTLM::kNegotiateExtendedSessionSecurity | NTLM::kNegotiateTargetInfo |
                                          NTLM::kNegotiate128 | NTLM::kNegotiate56;

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) | (std::uint32_t{bytes[at + 2]} << 16) |
           (std::uint32_t{bytes[at + 3]} << 24);
}

void put16(Data& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(Data& out, std::size_t at, std::uint32_t value) {
    put16(out, at, value);
    put16(out, at + 2, value >> 16);
}

void append64(Data& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void append(Data& out, std::span<const std::uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// A message head of `headLength` bytes; payloads are appended after it and
// described by (length, length, offset) fields.
class MessageWriter {
public:
    MessageWriter(std::uint32_t type, std::size_t headLength) : out_(headLength, 0) {
        std::copy(std::begin(kSignature), std::end(kSignature), out_.begin());
        put32(out_, 8, type);
    }
    void field(std::size_t at, std::span<const std::uint8_t> payload) {
        put16(out_, at, static_cast<std::uint32_t>(payload.size()));
        put16(out_, at + 2, static_cast<std::uint32_t>(payload.size()));
        put32(out_, at + 4, static_cast<std::uint32_t>(out_.size()));
        append(out_, payload);
    }
    void word(std::size_t at, std::uint32_t value) { put32(out_, at, value); }
    Data take() { return std::move(out_); }

private:
    Data out_;
};

// The payload a (length, maximum, offset) field at `at` points to, or
// std::nullopt when it reaches outside the message.
std::optional<std::span<const std::uint8_t>> payload(std::span<const std::uint8_t> message, std::size_t at) {
    const std::size_t length = read16(message, at);
    const std::size_t offset = read32(message, at + 4);
    if (offset > message.size() || length > message.size() - offset) return std::nullopt;
    return message.subspan(offset, length);
}

Data concat(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    Data out(a.begin(), a.end());
    append(out, b);
    return out;
}

// One DES block under a 56-bit key spread over eight bytes (the low bit of
// each is parity, which DES ignores). Single DES lives only in the crypto
// library's legacy module; three-key DES with three equal keys is the
// same cipher and is always there.
void desEncrypt(std::span<const std::uint8_t, 7> key56, std::span<const std::uint8_t, 8> block, std::uint8_t* out) {
    std::uint8_t key[8];
    key[0] = key56[0];
    for (int i = 1; i < 7; ++i) key[i] = static_cast<std::uint8_t>((key56[i - 1] << (8 - i)) | (key56[i] >> i));
    key[7] = static_cast<std::uint8_t>(key56[6] << 1);
    std::uint8_t tripled[24];
    for (int i = 0; i < 3; ++i) std::copy(key, key + 8, tripled + 8 * i);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    int written = 0;
    if (!context || EVP_EncryptInit_ex(context.get(), EVP_des_ede3_ecb(), nullptr, tripled, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
        EVP_EncryptUpdate(context.get(), out, &written, block.data(), 8) != 1 || written != 8) {
        throw std::runtime_error("DES computation failed");
    }
}

// Upper case of one UTF-16 unit by the simple (one-to-one) case mappings
// of Unicode 14, for the scripts user names are written in: Basic Latin,
// Latin-1 Supplement, Latin Extended-A and -B, Latin Extended Additional,
// Greek and Coptic, Cyrillic and its supplement, Armenian and the fullwidth
// forms. The server upper-cases the user name the same way whatever its
// locale, so this must not depend on the process locale either. Letters
// whose upper case is more than one letter (the sharp s) stay as they are,
// as they do on the server. Each run maps first, first + step, ... last
// by adding delta.
struct CaseRun {
    std::uint16_t first;
    std::uint16_t last;
    std::uint8_t step;
    std::int16_t delta;
};
constexpr CaseRun kUpperCaseRuns[] = {
    {0x0061, 0x007A, 1, -32},   {0x00B5, 0x00B5, 1, 743}, {0x00E0, 0x00F6, 1, -32},  {0x00F8, 0x00FE, 1, -32},
    {0x00FF, 0x00FF, 1, 121},   {0x0101, 0x012F, 2, -1},  {0x0131, 0x0131, 1, -232}, {0x0133, 0x0137, 2, -1},
    {0x013A, 0x0148, 2, -1},    {0x014B, 0x0177, 2, -1},  {0x017A, 0x017E, 2, -1},   {0x017F, 0x017F, 1, -300},
    {0x0180, 0x0180, 1, 195},   {0x0183, 0x0185, 2, -1},  {0x0188, 0x0188, 1, -1},   {0x018C, 0x018C, 1, -1},
    {0x0192, 0x0192, 1, -1},    {0x0195, 0x0195, 1, 97},  {0x0199, 0x0199, 1, -1},   {0x019A, 0x019A, 1, 163},
    {0x019E, 0x019E, 1, 130},   {0x01A1, 0x01A5, 2, -1},  {0x01A8, 0x01A8, 1, -1},   {0x01AD, 0x01AD, 1, -1},
    {0x01B0, 0x01B0, 1, -1},    {0x01B4, 0x01B6, 2, -1},  {0x01B9, 0x01B9, 1, -1},   {0x01BD, 0x01BD, 1, -1},
    {0x01BF, 0x01BF, 1, 56},    {0x01C5, 0x01C5, 1, -1},  {0x01C6, 0x01C6, 1, -2},   {0x01C8, 0x01C8, 1, -1},
    {0x01C9, 0x01C9, 1, -2},    {0x01CB, 0x01CB, 1, -1},  {0x01CC, 0x01CC, 1, -2},   {0x01CE, 0x01DC, 2, -1},
    {0x01DD, 0x01DD, 1, -79},   {0x01DF, 0x01EF, 2, -1},  {0x01F2, 0x01F2, 1, -1},   {0x01F3, 0x01F3, 1, -2},
    {0x01F5, 0x01F5, 1, -1},    {0x01F9, 0x021F, 2, -1},  {0x0223, 0x0233, 2, -1},   {0x023C, 0x023C, 1, -1},
    {0x023F, 0x0240, 1, 10815}, {0x0242, 0x0242, 1, -1},  {0x0247, 0x024F, 2, -1},   {0x0371, 0x0373, 2, -1},
    {0x0377, 0x0377, 1, -1},    {0x037B, 0x037D, 1, 130}, {0x03AC, 0x03AC, 1, -38},  {0x03AD, 0x03AF, 1, -37},
    {0x03B1, 0x03C1, 1, -32},   {0x03C2, 0x03C2, 1, -31}, {0x03C3, 0x03CB, 1, -32},  {0x03CC, 0x03CC, 1, -64},
    {0x03CD, 0x03CE, 1, -63},   {0x03D0, 0x03D0, 1, -62}, {0x03D1, 0x03D1, 1, -57},  {0x03D5, 0x03D5, 1, -47},
    {0x03D6, 0x03D6, 1, -54},   {0x03D7, 0x03D7, 1, -8},  {0x03D9, 0x03EF, 2, -1},   {0x03F0, 0x03F0, 1, -86},
    {0x03F1, 0x03F1, 1, -80},   {0x03F2, 0x03F2, 1, 7},   {0x03F3, 0x03F3, 1, -116}, {0x03F5, 0x03F5, 1, -96},
    {0x03F8, 0x03F8, 1, -1},    {0x03FB, 0x03FB, 1, -1},  {0x0430, 0x044F, 1, -32},  {0x0450, 0x045F, 1, -80},
    {0x0461, 0x0481, 2, -1},    {0x048B, 0x04BF, 2, -1},  {0x04C2, 0x04CE, 2, -1},   {0x04CF, 0x04CF, 1, -15},
    {0x04D1, 0x052F, 2, -1},    {0x0561, 0x0586, 1, -48}, {0x1E01, 0x1E95, 2, -1},   {0x1E9B, 0x1E9B, 1, -59},
    {0x1EA1, 0x1EFF, 2, -1},    {0xFF41, 0xFF5A, 1, -32},
};

std::uint16_t upperCaseUnit(std::uint16_t unit) {
    // The runs are sorted and do not overlap: the last run starting at or
    // before the unit is the only one that can hold it.
    const auto* run = std::upper_bound(std::begin(kUpperCaseRuns), std::end(kUpperCaseRuns), unit,
                                       [](std::uint16_t u, const CaseRun& r) { return u < r.first; });
    if (run == std::begin(kUpperCaseRuns)) return unit;
    --run;
    if (unit > run->last || (unit - run->first) % run->step != 0) return unit;
    return static_cast<std::uint16_t>(unit + run->delta);
}

}  // namespace

Data NTLM::utf16(std::string_view text) {
    if (auto encoded = Text::encode(text, Text::Encoding::UTF16LittleEndian)) return *encoded;
    Data out;
    for (unsigned char c : text) {
        out.push_back(c);
        out.push_back(0);
    }
    return out;
}

Data NTLM::negotiateMessage() {
    // No domain or workstation is announced: both go with the
    // authenticate message.
    MessageWriter writer(1, 32);
    writer.word(12, kNegotiateUnicode | kNegotiateOEM | kRequestTarget | kNegotiateNTLM | kNegotiateAlwaysSign |
                        kNegotiateExtendedSessionSecurity | kNegotiate128 | kNegotiate56);
    writer.field(16, {});
    writer.field(24, {});
    return writer.take();
}

std::optional<NTLM::Challenge> NTLM::parseChallenge(std::span<const std::uint8_t> message) {
    if (message.size() < 32 || !std::equal(std::begin(kSignature), std::end(kSignature), message.begin()) ||
        read32(message, 8) != 2)
        return std::nullopt;
    Challenge challenge;
    challenge.flags = read32(message, 20);
    std::copy_n(message.begin() + 24, 8, challenge.serverChallenge.begin());
    if (!payload(message, 12)) return std::nullopt;  // the target name
    if (message.size() >= 48 && (challenge.flags & kNegotiateTargetInfo)) {
        auto info = payload(message, 40);
        if (!info) return std::nullopt;
        challenge.targetInfo.assign(info->begin(), info->end());
        for (std::size_t at = 0; at + 4 <= info->size();) {
            const std::uint16_t id = read16(*info, at);
            const std::size_t length = read16(*info, at + 2);
            if (id == kAvEOL || at + 4 + length > info->size()) break;
            if (id == kAvTimestamp && length == 8) {
                std::uint64_t time = 0;
                for (int i = 7; i >= 0; --i) time = (time << 8) | (*info)[at + 4 + static_cast<std::size_t>(i)];
                challenge.timestamp = time;
            }
            at += 4 + length;
        }
    }
    return challenge;
}

std::optional<Data> NTLM::authenticateMessage(const Challenge& challenge, const Identity& identity,
                                              std::span<const std::uint8_t, 8> clientChallenge,
                                              std::uint64_t fileTime) {
    const bool v2 = !challenge.targetInfo.empty();
    if (!v2 && !(challenge.flags & kNegotiateExtendedSessionSecurity)) return std::nullopt;

    Data lm;
    Data nt;
    if (v2) {
        const Data key = ntOWFv2(identity.password, identity.user, identity.domain);
        // With the server's time, the client's time is the server's and no
        // LMv2 response is sent (an all-zero one stands in its place).
        const std::uint64_t time = challenge.timestamp.value_or(fileTime);
        nt = ntlmv2Response(key, challenge.serverChallenge,
                            ntlmv2ClientBlob(time, clientChallenge, challenge.targetInfo));
        lm = challenge.timestamp ? Data(24, 0) : lmv2Response(key, challenge.serverChallenge, clientChallenge);
    } else {
        nt = ntlm2SessionResponse(identity.password, challenge.serverChallenge, clientChallenge);
        lm.assign(clientChallenge.begin(), clientChallenge.end());
        lm.resize(24, 0);
    }

    std::uint32_t flags = challenge.flags & kSupportedFlags;
    if (!v2) flags |= kNegotiateExtendedSessionSecurity;
    if (flags & kNegotiateUnicode) flags &= ~std::uint32_t{kNegotiateOEM};
    auto text = [&](const std::string& value) {
        return (flags & kNegotiateUnicode) ? utf16(value) : Data(value.begin(), value.end());
    };
    const Data domain = text(identity.domain), user = text(identity.user), workstation = text(identity.workstation);
    // Every field's length is 16 bits wide.
    for (const Data* field : std::initializer_list<const Data*>{&domain, &user, &workstation, &lm, &nt})
        if (field->size() > 0xffff) return std::nullopt;

    MessageWriter writer(3, 64);
    writer.word(60, flags);
    writer.field(28, domain);
    writer.field(36, user);
    writer.field(44, workstation);
    writer.field(12, lm);
    writer.field(20, nt);
    writer.field(52, {});
    return writer.take();
}

std::uint64_t NTLM::currentFileTime() {
    const double seconds = Date::now().timeIntervalSince1970();
    return (static_cast<std::uint64_t>(std::max(0.0, seconds) * 1e7)) + kFileTimeEpochOffset * 10000000ULL;
}

Data NTLM::ntOWFv1(std::string_view password) { return Digest::md4(utf16(password)); }

Data NTLM::ntOWFv2(std::string_view password, std::string_view user, std::string_view domain) {
    Data upperUser = utf16(user);
    // Halves of surrogate pairs fall in no run and stay as they are.
    for (std::size_t i = 0; i + 1 < upperUser.size(); i += 2) {
        const auto upper = upperCaseUnit(static_cast<std::uint16_t>(upperUser[i] | (upperUser[i + 1] << 8)));
        upperUser[i] = static_cast<std::uint8_t>(upper);
        upperUser[i + 1] = static_cast<std::uint8_t>(upper >> 8);
    }
    return Digest::hmacMD5(ntOWFv1(password), concat(upperUser, utf16(domain)));
}

Data NTLM::ntlmv2ClientBlob(std::uint64_t fileTime, std::span<const std::uint8_t, 8> clientChallenge,
                            std::span<const std::uint8_t> targetInfo) {
    Data blob = {1, 1, 0, 0, 0, 0, 0, 0};
    append64(blob, fileTime);
    append(blob, clientChallenge);
    blob.insert(blob.end(), 4, 0);
    append(blob, targetInfo);
    blob.insert(blob.end(), 4, 0);
    return blob;
}

Data NTLM::ntlmv2Response(std::span<const std::uint8_t> responseKey, std::span<const std::uint8_t, 8> serverChallenge,
                          std::span<const std::uint8_t> blob) {
    Data response = Digest::hmacMD5(responseKey, concat(serverChallenge, blob));
    append(response, blob);
    return response;
}

Data NTLM::lmv2Response(std::span<const std::uint8_t> responseKey, std::span<const std::uint8_t, 8> serverChallenge,
                        std::span<const std::uint8_t, 8> clientChallenge) {
    Data response = Digest::hmacMD5(responseKey, concat(serverChallenge, clientChallenge));
    append(response, clientChallenge);
    return response;
}

Data NTLM::ntlmv2SessionBaseKey(std::span<const std::uint8_t> responseKey, std::span<const std::uint8_t> proof) {
    return Digest::hmacMD5(responseKey, proof);
}

Data NTLM::ntlm2SessionResponse(std::string_view password, std::span<const std::uint8_t, 8> serverChallenge,
                                std::span<const std::uint8_t, 8> clientChallenge) {
    Data key = ntOWFv1(password);
    key.resize(21, 0);
    const Data hash = Digest::md5(concat(serverChallenge, clientChallenge));
    const std::span<const std::uint8_t, 8> block(hash.data(), 8);
    Data response(24);
    for (std::size_t i = 0; i < 3; ++i)
        desEncrypt(std::span<const std::uint8_t, 7>(key.data() + 7 * i, 7), block, response.data() + 8 * i);
    return response;
}

}  // namespace clipora::platform
