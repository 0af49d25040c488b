#pragma once

#include <memory>

#include "platform/foundation/Object.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"

namespace clipora {

// The shared colours and fonts of the list cells.
class DefaultStyleSheet : public platform::Object {
public:
    static std::shared_ptr<DefaultStyleSheet> globalStyleSheet();

    virtual platform::Color myHeadingColor() const;
    virtual platform::Color mySubtextColor() const;
    virtual platform::Color sectionHeaderTextColor() const;
    virtual platform::Font myHeadingFont() const;
    virtual platform::Font mySubtextFont() const;
};

}  // namespace clipora
