#include "social/sdk/FBXMLHandler.h"

#include <utility>

#include "platform/foundation/Text.h"

namespace clipora {

using platform::Value;

namespace {

bool isUnicodeWhitespace(char32_t ch) {
    switch (ch) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000: return true;
    default: return ch >= 0x2000 && ch <= 0x200A;
    }
}

// True when the text holds nothing but whitespace and line breaks.
bool isBlank(const std::string& text) {
    const auto decoded = platform::Text::decodeUTF8(text);
    if (!decoded) return false;
    for (char32_t ch : *decoded)
        if (!isUnicodeWhitespace(ch)) return false;
    return true;
}

const std::string kNoName;

}  // namespace

void FBXMLHandler::parserDidStartElementNamespaceURIQualifiedNameAttributes(platform::XMLParser&,
                                                                            const std::string& elementName,
                                                                            const std::string&, const std::string&,
                                                                            const Attributes& attributes) {
    flushCharacters();
    const auto list = attributes.find("list");
    stack_.push_back(list != attributes.end() && list->second == "true" ? Value(Value::Array{}) : Value());
    nameStack_.push_back(elementName);
}

void FBXMLHandler::parserDidEndElementNamespaceURIQualifiedName(platform::XMLParser&, const std::string&,
                                                                const std::string&, const std::string&) {
    flushCharacters();
    if (stack_.empty()) return;
    Value value = std::move(stack_.back());
    std::string name = std::move(nameStack_.back());
    stack_.pop_back();
    nameStack_.pop_back();
    if (Value* parent = topObject(true)) {
        if (Value::Array* array = parent->array()) {
            array->push_back(std::move(value));
        } else if (Value::Dictionary* dictionary = parent->dictionary()) {
            dictionary->insert_or_assign(std::move(name), std::move(value));
        }
        // A parent that already holds text keeps it; the child is dropped.
    } else {
        rootObject_ = std::move(value);
        rootName_ = std::move(name);
    }
}

void FBXMLHandler::parserFoundCharacters(platform::XMLParser&, const std::string& characters) {
    if (chars_) {
        chars_->append(characters);
    } else {
        chars_ = characters;
    }
}

void FBXMLHandler::parserParseErrorOccurred(platform::XMLParser&, const platform::Error& error) {
    parseError_ = error;
    // A malformed reply has no root, even when its root element had ended
    // before the error was found.
    rootObject_.reset();
    rootName_.reset();
}

const std::string& FBXMLHandler::topName() const { return nameStack_.empty() ? kNoName : nameStack_.back(); }

Value* FBXMLHandler::topObject(bool create) {
    if (stack_.empty()) return nullptr;
    Value& top = stack_.back();
    if (create && top.isNull()) top = Value(Value::Dictionary{});
    return &top;
}

Value* FBXMLHandler::topContainer() {
    if (stack_.size() < 2) return nullptr;
    Value& container = stack_[stack_.size() - 2];
    if (container.isNull()) container = Value(Value::Dictionary{});
    return &container;
}

void FBXMLHandler::flushCharacters() {
    std::optional<std::string> text = std::move(chars_);
    chars_.reset();
    if (!text || stack_.empty() || isBlank(*text)) return;
    const Value* container = topContainer();
    if (container && container->isArray()) {
        Value::Dictionary entry;
        entry.emplace(topName(), Value(std::move(*text)));
        stack_.back() = Value(std::move(entry));
    } else {
        stack_.back() = Value(std::move(*text));
    }
}

}  // namespace clipora
