#include "share/Sharers/SXiOS5Twitter.h"

#include "platform/foundation/Text.h"
#include "platform/media/TweetComposeViewController.h"
#include "share/Core/SX.h"

namespace clipora {

using platform::TweetComposeViewController;

SXiOS5Twitter::~SXiOS5Twitter() {
    if (observer_) platform::NotificationCenter::defaultCenter().removeObserver(observer_);
}

std::string SXiOS5Twitter::initialText(const std::string& text) {
    // A cut inside a surrogate pair would leave half a character: the
    // prefix stops one unit earlier instead.
    return platform::Text::utf16Prefix(text, TweetComposeViewController::kMaximumTextLength);
}

void SXiOS5Twitter::share() {
    auto keep = self();
    if (!SX::currentHelper()->currentView()) {
        presentUI();
        return;
    }
    waiting_ = keep;
    std::weak_ptr<SXiOS5Twitter> weak = std::static_pointer_cast<SXiOS5Twitter>(keep);
    observer_ = platform::NotificationCenter::defaultCenter().addObserver(SX::kHideCurrentViewFinishedNotification,
                                                                          [weak](const platform::Notification&) {
                                                                              if (auto sharer = weak.lock())
                                                                                  sharer->callUI();
                                                                          });
}

void SXiOS5Twitter::callUI() {
    auto keep = self();
    if (observer_) platform::NotificationCenter::defaultCenter().removeObserver(observer_);
    observer_ = 0;
    presentUI();
    waiting_.reset();
}

void SXiOS5Twitter::presentUI() {
    auto keep = self();
    const auto& shared = item();
    auto presenter = SX::currentHelper()->rootViewForCustomUIDisplay();
    if (!shared || shared->shareType() == SXItem::SXShareTypeUserInfoRequest || !presenter) {
        // Nothing the sheet can show, or nowhere to show it: the share ends
        // here rather than never.
        setQuiet(true);
        sendDidFailWithError(SX::error("There was an error while sharing"));
        return;
    }
    auto sheet = std::make_shared<TweetComposeViewController>();
    if (shared->image()) sheet->addImage(shared->image());
    if (shared->URL()) sheet->addURL(*shared->URL());
    auto text = shared->shareType() == SXItem::SXShareTypeText ? shared->text() : shared->title();
    sheet->setInitialText(initialText(text.value_or("")));
    currentTopViewController_ = presenter;
    std::weak_ptr<TweetComposeViewController> weakSheet = sheet;
    sheet->setCompletionHandler(
        [sharer = std::static_pointer_cast<SXiOS5Twitter>(keep), weakSheet](TweetComposeViewController::Result result) {
            auto keepSharer = sharer;
            if (auto presenting = keepSharer->currentTopViewController())
                presenting->dismissModalViewControllerAnimated(true);
            keepSharer->setCurrentTopViewController(nullptr);
            // The handler held the sharer for the sheet's life; let both go.
            if (auto s = weakSheet.lock()) s->setCompletionHandler(nullptr);
            if (result == TweetComposeViewController::ResultDone) {
                keepSharer->sendDidFinish();
            } else if (result == TweetComposeViewController::ResultCancelled) {
                keepSharer->sendDidCancel();
            }
        });
    presenter->presentModalViewControllerAnimated(sheet, true);
}

}  // namespace clipora
