#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

namespace platform {
class Image;
}

// What the user shares (a link, a text, a picture or a file) with its
// descriptive fields and a free dictionary of per-sharer extras. Every
// sharer holds one; the offline queue keeps items in their dictionary form.
class SXItem {
public:
    enum ShareType : int {
        SXShareTypeUndefined = 0,
        SXShareTypeURL = 1,
        SXShareTypeText = 2,
        SXShareTypeImage = 3,
        SXShareTypeFile = 4,
        SXShareTypeUserInfoRequest = 5,
    };

    SXItem() = default;
    virtual ~SXItem() = default;

    static std::shared_ptr<SXItem> URL(const platform::URL& url);
    static std::shared_ptr<SXItem> URLTitle(const std::optional<platform::URL>& url, std::optional<std::string> title);
    static std::shared_ptr<SXItem> image(std::shared_ptr<platform::Image> image);
    static std::shared_ptr<SXItem> imageTitle(std::shared_ptr<platform::Image> image, std::optional<std::string> title);
    static std::shared_ptr<SXItem> text(std::optional<std::string> text);
    static std::shared_ptr<SXItem> fileFilenameMimeTypeTitle(std::optional<platform::Data> data,
                                                             std::optional<std::string> filename,
                                                             std::optional<std::string> mimeType,
                                                             std::optional<std::string> title);
    // Rebuilds an item from its dictionary form. "data" is never read (the
    // offline queue restores file contents from its own data file).
    static std::shared_ptr<SXItem> itemFromDictionary(const platform::Value::Dictionary& dictionary);

    // The dictionary form: "shareType" always, every other key only when its
    // field is set; the URL as its absolute string (escapes kept, so the link
    // reads back exactly), the image as PNG.
    platform::Value::Dictionary dictionaryRepresentation() const;

    // Stores the value (a missing value removes the key); makes the custom
    // dictionary on first use.
    void setCustomValueForKey(std::optional<platform::Value> value, const std::string& key);
    std::optional<platform::Value> customValueForKey(std::string_view key) const;
    // True only for the string "1".
    bool customBoolForSwitchKey(std::string_view key) const;

    std::string description() const;
    // "SXShareTypeURL" and so on; throws platform::Exception for a type
    // outside 0 to 5.
    static std::string shareTypeToString(int type);

    // The URL for display: its absolute string with escapes removed, or as it
    // stands when that does not decode to text.
    std::string displayURLString() const;

    int shareType() const { return shareType_; }
    void setShareType(int type) { shareType_ = type; }
    const std::optional<platform::URL>& URL() const { return url_; }
    void setURL(std::optional<platform::URL> url) { url_ = std::move(url); }
    const std::shared_ptr<platform::Image>& image() const { return image_; }
    void setImage(std::shared_ptr<platform::Image> image) { image_ = std::move(image); }
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    const std::optional<std::string>& text() const { return text_; }
    void setText(std::optional<std::string> text) { text_ = std::move(text); }
    const std::optional<std::string>& tags() const { return tags_; }
    void setTags(std::optional<std::string> tags) { tags_ = std::move(tags); }
    const std::optional<platform::Data>& data() const { return data_; }
    void setData(std::optional<platform::Data> data) { data_ = std::move(data); }
    const std::optional<std::string>& mimeType() const { return mimeType_; }
    void setMimeType(std::optional<std::string> mimeType) { mimeType_ = std::move(mimeType); }
    const std::optional<std::string>& filename() const { return filename_; }
    void setFilename(std::optional<std::string> filename) { filename_ = std::move(filename); }
    const std::optional<platform::Value::Dictionary>& custom() const { return custom_; }
    void setCustom(std::optional<platform::Value::Dictionary> custom) { custom_ = std::move(custom); }

    // Parses a stored link: as it stands, else with the characters a URL may
    // not hold percent-encoded (links written unescaped by older versions).
    static std::optional<platform::URL> URLFromStoredString(std::string_view text);

private:
    int shareType_ = SXShareTypeUndefined;
    std::optional<platform::URL> url_;
    std::shared_ptr<platform::Image> image_;
    std::optional<std::string> title_;
    std::optional<std::string> text_;
    std::optional<std::string> tags_;
    std::optional<platform::Data> data_;
    std::optional<std::string> mimeType_;
    std::optional<std::string> filename_;
    std::optional<platform::Value::Dictionary> custom_;
};

}  // namespace clipora
