#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Digest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawServer.h"
#include "tests/support/TestCA.h"

namespace clipora::test {

// The photo service on 127.0.0.1 over TLS: checks every call's signature
// (MD5 of the secret and the sorted names and values) and answers the
// calls the client makes, with the service's XML replies and refusals.
class PhotoServiceStandIn {
public:
    static constexpr const char* kKey = "photo-key";
    static constexpr const char* kSecret = "photo-secret";
    static constexpr const char* kFrob = "frob-1";
    static constexpr const char* kToken = "token-1";

    struct Call {
        std::string path;
        std::string method;  // the service method, or "upload"
        std::map<std::string, std::string> params;
        std::string photo;
        std::string photoName;
        std::string photoType;
        bool signatureValid = false;
    };

    // The uploads go to a plain scripted peer: the exact multipart bytes are
    // checked there (the HTTP library of the API host would refuse a body
    // that ends right after its closing delimiter, which is valid).
    explicit PhotoServiceStandIn(TestCA& ca)
        : server_(ca.server().certificateFile, ca.server().privateKeyFile), uploads_([this](RawServer::Connection& c) {
              const std::string raw = c.readRequest();
              const auto split = raw.find("\r\n\r\n");
              if (split == std::string::npos) return;
              const std::string head = raw.substr(0, split);
              std::string type;
              if (auto at = head.find("Content-Type: "); at != std::string::npos) {
                  type = head.substr(at + 14, head.find("\r\n", at) - at - 14);
              }
              Call call;
              call.path = head.substr(head.find(' ') + 1, head.find(' ', head.find(' ') + 1) - head.find(' ') - 1);
              call.method = "upload";
              const bool wellFormed = parseMultipart(type, raw.substr(split + 4), call);
              const std::string body = answer(call, wellFormed);
              c.send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body);
          }) {
        auto& s = server_.server();
        s.set_keep_alive_max_count(1);
        auto rest = [this](const httplib::Request& r, httplib::Response& response) { answer(r, response); };
        s.Get("/services/rest/", rest);
        s.Post("/services/rest/", rest);
        s.Get("/services/auth/", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><title>Sign in</title></html>", "text/html");
        });
        server_.start();
    }

    std::string url(const std::string& path) const { return server_.url(path); }
    std::string uploadURL() const { return uploads_.url("/services/upload/"); }

    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    Call lastCall() const {
        std::lock_guard lock(mutex_);
        return calls_.empty() ? Call{} : calls_.back();
    }
    // The next reply to any call, instead of the normal one.
    void setNextReply(std::string body) {
        std::lock_guard lock(mutex_);
        nextReply_ = std::move(body);
    }
    void setUploadRefused(bool refused) {
        std::lock_guard lock(mutex_);
        uploadRefused_ = refused;
    }
    void setTokenValid(bool valid) {
        std::lock_guard lock(mutex_);
        tokenValid_ = valid;
    }

    static std::string signatureOf(const std::map<std::string, std::string>& params) {
        std::string text = kSecret;
        for (const auto& [name, value] : params) {
            if (name != "api_sig") text += name + value;
        }
        return platform::Digest::hex(platform::Digest::md5(text));
    }

private:
    static std::string ok(const std::string& inner) {
        return "<?xml version=\"1.0\"?>\n<rsp stat=\"ok\">" + inner + "</rsp>";
    }
    static std::string refusal(int code, const std::string& message) {
        return "<rsp stat=\"fail\"><err code=\"" + std::to_string(code) + "\" msg=\"" + message + "\"/></rsp>";
    }

    // Splits a multipart body that ends exactly with "\r\n--<boundary>--".
    static bool parseMultipart(const std::string& type, const std::string& body, Call& call) {
        const std::string marker = "boundary=";
        auto at = type.find(marker);
        if (at == std::string::npos) return false;
        const std::string delimiter = "--" + type.substr(at + marker.size());
        const std::string close = "\r\n" + delimiter + "--";
        if (body.size() < close.size() || body.compare(body.size() - close.size(), close.size(), close) != 0)
            return false;
        std::size_t position = 0;
        while (body.compare(position, delimiter.size() + 2, delimiter + "\r\n") == 0) {
            const std::size_t headStart = position + delimiter.size() + 2;
            const std::size_t headEnd = body.find("\r\n\r\n", headStart);
            if (headEnd == std::string::npos) return false;
            const std::string head = body.substr(headStart, headEnd - headStart);
            const std::size_t contentStart = headEnd + 4;
            const std::size_t next = body.find("\r\n" + delimiter, contentStart);
            if (next == std::string::npos) return false;
            const std::string content = body.substr(contentStart, next - contentStart);
            auto field = [&head](const std::string& name) {
                auto p = head.find(name + "=\"");
                if (p == std::string::npos) return std::string();
                p += name.size() + 2;
                return head.substr(p, head.find('"', p) - p);
            };
            if (field("name") == "photo") {
                call.photo = content;
                call.photoName = field("filename");
                auto typeAt = head.find("Content-Type: ");
                call.photoType = typeAt == std::string::npos ? "" : head.substr(typeAt + 14);
            } else {
                call.params[field("name")] = content;
            }
            position = next + 2;
        }
        return position == body.size() - delimiter.size() - 2;
    }

    void answer(const httplib::Request& r, httplib::Response& response) {
        Call call;
        call.path = r.path;
        for (const auto& [name, value] : r.params) call.params[name] = value;
        call.method = call.params["method"];
        response.set_content(answer(call, true), "text/xml");
    }

    std::string answer(Call call, bool wellFormed) {
        auto sig = call.params.find("api_sig");
        call.signatureValid =
            sig != call.params.end() && sig->second == signatureOf(call.params) && call.params["api_key"] == kKey;
        std::string body;
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(call);
            if (!nextReply_.empty()) {
                body = std::move(nextReply_);
                nextReply_.clear();
            } else if (!wellFormed) {
                body = refusal(2, "No photo specified");
            } else if (!call.signatureValid) {
                body = refusal(96, "Invalid signature");
            } else if (call.method == "flickr.auth.getToken") {
                body = call.params["frob"] == kFrob
                           ? ok(std::string("<auth><token>") + kToken +
                                "</token><perms>write</perms>"
                                "<user nsid=\"1@N0\" username=\"pat &amp; co\" fullname=\"Pat\"/></auth>")
                           : refusal(108, "Invalid frob");
            } else if (call.method == "flickr.auth.checkToken") {
                body = tokenValid_ && call.params["auth_token"] == kToken
                           ? ok(std::string("<auth><token>") + kToken +
                                "</token><user nsid=\"1@N0\" username=\"pat\"/></auth>")
                           : refusal(98, "Invalid auth token");
            } else if (call.method == "upload" && uploadRefused_) {
                body = refusal(5, "Filetype was not recognised");
            } else if (call.method == "upload") {
                body = call.params["auth_token"] == kToken ? ok("<photoid>4321</photoid>")
                                                           : refusal(98, "Invalid auth token");
            } else {
                body = ok("<echo>" + call.method + "</echo>");
            }
        }
        return body;
    }

    // The servers go first at destruction: their threads use what follows.
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::string nextReply_;
    bool tokenValid_ = true;
    bool uploadRefused_ = false;
    LoopbackServer server_;
    RawServer uploads_;
};

}  // namespace clipora::test
