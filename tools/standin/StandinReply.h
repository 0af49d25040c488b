#pragma once

#include <string>
#include <utility>
#include <vector>

namespace clipora::standin {

// A reply a handler of the stand-in gives.
struct StandinReply {
    int status = 200;
    std::string contentType = "application/json; charset=UTF-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;

    static StandinReply json(std::string body, int status = 200);
    static StandinReply html(std::string body, int status = 200);
    static StandinReply redirect(const std::string& location);
    // An HTML error page with the status and a short message.
    static StandinReply errorPage(int status, const std::string& message);
};

}  // namespace clipora::standin
