#include "platform/uikit/HTMLForm.h"

#include <gumbo.h>

#include <utility>

#include "platform/foundation/Text.h"
#include "platform/uikit/HTMLDocument.h"

namespace clipora::platform {

namespace {

std::string attributeOf(const GumboElement& element, const char* name) {
    const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
    return attribute ? std::string(attribute->value) : std::string();
}

bool hasAttribute(const GumboElement& element, const char* name) {
    return gumbo_get_attribute(&element.attributes, name) != nullptr;
}

std::string inputType(const GumboElement& element) {
    static const char* const known[] = {"text",   "password", "email",    "search",        "tel",    "url",
                                        "number", "hidden",   "checkbox", "radio",         "submit", "image",
                                        "button", "reset",    "file",     "date",          "time",   "color",
                                        "range",  "month",    "week",     "datetime-local"};
    const std::string type = Text::lowercase(Text::trimWhitespaceAndNewlines(attributeOf(element, "type")));
    for (const char* name : known)
        if (type == name) return type;
    return "text";
}

// Escapes what a URL may not hold as written (blanks, controls, non-ASCII),
// as a browser does with an action attribute.
std::string escapedForURL(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '`' || c == '{' || c == '}' ||
            c == '|' || c == '\\' || c == '^') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// CR, LF and CRLF in a text area's value all become CRLF, as submitted.
std::string normalisedLineBreaks(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// One step of the walk: a node with the form and label it lies in, and the
// control whose text (a text area's value, a button's caption) it adds to.
struct Frame {
    const GumboNode* node;
    std::optional<std::size_t> form;
    std::optional<std::size_t> label;
    std::optional<std::pair<std::size_t, std::size_t>> textOf;  // form index, control index
    bool textIsLabel = false;                                   // a button's caption, not its value
};

struct Walk {
    std::vector<HTMLForm> forms;
    std::vector<std::string> labelTexts;
    std::vector<std::string> labelFor;
    std::vector<std::string> formIds;
    // Per control: its id, its label (if inside one), its "form" attribute.
    struct Extra {
        std::size_t form;
        std::size_t control;
        std::string id;
        std::optional<std::size_t> label;
        std::string placeholder;
    };
    std::vector<Extra> extras;
    // Controls outside any form that name one with their "form" attribute.
    struct Orphan {
        std::string formId;
        HTMLForm::Control control;
    };
    std::vector<Orphan> orphans;
    // The select being read and whether it already has its chosen option.
    std::optional<std::pair<std::size_t, std::size_t>> select;
    bool selectChosen = false;    // some option was taken
    bool selectExplicit = false;  // ... and it was marked selected
};

}  // namespace

bool HTMLForm::Control::isTextField() const {
    if (tag == "textarea") return true;
    if (tag != "input") return false;
    for (const char* kind : {"text", "password", "email", "search", "tel", "url", "number"})
        if (type == kind) return true;
    return false;
}

bool HTMLForm::Control::isSubmitButton() const {
    if (tag == "button") return type == "submit";
    return tag == "input" && (type == "submit" || type == "image");
}

std::vector<HTMLForm> HTMLForm::parse(std::string_view html) {
    Walk walk;
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    if (!output) return {};
    std::vector<Frame> stack{Frame{output->root, std::nullopt, std::nullopt, std::nullopt}};
    while (!stack.empty()) {
        Frame frame = stack.back();
        stack.pop_back();
        const GumboNode* node = frame.node;
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
            const char* text = node->v.text.text;
            if (frame.label) walk.labelTexts[*frame.label] += text;
            if (frame.textOf) {
                auto& control = walk.forms[frame.textOf->first].controls[frame.textOf->second];
                (frame.textIsLabel ? control.label : control.value) += text;
            }
            continue;
        }
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) continue;
        const GumboElement& element = node->v.element;
        Frame inner = frame;
        const GumboTag tag = element.tag;
        if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE) continue;
        if (tag == GUMBO_TAG_FORM) {
            HTMLForm form;
            form.id = attributeOf(element, "id");
            form.name = attributeOf(element, "name");
            form.action = Text::trimWhitespaceAndNewlines(attributeOf(element, "action"));
            form.method = Text::lowercase(Text::trimWhitespaceAndNewlines(attributeOf(element, "method"))) == "post"
                              ? "post"
                              : "get";
            walk.forms.push_back(std::move(form));
            inner.form = walk.forms.size() - 1;
        } else if (tag == GUMBO_TAG_LABEL) {
            walk.labelTexts.emplace_back();
            walk.labelFor.push_back(attributeOf(element, "for"));
            inner.label = walk.labelTexts.size() - 1;
        } else if (tag == GUMBO_TAG_INPUT || tag == GUMBO_TAG_BUTTON || tag == GUMBO_TAG_TEXTAREA ||
                   tag == GUMBO_TAG_SELECT) {
            Control control;
            control.tag = gumbo_normalized_tagname(tag);
            control.name = attributeOf(element, "name");
            control.disabled = hasAttribute(element, "disabled");
            if (tag == GUMBO_TAG_INPUT) {
                control.type = inputType(element);
                control.value = attributeOf(element, "value");
                control.checked = hasAttribute(element, "checked");
                if ((control.type == "checkbox" || control.type == "radio") && !hasAttribute(element, "value"))
                    control.value = "on";
            } else if (tag == GUMBO_TAG_BUTTON) {
                const std::string type = Text::lowercase(attributeOf(element, "type"));
                control.type = type == "button" || type == "reset" ? type : "submit";
                control.value = attributeOf(element, "value");
            } else {
                control.type = tag == GUMBO_TAG_TEXTAREA ? "textarea" : "select";
            }
            if (control.isSubmitButton()) {
                if (hasAttribute(element, "formaction")) control.formAction = attributeOf(element, "formaction");
                if (hasAttribute(element, "formmethod")) control.formMethod = attributeOf(element, "formmethod");
            }
            const std::string formId = attributeOf(element, "form");
            // (A plain index: the compiler cannot follow an optional here.)
            constexpr std::size_t kNoForm = static_cast<std::size_t>(-1);
            std::size_t owner = frame.form.value_or(kNoForm);
            if (!formId.empty()) {
                owner = kNoForm;
                for (std::size_t i = 0; i < walk.forms.size(); ++i)
                    if (walk.forms[i].id == formId) owner = i;
            }
            if (owner == kNoForm) {
                // A later form may carry that id; anything else belongs to no form.
                if (!formId.empty()) walk.orphans.push_back({formId, std::move(control)});
                continue;
            }
            auto& controls = walk.forms[owner].controls;
            controls.push_back(std::move(control));
            const std::size_t index = controls.size() - 1;
            walk.extras.push_back(
                {owner, index, attributeOf(element, "id"), frame.label, attributeOf(element, "placeholder")});
            if (tag == GUMBO_TAG_TEXTAREA || tag == GUMBO_TAG_BUTTON) {
                inner.textOf = std::pair{owner, index};
                inner.textIsLabel = tag == GUMBO_TAG_BUTTON;
            }
            if (tag == GUMBO_TAG_SELECT) {
                walk.select = std::pair{owner, index};
                walk.selectChosen = walk.selectExplicit = false;
            }
            if (tag == GUMBO_TAG_BUTTON) inner.label.reset();  // its caption is not its label's text
        } else if (tag == GUMBO_TAG_OPTION && walk.select) {
            auto& control = walk.forms[walk.select->first].controls[walk.select->second];
            const bool selected = hasAttribute(element, "selected");
            if (!walk.selectChosen || (selected && !walk.selectExplicit)) {
                control.value = attributeOf(element, "value");
                walk.selectChosen = true;
                walk.selectExplicit = selected;
                if (!hasAttribute(element, "value")) {
                    inner.textOf = walk.select;
                    inner.textIsLabel = false;
                }
            }
        }
        // Children in document order: pushed last to first.
        for (unsigned i = element.children.length; i > 0; --i) {
            Frame child = inner;
            child.node = static_cast<const GumboNode*>(element.children.data[i - 1]);
            stack.push_back(child);
        }
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);

    for (auto& orphan : walk.orphans)
        for (auto& form : walk.forms)
            if (form.id == orphan.formId) {
                form.controls.push_back(std::move(orphan.control));
                break;
            }
    for (const auto& extra : walk.extras) {
        HTMLForm::Control& control = walk.forms[extra.form].controls[extra.control];
        if (control.tag == "select") control.value = HTMLDocument::collapseWhitespace(control.value);
        if (control.tag == "button") {
            // The caption is what the user reads; the value attribute is sent.
            control.label = HTMLDocument::collapseWhitespace(control.label);
            continue;
        }
        std::optional<std::size_t> label = extra.label;
        if (!extra.id.empty())
            for (std::size_t i = 0; i < walk.labelFor.size(); ++i)
                if (walk.labelFor[i] == extra.id) label = i;
        if (label) control.label = HTMLDocument::collapseWhitespace(walk.labelTexts[*label]);
        if (control.label.empty() && control.isSubmitButton()) control.label = control.value;
        if (control.label.empty()) control.label = HTMLDocument::collapseWhitespace(extra.placeholder);
        if (control.label.empty()) control.label = control.name;
    }
    return std::move(walk.forms);
}

