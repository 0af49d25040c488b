#include "platform/uikit/HTMLDepthEstimate.h"

#include <algorithm>
#include <deque>
#include <initializer_list>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

constexpr std::size_t npos = std::string_view::npos;
// The elements the tree builder adds without a tag: html, head or body.
constexpr std::size_t kImplied = 3;
// A table may gain a body, a row and a column group without tags.
constexpr std::size_t kTableWeight = 4;
// The tree builder keeps at most three like formatting elements open for
// reopening; the estimate keeps as many.
constexpr std::size_t kLikeFormattingKept = 3;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool among(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isVoid(std::string_view name) {
    return among(name, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img", "input",
                        "keygen", "link", "meta", "param", "source", "track", "wbr"});
}

bool isFormatting(std::string_view name) {
    return among(name,
                 {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"});
}

// Content the tokenizer reads as text up to the element's own end tag.
bool isRawText(std::string_view name) {
    return among(name, {"iframe", "noembed", "noframes", "script", "style", "textarea", "title", "xmp"});
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

enum class Space { HTML, SVG, MathML };

// Foreign elements whose children are read by the HTML rules again.
bool isIntegrationPoint(Space space, std::string_view name, const Attributes& attributes) {
    if (space == Space::SVG) return among(name, {"foreignobject", "desc", "title"});
    if (space != Space::MathML) return false;
    if (name == "annotation-xml")
        return std::any_of(attributes.begin(), attributes.end(), [](const auto& a) {
            const std::string value = Text::lowercase(a.second);
            return a.first == "encoding" && (value == "text/html" || value == "application/xhtml+xml");
        });
    return among(name, {"mi", "mo", "mn", "ms", "mtext"});
}

// Elements below which an end tag does not reach (scopes, and the modes in
// which other end tags are ignored).
bool isScopeBoundary(std::string_view name) {
    return among(name, {"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template", "select",
                        "frameset"});
}

// Start tags that leave foreign content for the HTML rules.
bool breaksOut(std::string_view name, const Attributes& attributes) {
    if (name == "font")
        return std::any_of(attributes.begin(), attributes.end(),
                           [](const auto& a) { return a.first == "color" || a.first == "face" || a.first == "size"; });
    return among(name,
                 {"b",     "big",   "blockquote", "body",   "br",   "center", "code",  "dd", "div",  "dl",   "dt",
                  "em",    "embed", "h1",         "h2",     "h3",   "h4",     "h5",    "h6", "head", "hr",   "i",
                  "img",   "li",    "listing",    "menu",   "meta", "nobr",   "ol",    "p",  "pre",  "ruby", "s",
                  "small", "span",  "strong",     "strike", "sub",  "sup",    "table", "tt", "u",    "ul",   "var"});
}

// Start tags that close an open paragraph.
bool closesParagraph(std::string_view name) {
    return among(name, {"address", "article", "aside",    "blockquote", "center", "details",   "dialog", "dir",
                        "div",     "dl",      "fieldset", "figcaption", "figure", "footer",    "form",   "h1",
                        "h2",      "h3",      "h4",       "h5",         "h6",     "header",    "hgroup", "hr",
                        "listing", "main",    "menu",     "nav",        "ol",     "p",         "pre",    "section",
                        "summary", "ul",      "li",       "dd",         "dt",     "plaintext", "xmp"});
}

// Elements that an end tag of no particular rule does not close its way past.
bool isSpecial(std::string_view name) {
    return among(name, {"address",
                        "applet",
                        "area",
                        "article",
                        "aside",
                        "base",
                        "basefont",
                        "bgsound",
                        "blockquote",
                        "body",
                        "br",
                        "button",
                        "caption",
                        "center",
                        "col",
                        "colgroup",
                        "dd",
                        "details",
                        "dir",
                        "div",
                        "dl",
                        "dt",
                        "embed",
                        "fieldset",
                        "figcaption",
                        "figure",
                        "footer",
                        "form",
                        "frame",
                        "frameset",
                        "h1",
                        "h2",
                        "h3",
                        "h4",
                        "h5",
                        "h6",
                        "head",
                        "header",
                        "hgroup",
                        "hr",
                        "html",
                        "iframe",
                        "img",
                        "input",
                        "isindex",
                        "li",
                        "link",
                        "listing",
                        "main",
                        "marquee",
                        "menu",
                        "meta",
                        "nav",
                        "noembed",
                        "noframes",
                        "noscript",
                        "object",
                        "ol",
                        "p",
                        "param",
                        "plaintext",
                        "pre",
                        "script",
                        "section",
                        "select",
                        "source",
                        "style",
                        "summary",
                        "table",
                        "tbody",
                        "td",
                        "template",
                        "textarea",
                        "tfoot",
                        "th",
                        "thead",
                        "title",
                        "tr",
                        "track",
                        "ul",
                        "wbr",
                        "xmp",
                        "mi",
                        "mo",
                        "mn",
                        "ms",
                        "mtext",
                        "annotation-xml",
                        "foreignobject",
                        "desc"});
}

// End tags that close their element when it is in scope, whatever lies above.
bool closesInScope(std::string_view name) {
    return among(
        name, {"address", "article", "aside",    "blockquote", "button",   "center",   "details", "dialog",  "dir",
               "div",     "dl",      "fieldset", "figcaption", "figure",   "footer",   "header",  "hgroup",  "listing",
               "main",    "menu",    "nav",      "ol",         "pre",      "section",  "summary", "ul",      "p",
               "li",      "dd",      "dt",       "h1",         "h2",       "h3",       "h4",      "h5",      "h6",
               "applet",  "marquee", "object",   "table",      "caption",  "colgroup", "tbody",   "tfoot",   "thead",
               "tr",      "td",      "th",       "select",     "template", "frameset", "option",  "optgroup"});
}

bool isHeading(std::string_view name) { return among(name, {"h1", "h2", "h3", "h4", "h5", "h6"}); }

struct Tag {
    std::string name;  // lower case
    bool end = false;
    bool selfClosing = false;
    Attributes attributes;           // names lower case, values as written
    std::string_view attributeText;  // as written: what tells like formatting elements apart
};

// Reads the tag whose '<' is at `at` the way the tokenizer does (a quote
// only quotes where an attribute value begins). Answers where the text goes
// on, or npos when the tag runs to the end (the tokenizer drops it).
std::size_t readTag(std::string_view text, std::size_t at, Tag& tag) {
    std::size_t i = at + 1;
    if (text[i] == '/') {
        tag.end = true;
        ++i;
    }
    const std::size_t nameStart = i;
    while (i < text.size() && !isSpace(text[i]) && text[i] != '/' && text[i] != '>') ++i;
    tag.name = Text::lowercase(text.substr(nameStart, i - nameStart));
    const std::size_t attributesStart = i;
    auto skipSpaces = [&] {
        while (i < text.size() && isSpace(text[i])) ++i;
    };
    for (;;) {
        skipSpaces();
        if (i >= text.size()) return npos;
        if (text[i] == '>') break;
        if (text[i] == '/') {
            if (i + 1 < text.size() && text[i + 1] == '>') {
                tag.selfClosing = true;
                ++i;
                break;
            }
            ++i;
            continue;
        }
        const std::size_t name = i++;  // the first character is part of the name, even '=' or a quote
        while (i < text.size() && !isSpace(text[i]) && text[i] != '/' && text[i] != '>' && text[i] != '=') ++i;
        auto& attribute = tag.attributes.emplace_back(Text::lowercase(text.substr(name, i - name)), std::string());
        skipSpaces();
        if (i >= text.size() || text[i] != '=') continue;
        ++i;
        skipSpaces();
        if (i >= text.size()) return npos;
        if (text[i] == '"' || text[i] == '\'') {
            const std::size_t close = text.find(text[i], i + 1);
            if (close == npos) return npos;
            attribute.second = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            const std::size_t value = i;
            while (i < text.size() && !isSpace(text[i]) && text[i] != '>') ++i;
            attribute.second = text.substr(value, i - value);
        }
    }
    tag.attributeText = text.substr(attributesStart, i - attributesStart);
    return i + 1;
}

class Estimate {
public:
    explicit Estimate(std::size_t limit) : limit_(limit) {}

    enum class Reading { Markup, Raw, StartTagsOnly };

    // False as soon as the page may nest deeper than the limit. `text` says
    // how to read what follows the tag.
    bool startTag(const Tag& tag, Reading& text) {
        text = Reading::Markup;
        std::string name = tag.name;
        if (inForeignContent()) {
            if (breaksOut(name, tag.attributes)) {
                while (inForeignContent()) pop();
            } else {
                return tag.selfClosing || push(name, 1, stack_.back().space, tag.attributes);
            }
        }
        if (name == "image") name = "img";
        if (among(name, {"html", "head", "body"})) return true;  // merged into the implied ones
        // Formatting elements closed by something else come back (as new
        // elements that stay open) before the next element or text; done
        // here before every start tag, and the text case is in the count.
        if (!reopen()) return false;
        if (name == "svg" || name == "math")
            return tag.selfClosing || push(name, 1, name == "svg" ? Space::SVG : Space::MathML, tag.attributes);
        if (isVoid(name)) return true;
        if (isRawText(name) && (open("frameset") || (open("select") && name != "script"))) {
            // The tree builder may ignore this tag there and read on as
            // markup, or read its text: count what opens in it, close nothing.
            text = Reading::StartTagsOnly;
            return true;
        }
        closeSiblings(name);
        if (isRawText(name)) text = Reading::Raw;
        if (isFormatting(name)) return pushFormatting(name, tag.attributeText);
        return push(name, name == "table" ? kTableWeight : 1, Space::HTML, {});
    }

    // Inside text that may be read as markup or not.
    bool startTagOnly(const Tag& tag) { return isVoid(tag.name) || push(tag.name, 1, Space::HTML, {}, false); }

    void endTag(const std::string& name) {
        // A form's end tag takes the form out of the stack but leaves what
        // is open inside it open.
        if (stack_.empty() || among(name, {"html", "head", "body", "form"})) return;
        if (isFormatting(name)) {
            // Only the plain case: elsewhere the tree builder may move and
            // reopen formatting elements rather than close them.
            if (top() != name) return;
            forget(stack_.back().entry);
            pop();
            return;
        }
        auto found = where_.find(name);
        if (found == where_.end() || found->second.empty()) return;
        const std::size_t at = found->second.back();
        if (outOfScope(boundaries_, at) || (name == "p" && outOfScope(buttons_, at)) ||
            (name == "li" && outOfScope(lists_, at)) || (!closesInScope(name) && outOfScope(specials_, at)))
            return;
        while (stack_.size() > at) pop();
    }

private:
    struct Open {
        std::string name;
        std::size_t weight;
        Space space;
        bool integrationPoint;
        std::size_t entry;  // its formatting entry, or npos
    };

    const std::string& top() const {
        static const std::string kNone;
        return stack_.empty() ? kNone : stack_.back().name;
    }
    bool open(const std::string& name) const {
        auto found = where_.find(name);
        return found != where_.end() && !found->second.empty();
    }
    bool inForeignContent() const {
        return !stack_.empty() && stack_.back().space != Space::HTML && !stack_.back().integrationPoint;
    }
    static bool outOfScope(const std::vector<std::size_t>& marks, std::size_t at) {
        return !marks.empty() && marks.back() > at;
    }

    // The rules by which a start tag surely closes the element just before it.
    void closeSiblings(const std::string& name) {
        if (name == "li" && top() == "li") pop();
        if ((name == "dd" || name == "dt") && among(top(), {"dd", "dt"})) pop();
        if (closesParagraph(name) && top() == "p") pop();
        if (isHeading(name) && isHeading(top())) pop();
        if ((name == "option" || name == "optgroup") && top() == "option") pop();
        if (among(name, {"td", "th", "tr", "tbody", "thead", "tfoot"}) && among(top(), {"td", "th"})) pop();
        if (among(name, {"tr", "tbody", "thead", "tfoot"}) && top() == "tr") pop();
        if (among(name, {"tbody", "thead", "tfoot"}) && among(top(), {"tbody", "thead", "tfoot"})) pop();
    }

    // A formatting element opens an entry that outlives it on the stack;
    // like elements keep at most three entries, the oldest going first.
    bool pushFormatting(const std::string& name, std::string_view attributes) {
        const std::string key = name + ' ' + std::string(attributes);
        auto& like = byKey_[key];
        if (like.size() >= kLikeFormattingKept) forget(like.front());
        const std::size_t entry = entries_.size();
        entries_.push_back({name, key, true});
        like.push_back(entry);
        return push(name, 1, Space::HTML, {}, true, entry);
    }

    void forget(std::size_t entry) {
        if (entry == npos || !entries_[entry].alive) return;
        entries_[entry].alive = false;
        offStack_.erase(entry);
        auto& like = byKey_[entries_[entry].key];
        like.erase(std::find(like.begin(), like.end(), entry));
    }

    // Puts every entry that is off the stack back on it, in order.
    bool reopen() {
        const std::vector<std::size_t> entries(offStack_.begin(), offStack_.end());
        offStack_.clear();
        for (std::size_t entry : entries)
            if (!push(entries_[entry].name, 1, Space::HTML, {}, true, entry)) return false;
        return true;
    }

    // `closable`: whether end tags may close it (not so for what opens in
    // text that the tree builder may have read as text).
    bool push(const std::string& name, std::size_t weight, Space space, const Attributes& attributes,
              bool closable = true, std::size_t entry = npos) {
        const std::size_t at = stack_.size();
        where_[closable ? name : std::string()].push_back(at);
        if (isScopeBoundary(name) || !closable) boundaries_.push_back(at);
        if (name == "button") buttons_.push_back(at);
        if (space == Space::HTML ? isSpecial(name) : isIntegrationPoint(space, name, attributes))
            specials_.push_back(at);
        if (name == "ol" || name == "ul") lists_.push_back(at);
        const bool integrationPoint = space != Space::HTML && isIntegrationPoint(space, name, attributes);
        stack_.push_back({closable ? name : std::string(), weight, space, integrationPoint, entry});
        depth_ += weight;
        // Entries off the stack count too: text may reopen them at any time.
        return kImplied + depth_ + offStack_.size() <= limit_;
    }

    void pop() {
        const std::size_t at = stack_.size() - 1;
        const Open& open = stack_.back();
        where_[open.name].pop_back();
        if (open.entry != npos && entries_[open.entry].alive) offStack_.insert(open.entry);
        for (auto* marks : {&boundaries_, &buttons_, &lists_, &specials_})
            if (!marks->empty() && marks->back() == at) marks->pop_back();
        depth_ -= open.weight;
        stack_.pop_back();
    }

    std::size_t limit_;
    std::vector<Open> stack_;
    std::unordered_map<std::string, std::vector<std::size_t>> where_;   // stack positions by name
    std::vector<std::size_t> boundaries_, buttons_, lists_, specials_;  // positions of scope limits
    struct Entry {
        std::string name;
        std::string key;  // name and attributes as written: what makes elements alike
        bool alive;
    };
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::deque<std::size_t>> byKey_;  // live entries of like elements, oldest first
    std::set<std::size_t> offStack_;                                  // live entries not on the stack
    std::size_t depth_ = 0;
};

}  // namespace

bool HTMLDepthEstimate::within(std::string_view html, std::size_t limit) {
    Estimate estimate(limit);
    const std::string lower = Text::lowercase(html);
    std::string startTagsOnlyUntil;  // the raw-text element whose text may be markup
    std::size_t at = 0;
    while ((at = html.find('<', at)) != npos) {
        const std::string_view rest = html.substr(at);
        std::size_t next = npos;
        if (rest.starts_with("<!--")) {
            if (rest.starts_with("<!-->"))
                next = at + 5;
            else if (rest.starts_with("<!--->"))
                next = at + 6;
            else {
                const std::size_t dashes = html.find("-->", at + 4), bang = html.find("--!>", at + 4);
                const std::size_t end = std::min(dashes, bang);
                next = end == npos ? npos : end + (end == dashes ? 3 : 4);
            }
        } else if (rest.starts_with("<!") || rest.starts_with("<?") ||
                   (rest.starts_with("</") && rest.size() > 2 && !isLetter(rest[2]))) {
            // Declarations and bogus comments end at the first '>'; so does
            // "</>", which is nothing.
            const std::size_t end = html.find('>', at + 2);
            next = end == npos ? npos : end + 1;
        } else if (rest.size() > 1 && (isLetter(rest[1]) || (rest[1] == '/' && rest.size() > 2))) {
            Tag tag;
            next = readTag(html, at, tag);
            if (next == npos) return true;
            if (tag.end) {
                if (startTagsOnlyUntil.empty()) estimate.endTag(tag.name);
                if (tag.name == startTagsOnlyUntil) startTagsOnlyUntil.clear();
            } else if (!startTagsOnlyUntil.empty()) {
                if (!estimate.startTagOnly(tag)) return false;
            } else {
                Estimate::Reading text = Estimate::Reading::Markup;
                if (!estimate.startTag(tag, text)) return false;
                if (text == Estimate::Reading::StartTagsOnly && !tag.selfClosing) startTagsOnlyUntil = tag.name;
                if (text == Estimate::Reading::Raw && !tag.selfClosing) {
                    // Up to the first place its end tag could be: the
                    // tokenizer never ends the text earlier.
                    const std::string close = "</" + tag.name;
                    std::size_t end = next;
                    for (;; ++end) {
                        end = lower.find(close, end);
                        if (end == npos) return true;
                        const std::size_t after = end + close.size();
                        if (after >= lower.size() || isSpace(lower[after]) || lower[after] == '/' ||
                            lower[after] == '>')
                            break;
                    }
                    next = end;
                }
            }
        } else {
            next = at + 1;  // a '<' in text
        }
        if (next == npos) return true;
        at = next;
    }
    return true;
}

}  // namespace clipora::platform
