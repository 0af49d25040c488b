#include "tools/standin/StandinRequest.h"

#include <cctype>

namespace clipora::standin {

std::string StandinRequest::param(const std::string& name) const {
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

bool StandinRequest::hasParam(const std::string& name) const { return params.count(name) != 0; }

std::string StandinRequest::header(const std::string& name) const {
    std::string key;
    for (char c : name) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto it = headers.find(key);
    return it == headers.end() ? std::string() : it->second;
}

std::string StandinRequest::cookie(const std::string& name) const {
    std::string all = header("cookie");
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find(';', pos);
        if (end == std::string::npos) end = all.size();
        std::string pair = all.substr(pos, end - pos);
        std::size_t first = pair.find_first_not_of(' ');
        if (first != std::string::npos) pair.erase(0, first);
        std::size_t eq = pair.find('=');
        if (eq != std::string::npos && pair.substr(0, eq) == name) {
            std::string value = pair.substr(eq + 1);
            while (!value.empty() && value.back() == ' ') value.pop_back();
            return value;
        }
        pos = end + 1;
    }
    return {};
}

}  // namespace clipora::standin
