#include "share/Sharers/photo/PHURLEncodedForm.h"

#include "platform/foundation/Text.h"

namespace clipora {

using platform::Text;

platform::Data PHURLEncodedForm::dataAsWWWURLEncodedFormFromDictionary(const std::map<std::string, std::string>& form) {
    std::string body;
    for (const auto& [name, value] : form) {
        if (!body.empty()) body += '&';
        body += Text::percentEscape(name) + "=" + Text::percentEscape(value);
    }
    return Text::toData(body);
}

}  // namespace clipora
