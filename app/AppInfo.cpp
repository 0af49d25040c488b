#include "app/AppInfo.h"

namespace clipora {

AppInfo::AppInfo(std::string description, std::string buttonText, std::string link,
                 std::shared_ptr<platform::Image> image)
    : description_(std::move(description)), buttonText_(std::move(buttonText)), link_(std::move(link)),
      image_(std::move(image)) {}

std::shared_ptr<AppInfo> AppInfo::initWithButtonTextLinkImage(std::string description, std::string buttonText,
                                                              std::string link,
                                                              std::shared_ptr<platform::Image> image) {
    return std::make_shared<AppInfo>(std::move(description), std::move(buttonText), std::move(link), std::move(image));
}

}  // namespace clipora
