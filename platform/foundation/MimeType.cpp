#include "platform/foundation/MimeType.h"

#include <fstream>
#include <sstream>

#include "platform/foundation/Text.h"

namespace clipora::platform {

MimeType::MimeType(const std::string& tablePath) {
    std::ifstream in(tablePath);
    std::string line;
    while (std::getline(in, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string type;
        if (!(words >> type)) continue;
        std::string extension;
        while (words >> extension) {
            types_.emplace(Text::lowercase(extension), type);  // keeps the first claim
        }
    }
}

const MimeType& MimeType::system() {
    // Never destroyed: form bodies are built on background threads too, also
    // while statics are destroyed at exit.
    static const MimeType& table = *new MimeType(std::string(kSystemTablePath));
    return table;
}

std::string MimeType::forPathExtension(std::string_view extension) { return system().typeForExtension(extension); }

std::string MimeType::forPath(std::string_view path) { return system().typeForPath(path); }

std::optional<std::string> MimeType::knownTypeForExtension(std::string_view extension) const {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    if (extension.empty()) return std::nullopt;
    const auto found = types_.find(Text::lowercase(extension));
    if (found == types_.end()) return std::nullopt;
    return found->second;
}

std::string MimeType::typeForExtension(std::string_view extension) const {
    return knownTypeForExtension(extension).value_or(std::string(kDefaultType));
}

std::string MimeType::typeForPath(std::string_view path) const {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    if (const auto slash = path.rfind('/'); slash != std::string_view::npos) path.remove_prefix(slash + 1);
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::string(kDefaultType);
    return typeForExtension(path.substr(dot + 1));
}

}  // namespace clipora::platform
