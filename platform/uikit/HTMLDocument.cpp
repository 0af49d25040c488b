#include "platform/uikit/HTMLDocument.h"

#include <gumbo.h>

#include <cctype>
#include <regex>

#include "platform/foundation/Text.h"
#include "platform/uikit/HTMLDepthEstimate.h"

namespace clipora::platform {

namespace {

std::string tagName(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(element.tag);
    GumboStringPiece original = element.original_tag;
    gumbo_tag_from_original_text(&original);
    return Text::lowercase(std::string_view(original.data, original.length));
}

// Appends the element (and its descendants) to `out`; answers its raw text.
// `depth` counts the element itself; past the limit `tooDeep` is set and
// nothing more is collected.
std::string collect(const GumboNode* node, std::vector<HTMLDocument::Element>& out, std::size_t depth, bool& tooDeep) {
    if (tooDeep) return std::string();
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA)
        return node->v.text.text;
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) return std::string();
    if (depth > HTMLDocument::kMaxDepth) {
        tooDeep = true;
        return std::string();
    }
    const GumboElement& element = node->v.element;
    const std::size_t index = out.size();
    HTMLDocument::Element entry;
    entry.tag = tagName(element);
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
        entry.attributes.emplace_back(Text::lowercase(attribute->name), attribute->value);
    }
    out.push_back(std::move(entry));
    std::string text;
    if (element.tag != GUMBO_TAG_SCRIPT && element.tag != GUMBO_TAG_STYLE)
        for (unsigned i = 0; i < element.children.length; ++i)
            text += collect(static_cast<const GumboNode*>(element.children.data[i]), out, depth + 1, tooDeep);
    out[index].text = HTMLDocument::collapseWhitespace(text);
    return text;
}

struct Simple {
    std::string tag;  // empty or "*": any
    std::optional<std::string> attribute;
    std::optional<std::string> value;
};

std::optional<Simple> parseSimple(const std::string& text) {
    static const std::regex pattern(
        R"re(^([A-Za-z*][A-Za-z0-9-]*)?(?:\[\s*([A-Za-z_:][-A-Za-z0-9_:.]*)\s*(?:=\s*(?:"([^"]*)"|'([^']*)'|([^\]\s"']+))\s*)?\])?$)re");
    std::smatch match;
    if (text.empty() || !std::regex_match(text, match, pattern)) return std::nullopt;
    Simple simple;
    simple.tag = Text::lowercase(match[1].str());
    if (match[2].matched) simple.attribute = Text::lowercase(match[2].str());
    for (int group : {3, 4, 5})
        if (match[group].matched) simple.value = match[group].str();
    return simple;
}

bool matches(const Simple& simple, const HTMLDocument::Element& element) {
    if (!simple.tag.empty() && simple.tag != "*" && simple.tag != element.tag) return false;
    if (!simple.attribute) return true;
    auto value = element.attribute(*simple.attribute);
    return value && (!simple.value || *value == *simple.value);
}

}  // namespace

std::string HTMLDocument::collapseWhitespace(std::string_view text) {
    std::string out;
    bool space = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            space = true;
            continue;
        }
        if (space && !out.empty()) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

std::optional<std::string> HTMLDocument::Element::attribute(std::string_view name) const {
    for (const auto& [key, value] : attributes)
        if (key == name) return value;
    return std::nullopt;
}

void HTMLDocument::Element::setAttribute(const std::string& name, const std::string& value) {
    const std::string key = Text::lowercase(name);
    for (auto& attribute : attributes)
        if (attribute.first == key) {
            attribute.second = value;
            return;
        }
    attributes.emplace_back(key, value);
}

void HTMLDocument::Element::removeAttribute(std::string_view name) {
    const std::string key = Text::lowercase(name);
    std::erase_if(attributes, [&](const auto& attribute) { return attribute.first == key; });
}

HTMLDocument HTMLDocument::parse(std::string_view html, bool* tooDeep) {
    bool deep = !HTMLDepthEstimate::within(html, kEstimateLimit);
    HTMLDocument document;
    if (!deep) {
        GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
        if (output) {
            collect(output->root, document.elements_, 1, deep);
            gumbo_destroy_output(&kGumboDefaultOptions, output);
        }
        if (deep) document.elements_.clear();
    }
    if (tooDeep) *tooDeep = deep;
    return document;
}

std::optional<std::vector<std::size_t>> HTMLDocument::querySelectorAll(std::string_view selectors) const {
    std::vector<Simple> list;
    for (const std::string& piece : Text::split(selectors, ",")) {
        auto simple = parseSimple(Text::trimWhitespaceAndNewlines(piece));
        if (!simple) return std::nullopt;
        list.push_back(std::move(*simple));
    }
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < elements_.size(); ++i)
        for (const Simple& simple : list)
            if (matches(simple, elements_[i])) {
                found.push_back(i);
                break;
            }
    return found;
}

}  // namespace clipora::platform