std::vector<std::pair<std::string, std::string>> HTMLForm::entries(std::optional<std::size_t> submitter) const {
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& control = controls[i];
        if (control.disabled || control.name.empty()) continue;
        if (control.tag == "button" || control.type == "submit" || control.type == "image" || control.type == "reset" ||
            control.type == "button") {
            if (!submitter || *submitter != i || !control.isSubmitButton()) continue;
            if (control.type == "image") {
                out.emplace_back(control.name + ".x", "0");
                out.emplace_back(control.name + ".y", "0");
            } else {
                out.emplace_back(control.name, control.value);
            }
            continue;
        }
        if ((control.type == "checkbox" || control.type == "radio") && !control.checked) continue;
        if (control.type == "file") continue;  // no file is ever chosen here
        out.emplace_back(control.name, control.tag == "textarea" ? normalisedLineBreaks(control.value) : control.value);
    }
    return out;
}

std::string HTMLForm::urlencoded(const std::vector<std::pair<std::string, std::string>>& pairs) {
    static const char hex[] = "0123456789ABCDEF";
    auto encode = [](std::string_view text) {
        std::string out;
        for (unsigned char c : text) {
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' || c == '-' ||
                c == '.' || c == '_') {
                out += static_cast<char>(c);
            } else if (c == ' ') {
                out += '+';
            } else {
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 0xF];
            }
        }
        return out;
    };
    std::string out;
    for (const auto& [name, value] : pairs) {
        if (!out.empty()) out += '&';
        out += encode(name) + "=" + encode(value);
    }
    return out;
}

