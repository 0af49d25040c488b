#pragma once

#include <memory>

namespace clipora {

class SXItem;
class SXSharer;

// May stop a share chosen in a menu or sheet before it starts.
class SXShareItemDelegate {
public:
    virtual ~SXShareItemDelegate() = default;
    // Yes lets the share start (the default).
    virtual bool aboutToShareItemWithSharer(const std::shared_ptr<SXItem>& item,
                                            const std::shared_ptr<SXSharer>& sharer) {
        (void)item;
        (void)sharer;
        return true;
    }
};

}  // namespace clipora
