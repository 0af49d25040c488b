#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Date.h"

namespace clipora {

class PRRefreshTableHeaderView;

// What the pull-to-refresh header asks the screen it sits in.
class PRRefreshTableHeaderDelegate {
public:
    virtual ~PRRefreshTableHeaderDelegate() = default;

    // The user released the table far enough down: start a reload.
    virtual void prRefreshTableHeaderDidTriggerRefresh(const std::shared_ptr<PRRefreshTableHeaderView>& header) = 0;
    // Whether a reload is running (pulls are ignored meanwhile).
    virtual bool prRefreshTableHeaderDataSourceIsLoading(const std::shared_ptr<PRRefreshTableHeaderView>& header) = 0;
    // When the data was last updated; std::nullopt when the delegate does not
    // say (the header then shows no date).
    virtual std::optional<platform::Date> prRefreshTableHeaderDataSourceLastUpdated(
        const std::shared_ptr<PRRefreshTableHeaderView>& header) {
        (void)header;
        return std::nullopt;
    }
};

}  // namespace clipora
