#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace clipora::platform {

// The elements of an HTML page as a browser's parser finds them (gumbo,
// with its error recovery), in document order, with their attributes and
// text. Enough of a document model for the few page scripts the web view
// understands: simple selectors, attribute edits and the links of the page.
class HTMLDocument {
public:
    struct Element {
        std::string tag;  // lower case
        std::vector<std::pair<std::string, std::string>> attributes;
        std::string text;  // the text of the element and its descendants, blanks collapsed

        std::optional<std::string> attribute(std::string_view name) const;
        void setAttribute(const std::string& name, const std::string& value);
        void removeAttribute(std::string_view name);
    };

    // Elements nest at most this deep, the root element counted. A deeper
    // page has no document: parse() answers an empty one and says so.
    static constexpr std::size_t kMaxDepth = 512;
    // The page is measured from its tags before the parser sees it (see
    // HTMLDepthEstimate); that measure errs towards too deep, so it refuses
    // only far past kMaxDepth.
    static constexpr std::size_t kEstimateLimit = 4 * kMaxDepth;

    HTMLDocument() = default;
    // Runs of white space as one blank, none at either end.
    static std::string collapseWhitespace(std::string_view text);
    // `tooDeep`, when given, is set to whether the page nests past kMaxDepth.
    static HTMLDocument parse(std::string_view html, bool* tooDeep = nullptr);

    const std::vector<Element>& elements() const { return elements_; }
    std::vector<Element>& elements() { return elements_; }
    // Indices of the elements that match a selector list: comma-separated
    // "tag", "*", "[attr]", "[attr=value]" (the value quoted or not) and a tag
    // followed by one such attribute test. std::nullopt for a selector
    // outside that grammar.
    std::optional<std::vector<std::size_t>> querySelectorAll(std::string_view selectors) const;

private:
    std::vector<Element> elements_;
};

}  // namespace clipora::platform
