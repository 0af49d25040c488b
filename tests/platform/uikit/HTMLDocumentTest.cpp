#include "platform/uikit/HTMLDocument.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/uikit/HTMLDepthEstimate.h"
#include "tests/support/Nesting.h"

namespace clipora::platform {
namespace {

// The tag repeated, numbered where it holds "#" (so that no two are alike).
std::string repeated(const std::string& tag, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        const auto mark = tag.find('#');
        text += mark == std::string::npos ? tag : tag.substr(0, mark) + std::to_string(i) + tag.substr(mark + 1);
    }
    return text;
}

TEST(HTMLDocumentTest, APageNestedPastTheLimitHasNoDocument) {
    // html and body come first: the divs make up the rest of the depth.
    for (const auto& [levels, accepted] : test::depthCases(HTMLDocument::kMaxDepth)) {
        bool tooDeep = true;
        const auto document = HTMLDocument::parse(test::nested("<div>", "x", "</div>", levels - 2), &tooDeep);
        EXPECT_EQ(tooDeep, !accepted) << levels;
        EXPECT_EQ(document.elements().size(), accepted ? levels + 1 : 0u) << levels;  // and head
        if (accepted) {
            EXPECT_EQ(document.elements().back().text, "x");
        }
    }
}

// Markup that makes the tree builder nest elements in ways a plain count of
// open tags would miss (or would see where there are none). Each page must
// be read or refused, never crash the parser; a hundred thousand repetitions
// are far past what the parser can take on its stack.
TEST(HTMLDocumentTest, MarkupThatHidesItsNestingNeverReachesTheParserTooDeep) {
    constexpr std::size_t kTimes = 100000;
    const std::pair<const char*, std::string> deep[] = {
        {"self-closing HTML elements", repeated("<div/>", kTimes)},
        {"end tags of elements never opened", repeated("<div></span>", kTimes)},
        {"formatting elements reopened in each paragraph", repeated("<b id=#><p>x</p>", kTimes)},
        {"misnested formatting elements", repeated("<b><div></b>", kTimes)},
        {"nested lists", repeated("<li><ul>", kTimes)},
        {"end tags outside their table", repeated("<div><table><td></div>", kTimes)},
        {"foreign content broken out of", repeated("<svg><p><x/>", kTimes)},
        {"style inside foreign content", "<svg><style>" + repeated("<div>", kTimes)},
        {"a quote inside an attribute name", repeated("<div a\"b>", kTimes)},
        {"empty comments", repeated("<!--><div>", kTimes)},
        {"nested tables", repeated("<table><tr><td>", kTimes)},
    };
    for (const auto& [label, html] : deep) {
        bool tooDeep = false;
        HTMLDocument::parse(html, &tooDeep);
        EXPECT_TRUE(tooDeep) << label;
    }
    // Pages that are long but flat are read whole.
    const std::pair<const char*, std::string> flat[] = {
        {"paragraphs left open", repeated("<p>x", 20000)},
        {"list items left open", "<ul>" + repeated("<li>x", 20000) + "</ul>"},
        {"table cells left open", "<table>" + repeated("<tr><td>x<td>y", 20000) + "</table>"},
        {"closed formatting", repeated("<b>x</b><i>y</i>", 20000)},
        {"self-closing foreign elements", "<svg>" + repeated("<path d='M0 0'/>", 20000) + "</svg>"},
        {"markup inside scripts", "<script>" + repeated("<div>", 20000) + "</script>"},
        {"markup inside comments", "<!--" + repeated("<div>", 20000) + "-->"},
    };
    for (const auto& [label, html] : flat) {
        bool tooDeep = true;
        const auto document = HTMLDocument::parse(html, &tooDeep);
        EXPECT_FALSE(tooDeep) << label;
        EXPECT_FALSE(document.elements().empty()) << label;
    }
}

}  // namespace
}  // namespace clipora::platform
