#pragma once

#include <memory>
#include <string>

#include "app/PRRefreshTableHeaderDelegate.h"
#include "platform/foundation/Rect.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/View.h"

namespace clipora {

// The pull-to-refresh header that sits just above a table's first row: an
// arrow and a status text while the user drags the table down, a reload when
// the drag ends far enough down, a spinner while the reload runs, and the
// time of the last refresh.
class PRRefreshTableHeaderView : public platform::View {
public:
    enum State : int { StatePulling = 0, StateNormal = 1, StateLoading = 2 };

    static constexpr const char* kLastRefreshKey = "PRRefreshTableView_LastRefresh";
    // A release at this offset or further down triggers a reload.
    static constexpr float kTriggerOffset = -85;
    static constexpr float kLoadingInset = 80;
    static constexpr float kRestingInset = 20;

    // The header with its labels, arrow and spinner, in state normal.
    static std::shared_ptr<PRRefreshTableHeaderView> initWithFrame(platform::Rect frame);
    // Use initWithFrame: the subviews need the shared object.
    explicit PRRefreshTableHeaderView(platform::Rect frame) : View(frame) {}

    std::shared_ptr<PRRefreshTableHeaderDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PRRefreshTableHeaderDelegate> delegate) { delegate_ = std::move(delegate); }

    State state() const { return state_; }
    void setState(State state);
    void refreshLastUpdatedDate();

    void prRefreshScrollViewDidScroll(const std::shared_ptr<platform::ScrollView>& scrollView);
    void prRefreshScrollViewDidEndDragging(const std::shared_ptr<platform::ScrollView>& scrollView);
    void prRefreshScrollViewDataSourceDidFinishedLoading(const std::shared_ptr<platform::ScrollView>& scrollView);

    const std::shared_ptr<platform::Label>& statusLabel() const { return statusLabel_; }
    const std::shared_ptr<platform::Label>& lastUpdatedLabel() const { return lastUpdatedLabel_; }
    const std::shared_ptr<platform::Layer>& arrowImage() const { return arrowImage_; }
    const std::shared_ptr<platform::ActivityIndicatorView>& activityView() const { return activityView_; }

    std::string className() const override { return "PRRefreshTableHeaderView"; }

private:
    void build();
    std::shared_ptr<PRRefreshTableHeaderView> self();
    bool delegateIsLoading();

    std::weak_ptr<PRRefreshTableHeaderDelegate> delegate_;
    State state_ = StateNormal;
    std::shared_ptr<platform::Label> lastUpdatedLabel_;
    std::shared_ptr<platform::Label> statusLabel_;
    std::shared_ptr<platform::Layer> arrowImage_;
    std::shared_ptr<platform::ActivityIndicatorView> activityView_;
};

}  // namespace clipora
