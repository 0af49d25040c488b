#include "share/Core/SXItem.h"

#include <cctype>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Image.h"

namespace clipora {

using platform::Text;
using platform::Value;

std::shared_ptr<SXItem> SXItem::URL(const platform::URL& url) { return URLTitle(url, std::nullopt); }

std::shared_ptr<SXItem> SXItem::URLTitle(const std::optional<platform::URL>& url, std::optional<std::string> title) {
    auto item = std::make_shared<SXItem>();
    item->setShareType(SXShareTypeURL);
    item->setURL(url);
    item->setTitle(std::move(title));
    return item;
}

std::shared_ptr<SXItem> SXItem::image(std::shared_ptr<platform::Image> image) {
    return imageTitle(std::move(image), std::nullopt);
}

std::shared_ptr<SXItem> SXItem::imageTitle(std::shared_ptr<platform::Image> image, std::optional<std::string> title) {
    auto item = std::make_shared<SXItem>();
    item->setShareType(SXShareTypeImage);
    item->setImage(std::move(image));
    item->setTitle(std::move(title));
    return item;
}

std::shared_ptr<SXItem> SXItem::text(std::optional<std::string> text) {
    auto item = std::make_shared<SXItem>();
    item->setShareType(SXShareTypeText);
    item->setText(std::move(text));
    return item;
}

std::shared_ptr<SXItem> SXItem::fileFilenameMimeTypeTitle(std::optional<platform::Data> data,
                                                          std::optional<std::string> filename,
                                                          std::optional<std::string> mimeType,
                                                          std::optional<std::string> title) {
    auto item = std::make_shared<SXItem>();
    item->setShareType(SXShareTypeFile);
    item->setData(std::move(data));
    item->setFilename(std::move(filename));
    item->setMimeType(std::move(mimeType));
    item->setTitle(std::move(title));
    return item;
}

std::optional<platform::URL> SXItem::URLFromStoredString(std::string_view text) {
    if (auto url = platform::URL::fromString(text)) return url;
    // Older files hold the link with its escapes removed: escape what may
    // not stand in a URL (blanks, controls, non-ASCII bytes, a '%' that
    // starts no escape, a second '#') and try again.
    static constexpr std::string_view kIllegal = "\"<>\\^`{|}";
    std::string escaped;
    bool sawHash = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        bool isEscape = c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                        std::isxdigit(static_cast<unsigned char>(text[i + 2]));
        bool illegal = c <= 0x20 || c >= 0x7f || kIllegal.find(static_cast<char>(c)) != std::string_view::npos ||
                       (c == '%' && !isEscape) || (c == '#' && sawHash);
        if (c == '#') sawHash = true;
        if (illegal) {
            escaped += Text::format("%%%02X", static_cast<int>(c));
        } else {
            escaped += static_cast<char>(c);
        }
    }
    return platform::URL::fromString(escaped);
}

std::shared_ptr<SXItem> SXItem::itemFromDictionary(const Value::Dictionary& dictionary) {
    auto item = std::make_shared<SXItem>();
    auto read = [&](std::string_view key) -> std::optional<std::string> {
        auto it = dictionary.find(key);
        if (it == dictionary.end() || !it->second.isString()) return std::nullopt;
        return *it->second.string();
    };
    if (auto it = dictionary.find("shareType"); it != dictionary.end()) item->setShareType(it->second.intValue());
    if (auto url = read("URL")) item->setURL(URLFromStoredString(*url));
    item->setTitle(read("title"));
    item->setText(read("text"));
    item->setTags(read("tags"));
    if (auto it = dictionary.find("custom"); it != dictionary.end() && it->second.isDictionary()) {
        item->setCustom(*it->second.dictionary());
    }
    item->setMimeType(read("mimeType"));
    item->setFilename(read("filename"));
    if (auto it = dictionary.find("image"); it != dictionary.end() && it->second.isData()) {
        item->setImage(platform::Image::imageWithData(*it->second.data()));
    }
    return item;
}

Value::Dictionary SXItem::dictionaryRepresentation() const {
    Value::Dictionary d;
    d["shareType"] = Value(shareType_);
    if (custom_) d["custom"] = Value(*custom_);
    if (url_) d["URL"] = Value(url_->absoluteString());
    if (title_) d["title"] = Value(*title_);
    if (text_) d["text"] = Value(*text_);
    if (tags_) d["tags"] = Value(*tags_);
    if (mimeType_) d["mimeType"] = Value(*mimeType_);
    if (filename_) d["filename"] = Value(*filename_);
    if (data_) d["data"] = Value(*data_);
    if (image_) d["image"] = Value(image_->pngRepresentation());
    return d;
}

void SXItem::setCustomValueForKey(std::optional<Value> value, const std::string& key) {
    if (!custom_) custom_.emplace();
    if (value) {
        (*custom_)[key] = std::move(*value);
    } else {
        custom_->erase(key);
    }
}

std::optional<Value> SXItem::customValueForKey(std::string_view key) const {
    if (!custom_) return std::nullopt;
    auto it = custom_->find(key);
    if (it == custom_->end()) return std::nullopt;
    return it->second;
}

bool SXItem::customBoolForSwitchKey(std::string_view key) const {
    auto value = customValueForKey(key);
    return value && value->isString() && *value->string() == "1";
}

std::string SXItem::shareTypeToString(int type) {
    static constexpr const char* kNames[] = {"SXShareTypeUndefined", "SXShareTypeURL",  "SXShareTypeText",
                                             "SXShareTypeImage",     "SXShareTypeFile", "SXShareTypeUserInfoRequest"};
    if (type < 0 || type > 5) throw platform::Exception("NSGenericException", "Unexpected FormatType.");
    return kNames[type];
}

std::string SXItem::displayURLString() const {
    if (!url_) return {};
    if (auto plain = Text::percentUnescape(url_->absoluteString())) return *plain;
    return url_->absoluteString();
}

std::string SXItem::description() const {
    auto orNull = [](const std::optional<std::string>& s) { return s ? *s : std::string("(null)"); };
    return Text::format("Share type: %@\nURL:%@\nImage:%@\nTitle: %@\nText: %@\nTags:%@\nCustom fields:%@",
                        shareTypeToString(shareType_), url_ ? url_->absoluteString() : std::string("(null)"),
                        image_ ? image_->description() : std::string("(null)"), orNull(title_), orNull(text_),
                        orNull(tags_), custom_ ? Value(*custom_).description() : std::string("(null)"));
}

}  // namespace clipora
