#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/URL.h"

namespace clipora::platform {

// The forms of an HTML page and their controls, as a browser finds them
// (gumbo's parse, walked without recursion, so no nesting exhausts the
// stack), and the request that submits one: the successful controls in
// document order, form-urlencoded (UTF-8; a blank as "+"), sent by GET in
// the action's query or by POST as the body. A control belongs to the form
// that contains it, or to the one its "form" attribute names.
struct HTMLForm {
    struct Control {
        std::string tag;   // "input", "button", "textarea" or "select"
        std::string type;  // lower case: an input's type ("text" when absent or unknown), a
                           // button's ("submit" when absent), "textarea", "select"
        std::string name;
        std::string value;  // what would be sent (a select's chosen option)
        // What the user reads beside it: its label, else its placeholder (a
        // field) or its caption (a button).
        std::string label;
        bool checked = false;                   // checkboxes and radio buttons
        bool disabled = false;                  // never sent, cannot be typed into or pressed
        std::optional<std::string> formAction;  // a submit button's own action and method
        std::optional<std::string> formMethod;

        // A field the user types into: a text area, or an input of a text type
        // (text, password, email, search, tel, url, number).
        bool isTextField() const;
        bool isSecure() const { return tag == "input" && type == "password"; }
        // A button that submits its form (an input of type submit or image, a
        // button of type submit).
        bool isSubmitButton() const;
    };

    std::string id;
    std::string name;
    std::string action;  // as written (may be relative or empty)
    std::string method;  // lower case, "get" unless the page says "post"
    std::vector<Control> controls;

    static std::vector<HTMLForm> parse(std::string_view html);

    // The request that submits the form from the page at `page`, pressed
    // with `submitter` (an index into controls that is an enabled submit
    // button) or without one (the Return key in a field). The action is
    // resolved against the page (an empty one is the page itself). Nothing
    // for an action that is not an http(s) address or a submitter that is
    // not a submit button of the form.
    std::optional<URLRequest> submission(const URL& page, std::optional<std::size_t> submitter) const;

    // "a=1&b=x+y": the pairs form-urlencoded.
    static std::string urlencoded(const std::vector<std::pair<std::string, std::string>>& pairs);
    // The name/value pairs the submission sends.
    std::vector<std::pair<std::string, std::string>> entries(std::optional<std::size_t> submitter) const;
};

}  // namespace clipora::platform
