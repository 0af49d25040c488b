#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"

namespace clipora {

class FBDialog;

// What a web dialog reports. Every operation is optional.
class FBDialogDelegate {
public:
    virtual ~FBDialogDelegate() = default;

    // The dialog closed after its page reported success.
    virtual void dialogDidComplete(const std::shared_ptr<FBDialog>& dialog) { (void)dialog; }
    // The page reported success with this URL (before the dialog closes).
    virtual void dialogCompleteWithUrl(const platform::URL& url) { (void)url; }
    // The page reported a cancel with this URL, or the close button was
    // tapped (no URL); before the dialog closes.
    virtual void dialogDidNotCompleteWithUrl(const std::optional<platform::URL>& url) { (void)url; }
    // The dialog closed without success (cancel, close button).
    virtual void dialogDidNotComplete(const std::shared_ptr<FBDialog>& dialog) { (void)dialog; }
    // The page failed to load, or reported an error.
    virtual void dialogDidFailWithError(const std::shared_ptr<FBDialog>& dialog, const platform::Error& error) {
        (void)dialog;
        (void)error;
    }
    // Whether a link tapped in the page opens in the system browser; when
    // not, nothing happens. Default: yes.
    virtual bool dialogShouldOpenURLInExternalBrowser(const std::shared_ptr<FBDialog>& dialog,
                                                      const platform::URL& url) {
        (void)dialog;
        (void)url;
        return true;
    }
};

}  // namespace clipora
