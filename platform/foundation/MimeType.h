#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace clipora::platform {

// MIME types by file extension, from a table in the mime.types format (one
// type per line followed by its extensions; '#' starts a comment). The system
// table is Debian's /etc/mime.types. Extensions match without regard to case;
// when two lines claim one extension the first wins.
class MimeType {
public:
    static constexpr std::string_view kDefaultType = "application/octet-stream";
    static constexpr std::string_view kSystemTablePath = "/etc/mime.types";

    // Reads the table at `tablePath`; a missing or unreadable file gives an
    // empty table (every look-up answers the default).
    explicit MimeType(const std::string& tablePath);

    // The system table, read once on first use.
    static const MimeType& system();
    // system().typeForExtension(extension) / system().typeForPath(path).
    static std::string forPathExtension(std::string_view extension);
    static std::string forPath(std::string_view path);

    // The type for an extension ("png", "PNG" or ".png"), or std::nullopt when
    // the table has none.
    std::optional<std::string> knownTypeForExtension(std::string_view extension) const;
    // As above, with kDefaultType for an unknown extension.
    std::string typeForExtension(std::string_view extension) const;
    // The type for the extension of the path's last component (text after its
    // last '.', unless that dot starts the name); kDefaultType without one.
    // The file itself is not looked at.
    std::string typeForPath(std::string_view path) const;

    std::size_t count() const { return types_.size(); }

private:
    std::unordered_map<std::string, std::string> types_;  // lower-case extension -> type
};

}  // namespace clipora::platform
