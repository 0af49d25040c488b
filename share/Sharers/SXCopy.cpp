#include "share/Sharers/SXCopy.h"

#include "platform/uikit/Pasteboard.h"

namespace clipora {

bool SXCopy::send() {
    auto pasteboard = platform::Pasteboard::generalPasteboard();
    if (item()->shareType() == SXItem::SXShareTypeURL && item()->URL()) {
        pasteboard->setString(item()->URL()->absoluteString());
    } else {
        pasteboard->setImage(item()->image());
    }
    finishWithMessage("Copied!");
    return true;
}

}  // namespace clipora
