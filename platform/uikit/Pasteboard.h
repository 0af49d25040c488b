#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace clipora::platform {

class Image;

// The general pasteboard: holds one item, a string, a URL or an image. Setting
// one replaces the others (a URL also reads as its string). Safe from any thread.
class Pasteboard : public Object {
public:
    static std::shared_ptr<Pasteboard> generalPasteboard();
    // An empty general pasteboard (tests).
    static void reset();

    std::optional<std::string> string() const;
    void setString(std::string text);
    std::optional<URL> url() const;
    void setURL(const URL& url);
    std::shared_ptr<Image> image() const;
    void setImage(std::shared_ptr<Image> image);
    // Number of times anything was put on the pasteboard.
    int changeCount() const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> string_;
    std::optional<URL> url_;
    std::shared_ptr<Image> image_;
    int changeCount_ = 0;
};

}  // namespace clipora::platform
