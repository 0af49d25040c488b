#pragma once

#include <cstddef>
#include <string_view>

namespace clipora::platform {

// How deep an HTML page can nest once parsed, read from its tags alone.
//
// The HTML parser (gumbo) builds and frees its tree recursively and has no
// limit of its own: a page of a few hundred kilobytes of "<div>" ends the
// process. So a page is measured before it is handed over. The estimate
// follows the tree builder's rules where they shrink the tree (end tags close
// the matching open element within its scope, a few start tags close their
// open sibling, void and foreign self-closing elements stay empty) and leaves
// every other rule out, so it errs towards too deep: formatting elements that
// may be reopened later count until closed, and markup that the tokenizer may
// read as text (scripts, comments, foreign content) is counted as tags.
class HTMLDepthEstimate {
public:
    // True when the page cannot nest deeper than `limit` elements.
    static bool within(std::string_view html, std::size_t limit);
};

}  // namespace clipora::platform
