#include "share/Core/SXItem.h"

#include <gtest/gtest.h>

#include "platform/foundation/Exception.h"
#include "platform/foundation/PropertyList.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"

namespace clipora {
namespace {

using platform::Value;

std::shared_ptr<platform::Image> smallImage() {
    auto bitmap = std::make_shared<platform::Bitmap>(2, 1);
    bitmap->setPixel(0, 0, {255, 0, 0, 255});
    bitmap->setPixel(1, 0, {0, 0, 255, 255});
    return platform::Image::imageWithBitmap(bitmap);
}

// Through the dictionary form and a property-list file (as the offline
// queue stores it) and back.
std::shared_ptr<SXItem> roundTrip(const SXItem& item) {
    auto bytes = platform::PropertyList::toData(Value(item.dictionaryRepresentation()));
    EXPECT_TRUE(bytes);
    auto read = platform::PropertyList::fromData(*bytes);
    EXPECT_TRUE(read && read->isDictionary());
    return SXItem::itemFromDictionary(*read->dictionary());
}

TEST(SXItemTest, EveryShareTypeSurvivesItsDictionaryForm) {
    auto link = SXItem::URLTitle(platform::URL::fromString("http://example.com/a?b=c%26d&e=%3D#f"), "Title");
    link->setTags("x y");
    link->setCustomValueForKey(Value("1"), "followMe");
    auto text = SXItem::text("Hello & <world>");
    auto image = SXItem::imageTitle(smallImage(), "Picture");
    auto file = SXItem::fileFilenameMimeTypeTitle(platform::Data{1, 2, 3}, "a.bin", "application/octet-stream", "F");
    auto userInfo = std::make_shared<SXItem>();
    userInfo->setShareType(SXItem::SXShareTypeUserInfoRequest);

    for (const auto& item : {link, text, image, file, userInfo}) {
        SCOPED_TRACE(SXItem::shareTypeToString(item->shareType()));
        auto back = roundTrip(*item);
        EXPECT_EQ(back->shareType(), item->shareType());
        EXPECT_EQ(back->URL(), item->URL());
        EXPECT_EQ(back->title(), item->title());
        EXPECT_EQ(back->text(), item->text());
        EXPECT_EQ(back->tags(), item->tags());
        EXPECT_EQ(back->custom(), item->custom());
        EXPECT_EQ(back->filename(), item->filename());
        EXPECT_EQ(back->mimeType(), item->mimeType());
        // File contents come back from the queue's data file, never from here.
        EXPECT_FALSE(back->data());
        ASSERT_EQ(back->image() != nullptr, item->image() != nullptr);
        if (item->image()) {
            for (int x = 0; x < 2; ++x)
                EXPECT_EQ(back->image()->bitmap()->pixel(x, 0), item->image()->bitmap()->pixel(x, 0));
        }
    }
    EXPECT_EQ(*link->dictionaryRepresentation()["URL"].string(), "http://example.com/a?b=c%26d&e=%3D#f");
}

TEST(SXItemTest, StoredLinksReadBackWhetherEscapedOrNot) {
    struct Case {
        const char* stored;
        const char* expected;  // none: no URL
    } cases[] = {
        {"http://example.com/a%20b", "http://example.com/a%20b"},
        // Written unescaped by older versions.
        {"http://example.com/a b", "http://example.com/a%20b"},
        {"http://example.com/\xC3\xA9t\xC3\xA9?q=\"x\"", "http://example.com/%C3%A9t%C3%A9?q=%22x%22"},
        {"http://example.com/100%", "http://example.com/100%25"},
        {"http://example.com/a#b#c", "http://example.com/a#b%23c"},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        auto url = SXItem::URLFromStoredString(c.stored);
        if (c.expected) {
            ASSERT_TRUE(url);
            EXPECT_EQ(url->absoluteString(), c.expected);
        } else {
            EXPECT_FALSE(url && !url->absoluteString().empty() && url->scheme() == "http");
        }
    }
    // An escape of bytes that are not text shows as it stands.
    auto item = SXItem::URL(*platform::URL::fromString("http://example.com/%FF"));
    EXPECT_EQ(item->displayURLString(), "http://example.com/%FF");
    EXPECT_EQ(SXItem::URL(*platform::URL::fromString("http://example.com/a%20b"))->displayURLString(),
              "http://example.com/a b");
}

TEST(SXItemTest, CustomValuesAndSwitches) {
    SXItem item;
    item.setCustomValueForKey(std::nullopt, "gone");
    ASSERT_TRUE(item.custom());
    EXPECT_TRUE(item.custom()->empty());
    item.setCustomValueForKey(Value("1"), "on");
    item.setCustomValueForKey(Value("yes"), "yes");
    item.setCustomValueForKey(Value(1), "number");
    EXPECT_TRUE(item.customBoolForSwitchKey("on"));
    EXPECT_FALSE(item.customBoolForSwitchKey("yes"));
    EXPECT_FALSE(item.customBoolForSwitchKey("number"));
    EXPECT_FALSE(item.customBoolForSwitchKey("missing"));
    item.setCustomValueForKey(std::nullopt, "on");
    EXPECT_FALSE(item.customValueForKey("on"));
}

TEST(SXItemTest, ShareTypeNamesAndDescription) {
    EXPECT_EQ(SXItem::shareTypeToString(1), "SXShareTypeURL");
    EXPECT_EQ(SXItem::shareTypeToString(5), "SXShareTypeUserInfoRequest");
    EXPECT_THROW(SXItem::shareTypeToString(6), platform::Exception);
    EXPECT_THROW(SXItem::shareTypeToString(-1), platform::Exception);
    auto item = SXItem::text("hi");
    EXPECT_EQ(item->description(),
              "Share type: SXShareTypeText\nURL:(null)\nImage:(null)\nTitle: (null)\nText: hi\nTags:(null)\nCustom "
              "fields:(null)");
}

}  // namespace
}  // namespace clipora