std::optional<URLRequest> HTMLForm::submission(const URL& page, std::optional<std::size_t> submitter) const {
    if (submitter &&
        (*submitter >= controls.size() || !controls[*submitter].isSubmitButton() || controls[*submitter].disabled))
        return std::nullopt;
    std::string actionText = action;
    std::string methodText = method;
    if (submitter) {
        const Control& button = controls[*submitter];
        if (button.formAction) actionText = Text::trimWhitespaceAndNewlines(*button.formAction);
        if (button.formMethod) methodText = Text::lowercase(Text::trimWhitespaceAndNewlines(*button.formMethod));
    }
    auto target = URL::fromString(escapedForURL(actionText), page);
    if (!target) return std::nullopt;
    const std::string scheme = Text::lowercase(target->scheme());
    if (scheme != "http" && scheme != "https") return std::nullopt;
    const std::string body = urlencoded(entries(submitter));
    if (methodText == "post") {
        std::string address = target->absoluteString();
        address = address.substr(0, address.find('#'));
        auto url = URL::fromString(address);
        if (!url) return std::nullopt;
        URLRequest request(*url);
        request.setHTTPMethod("POST");
        request.setValueForHTTPHeaderField(std::string("application/x-www-form-urlencoded"), "Content-Type");
        request.setHTTPBody(Text::toData(body));
        return request;
    }
    std::string address = target->absoluteString();
    address = address.substr(0, address.find_first_of("?#")) + "?" + body;
    auto url = URL::fromString(address);
    if (!url) return std::nullopt;
    return URLRequest(*url);
}

}  // namespace clipora::platform
