#include "tools/clipora/NotificationBanner.h"

#include "platform/uikit/LocalNotificationCenter.h"
#include "tools/clipora/TerminalText.h"

namespace clipora::device {

std::string notificationBannerText() {
    const auto presented = platform::LocalNotificationCenter::presentedNotifications();
    if (presented.empty()) return {};
    const auto& last = presented.back().notification;
    // The texts come from the application and from peers (an error's text):
    // nothing of them may steer the terminal.
    std::string line = "  <Notification";
    if (last.alertAction() && !last.alertAction()->empty())
        line += " [" + TerminalText::printable(*last.alertAction()) + "]";
    line += " " + TerminalText::printable(last.alertBody().value_or(""));
    if (presented.size() > 1) line += " (+" + std::to_string(presented.size() - 1) + " earlier)";
    return line + ">\n";
}

}  // namespace clipora::device
