#pragma once

#include <string>

namespace clipora::device {

// The system's notification banner under the drawn screen: the notification
// the application presented last (and how many came before it), as
//   <Notification [ACTION] BODY (+N earlier)>
// with each line of the screen printable. Empty when none was presented.
std::string notificationBannerText();

}  // namespace clipora::device
