#include "tests/support/NTLMServer.h"

#include <algorithm>

#include "platform/cfnetwork/NTLM.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"

namespace clipora::test {

using platform::Data;
using platform::NTLM;
using platform::Text;

namespace {

void put16(Data& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Data& out, std::uint32_t value) {
    put16(out, value);
    put16(out, value >> 16);
}

std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) | (std::uint32_t{bytes[at + 2]} << 16) |
           (std::uint32_t{bytes[at + 3]} << 24);
}

std::string fromUTF16(std::span<const std::uint8_t> bytes) {
    return Text::decode(Data(bytes.begin(), bytes.end()), Text::Encoding::UTF16LittleEndian).value_or("?");
}

// The value of header `name` in a raw request head, or "".
std::string headerValue(const std::string& head, const std::string& name) {
    for (const std::string& line : Text::split(head, "\r\n")) {
        auto colon = line.find(':');
        if (colon != std::string::npos && Text::equalsCaseInsensitive(line.substr(0, colon), name))
            return Text::trimSpacesAndTabs(line.substr(colon + 1));
    }
    return "";
}

std::string response(int status, const std::string& challenge, const std::string& body) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Unauthorized") + "\r\n";
    if (!challenge.empty()) text += "WWW-Authenticate: " + challenge + "\r\n";
    return text + "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

NTLMServer::NTLMServer(std::string user, std::string domain, std::string password, bool authenticatesConnections)
    : user_(std::move(user)), domain_(std::move(domain)), password_(std::move(password)),
      authenticatesConnections_(authenticatesConnections), server_([this](RawServer::Connection& c) { serve(c); }) {}

void NTLMServer::serve(RawServer::Connection& connection) {
    std::optional<std::array<std::uint8_t, 8>> pending;
    std::optional<std::string> signedIn;  // the user this connection proved to be
    for (;;) {
        const std::string request = connection.readRequest();
        if (request.empty()) return;
        const std::string authorization = headerValue(request, "Authorization");
        std::optional<Data> token;
        if (authorization.rfind("NTLM ", 0) == 0) token = platform::Base64::decode(authorization.substr(5));
        if (!token && signedIn) {
            connection.send(response(200, "", "Welcome, " + *signedIn + "."));
            continue;
        }
        if (token && token->size() >= 12 && (*token)[8] == 1) {
            signedIn.reset();
            std::array<std::uint8_t, 8> challenge;
            const Data random = platform::Digest::randomBytes(8);
            std::copy(random.begin(), random.end(), challenge.begin());
            pending = challenge;
            ++challenges_;
            const Data message = challengeMessage(challenge, targetInfo("TESTDOMAIN", "TESTSERVER", std::nullopt));
            connection.send(response(401, "NTLM " + platform::Base64::encode(message), "Say who you are."));
            continue;
        }
        if (token && token->size() >= 12 && (*token)[8] == 3) {
            auto message = parseAuthenticate(*token);
            const bool good = pending && message && Text::equalsCaseInsensitive(message->user, user_) &&
                              message->domain == domain_ && verify(*message, *pending, password_);
            pending.reset();
            if (good) {
                ++accepted_;
                if (authenticatesConnections_) signedIn = message->user;
                connection.send(response(200, "", "Welcome, " + message->user + "."));
            } else {
                ++refused_;
                connection.send(response(401, "NTLM", "Refused."));
            }
            continue;
        }
        connection.send(response(401, "NTLM", "Who are you?"));
    }
}

Data NTLMServer::targetInfo(const std::string& domain, const std::string& computer,
                            std::optional<std::uint64_t> timestamp) {
    Data out;
    auto pair = [&](std::uint16_t id, const Data& value) {
        put16(out, id);
        put16(out, static_cast<std::uint32_t>(value.size()));
        out.insert(out.end(), value.begin(), value.end());
    };
    pair(2, NTLM::utf16(domain));
    pair(1, NTLM::utf16(computer));
    if (timestamp) {
        Data time;
        for (int i = 0; i < 8; ++i) time.push_back(static_cast<std::uint8_t>(*timestamp >> (8 * i)));
        pair(7, time);
    }
    pair(0, {});
    return out;
}

Data NTLMServer::challengeMessage(std::span<const std::uint8_t, 8> serverChallenge, const Data& targetInfo) {
    const Data name = NTLM::utf16("TESTDOMAIN");
    const std::uint32_t flags = NTLM::kNegotiateUnicode | NTLM::kRequestTarget | NTLM::kNegotiateNTLM |
                                NTLM::kNegotiateAlwaysSign | NTLM::kNegotiateExtendedSessionSecurity |
                                NTLM::kNegotiateTargetInfo | NTLM::kNegotiate128 | NTLM::kNegotiate56 |
                                0x00010000 /* the target is a domain */;
    Data out = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0};
    put32(out, 2);
    put16(out, static_cast<std::uint32_t>(name.size()));
    put16(out, static_cast<std::uint32_t>(name.size()));
    put32(out, 48);
    put32(out, flags);
    out.insert(out.end(), serverChallenge.begin(), serverChallenge.end());
    out.insert(out.end(), 8, 0);
    put16(out, static_cast<std::uint32_t>(targetInfo.size()));
    put16(out, static_cast<std::uint32_t>(targetInfo.size()));
    put32(out, static_cast<std::uint32_t>(48 + name.size()));
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), targetInfo.begin(), targetInfo.end());
    return out;
}

std::optional<NTLMServer::Authenticate> NTLMServer::parseAuthenticate(std::span<const std::uint8_t> message) {
    if (message.size() < 64 || read32(message, 8) != 3) return std::nullopt;
    const bool unicode = read32(message, 60) & NTLM::kNegotiateUnicode;
    auto field = [&](std::size_t at) -> std::optional<std::span<const std::uint8_t>> {
        const std::size_t length = message[at] | (message[at + 1] << 8);
        const std::size_t offset = read32(message, at + 4);
        if (offset > message.size() || length > message.size() - offset) return std::nullopt;
        return message.subspan(offset, length);
    };
    auto text = [&](std::span<const std::uint8_t> bytes) {
        return unicode ? fromUTF16(bytes) : std::string(bytes.begin(), bytes.end());
    };
    auto lm = field(12), nt = field(20), domain = field(28), user = field(36), workstation = field(44);
    if (!lm || !nt || !domain || !user || !workstation) return std::nullopt;
    return Authenticate{text(*user), text(*domain), text(*workstation), Data(lm->begin(), lm->end()),
                        Data(nt->begin(), nt->end())};
}

bool NTLMServer::verify(const Authenticate& message, std::span<const std::uint8_t, 8> serverChallenge,
                        const std::string& password) {
    if (message.nt.size() == 24) {
        if (message.lm.size() < 8) return false;
        const std::span<const std::uint8_t, 8> client(message.lm.data(), 8);
        return NTLM::ntlm2SessionResponse(password, serverChallenge, client) == message.nt;
    }
    if (message.nt.size() < 16 + 28) return false;
    const Data key = NTLM::ntOWFv2(password, message.user, message.domain);
    const std::span<const std::uint8_t> blob(message.nt.data() + 16, message.nt.size() - 16);
    return NTLM::ntlmv2Response(key, serverChallenge, blob) == message.nt;
}

}  // namespace clipora::test
