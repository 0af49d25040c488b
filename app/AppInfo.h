#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/uikit/Image.h"

namespace clipora {

// One promotion as the content checker stored it: its text, button caption,
// link and picture (the picture may be missing).
class AppInfo : public platform::Object {
public:
    AppInfo() = default;
    AppInfo(std::string description, std::string buttonText, std::string link, std::shared_ptr<platform::Image> image);
    static std::shared_ptr<AppInfo> initWithButtonTextLinkImage(std::string description, std::string buttonText,
                                                                std::string link,
                                                                std::shared_ptr<platform::Image> image);

    // The promotion text (in place of the object's usual text form).
    std::string description() const override { return description_; }
    void setDescription(std::string description) { description_ = std::move(description); }
    const std::string& buttonText() const { return buttonText_; }
    void setButtonText(std::string text) { buttonText_ = std::move(text); }
    const std::string& link() const { return link_; }
    void setLink(std::string link) { link_ = std::move(link); }
    const std::shared_ptr<platform::Image>& image() const { return image_; }
    void setImage(std::shared_ptr<platform::Image> image) { image_ = std::move(image); }

private:
    std::string description_;
    std::string buttonText_;
    std::string link_;
    std::shared_ptr<platform::Image> image_;
};

}  // namespace clipora
