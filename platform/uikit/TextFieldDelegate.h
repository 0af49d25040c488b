#pragma once

#include <memory>
#include <string>

#include "platform/uikit/TextRange.h"

namespace clipora::platform {

class TextField;

// Asked and told about a text field's editing. Every operation is optional;
// the defaults allow everything.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(const std::shared_ptr<TextField>&) { return true; }
    virtual void textFieldDidBeginEditing(const std::shared_ptr<TextField>&) {}
    virtual bool textFieldShouldEndEditing(const std::shared_ptr<TextField>&) { return true; }
    virtual void textFieldDidEndEditing(const std::shared_ptr<TextField>&) {}
    virtual bool textFieldShouldChangeCharactersInRangeReplacementString(const std::shared_ptr<TextField>&, TextRange,
                                                                         const std::string&) {
        return true;
    }
    virtual bool textFieldShouldClear(const std::shared_ptr<TextField>&) { return true; }
    virtual bool textFieldShouldReturn(const std::shared_ptr<TextField>&) { return true; }
};

}  // namespace clipora::platform
