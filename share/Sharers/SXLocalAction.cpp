#include "share/Sharers/SXLocalAction.h"

#include "share/Core/SXStrings.h"
#include "share/UI/SXActivityIndicator.h"

namespace clipora {

void SXLocalAction::finishWithMessage(const char* text) {
    auto keep = self();
    if (text) SXActivityIndicator::currentIndicator()->displayCompleted(localizedShareString(text));
    setQuiet(true);
    sendDidFinish();
}

}  // namespace clipora
