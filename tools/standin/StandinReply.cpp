#include "tools/standin/StandinReply.h"

#include "platform/foundation/MarkupEscaping.h"
#include "tools/standin/StandinText.h"

namespace clipora::standin {

StandinReply StandinReply::json(std::string body, int status) {
    StandinReply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

StandinReply StandinReply::html(std::string body, int status) {
    StandinReply reply;
    reply.status = status;
    reply.contentType = "text/html; charset=UTF-8";
    reply.body = std::move(body);
    return reply;
}

StandinReply StandinReply::redirect(const std::string& location) {
    StandinReply reply;
    reply.status = 302;
    reply.contentType = "text/html; charset=UTF-8";
    reply.headers.emplace_back("Location", location);
    return reply;
}

StandinReply StandinReply::errorPage(int status, const std::string& message) {
    std::string reason = StandinText::reasonPhrase(status);
    std::string title = std::to_string(status) + " " + reason;
    return html("<!DOCTYPE html>\n<html><head><title>" + platform::MarkupEscaping::escaped(title) +
                    "</title></head>\n<body><h1>" + platform::MarkupEscaping::escaped(title) + "</h1>\n<p>" +
                    platform::MarkupEscaping::escaped(message) + "</p></body></html>\n",
                status);
}

}  // namespace clipora::standin
