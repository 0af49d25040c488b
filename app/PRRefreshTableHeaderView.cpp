#include "app/PRRefreshTableHeaderView.h"

#include <algorithm>
#include <numbers>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/EdgeInsets.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/AffineTransform.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Screen.h"

namespace clipora {

using namespace platform;

namespace {

Color headerTextColor() { return Color::colorWithRedGreenBlueAlpha(87 / 255.0f, 108 / 255.0f, 137 / 255.0f, 1); }

std::string localized(const char* key) { return Bundle::mainBundle()->localizedString(key); }

std::shared_ptr<Label> headerLabel(Rect frame, Font font) {
    auto label = std::make_shared<Label>(frame);
    label->setAutoresizingMask(View::AutoresizingFlexibleWidth);
    label->setFont(std::move(font));
    label->setTextColor(headerTextColor());
    label->setShadowColor(Color::colorWithWhiteAlpha(0.9f, 1));
    label->setShadowOffset(Size{0, 1});
    label->setBackgroundColor(Color::clearColor());
    label->setTextAlignment(TextAlignmentCenter);
    return label;
}

EdgeInsets withTop(const EdgeInsets& insets, float top) { return EdgeInsets{top, 0, insets.bottom, 0}; }

}  // namespace

std::shared_ptr<PRRefreshTableHeaderView> PRRefreshTableHeaderView::initWithFrame(Rect frame) {
    auto header = std::make_shared<PRRefreshTableHeaderView>(frame);
    header->build();
    return header;
}

void PRRefreshTableHeaderView::build() {
    const float h = frame().size.height;
    const float w = frame().size.width;
    setAutoresizingMask(AutoresizingFlexibleWidth);
    setBackgroundColor(Color::colorWithRedGreenBlueAlpha(226 / 255.0f, 231 / 255.0f, 237 / 255.0f, 1));

    lastUpdatedLabel_ = headerLabel(Rect(0, h - 50, w, 20), Font::systemFontOfSize(12));
    addSubview(lastUpdatedLabel_);
    statusLabel_ = headerLabel(Rect(0, h - 68, w, 20), Font::boldSystemFontOfSize(13));
    addSubview(statusLabel_);

    arrowImage_ = std::make_shared<Layer>();
    arrowImage_->setFrame(Rect(25, h - 85, 30, 55));
    arrowImage_->setContentsGravity(Layer::kGravityResizeAspect);
    arrowImage_->setContents(Image::imageNamed("blueArrow.png"));
    arrowImage_->setContentsScale(Screen::mainScreen()->scale());
    layer()->addSublayer(arrowImage_);

    activityView_ = std::make_shared<ActivityIndicatorView>(ActivityIndicatorView::StyleGray);
    activityView_->setFrame(Rect(25, h - 58, 20, 20));
    addSubview(activityView_);

    setState(StateNormal);
}

std::shared_ptr<PRRefreshTableHeaderView> PRRefreshTableHeaderView::self() {
    return std::static_pointer_cast<PRRefreshTableHeaderView>(shared_from_this());
}

bool PRRefreshTableHeaderView::delegateIsLoading() {
    auto d = delegate();
    return d ? d->prRefreshTableHeaderDataSourceIsLoading(self()) : false;
}

void PRRefreshTableHeaderView::refreshLastUpdatedDate() {
    auto d = delegate();
    std::optional<Date> date = d ? d->prRefreshTableHeaderDataSourceLastUpdated(self()) : std::nullopt;
    if (!date) {
        lastUpdatedLabel_->setText({});
        return;
    }
    DateFormatter formatter("MM/dd/yyyy hh:mm:a", DateFormatter::TimeZone::localZone());
    formatter.setAMSymbol("AM");
    formatter.setPMSymbol("PM");
    const std::string text = Text::format("Last Updated: %@", formatter.stringFromDate(*date));
    lastUpdatedLabel_->setText(text);
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObject(Value(text), kLastRefreshKey);
    defaults->synchronize();
}

void PRRefreshTableHeaderView::setState(State state) {
    switch (state) {
    case StatePulling:
        statusLabel_->setText(localized("Release to refresh..."));
        // Turned by pi about the axis perpendicular to the screen.
        arrowImage_->setAffineTransform(AffineTransform::makeRotation(std::numbers::pi_v<float>));
        break;
    case StateNormal:
        statusLabel_->setText(localized("Pull down to refresh..."));
        activityView_->stopAnimating();
        arrowImage_->setHidden(false);
        arrowImage_->setAffineTransform(AffineTransform::identity());
        refreshLastUpdatedDate();
        break;
    case StateLoading:
        statusLabel_->setText(localized("Loading..."));
        activityView_->startAnimating();
        arrowImage_->setHidden(true);
        break;
    }
    state_ = state;
}

void PRRefreshTableHeaderView::prRefreshScrollViewDidScroll(const std::shared_ptr<ScrollView>& scrollView) {
    const float y = scrollView->contentOffset().y;
    if (state_ == StateLoading) {
        const float top = std::min(std::max(-y, 0.0f), kLoadingInset);
        scrollView->setContentInset(withTop(scrollView->contentInset(), top));
        return;
    }
    if (!scrollView->isDragging()) return;
    const bool loading = delegateIsLoading();
    if (state_ == StatePulling && y > kTriggerOffset && y < 20 && !loading)
        setState(StateNormal);
    else if (state_ == StateNormal && y < kTriggerOffset && !loading)
        setState(StatePulling);
    if (scrollView->contentInset().top != kRestingInset)
        scrollView->setContentInset(withTop(scrollView->contentInset(), kRestingInset));
}

void PRRefreshTableHeaderView::prRefreshScrollViewDidEndDragging(const std::shared_ptr<ScrollView>& scrollView) {
    const bool loading = delegateIsLoading();
    if (scrollView->contentOffset().y > kTriggerOffset || loading) return;
    if (auto d = delegate()) d->prRefreshTableHeaderDidTriggerRefresh(self());
    setState(StateLoading);
    View::animateWithDurationAnimations(
        0.2, [scrollView] { scrollView->setContentInset(withTop(scrollView->contentInset(), kLoadingInset)); });
}

void PRRefreshTableHeaderView::prRefreshScrollViewDataSourceDidFinishedLoading(
    const std::shared_ptr<ScrollView>& scrollView) {
    View::animateWithDurationAnimations(
        0.3, [scrollView] { scrollView->setContentInset(withTop(scrollView->contentInset(), kRestingInset)); });
    setState(StateNormal);
}

}  // namespace clipora
