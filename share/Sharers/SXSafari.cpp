#include "share/Sharers/SXSafari.h"

#include "platform/uikit/Application.h"

namespace clipora {

bool SXSafari::send() {
    setQuiet(true);
    if (item()->URL()) platform::Application::sharedApplication()->openURL(*item()->URL());
    finishWithMessage(nullptr);
    return true;
}

}  // namespace clipora
