#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Coding.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyTable.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "social/graph/Album.h"
#include "social/graph/Comment.h"
#include "social/graph/Page.h"
#include "social/graph/Photo.h"
#include "social/graph/TPAutoArchiver.h"
#include "social/graph/Tag.h"
#include "social/graph/User.h"
#include "social/graph/Video.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using platform::Data;
using platform::Date;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;
using platform::Value;

// A record of the tests' own, to exercise the archiver's hooks.
class Sample : public TPAutoArchiving {
public:
    std::optional<std::string> name;
    bool flag = false;
    std::optional<std::string> secret;
    std::string extra = "computed";
    std::vector<std::string> exclude;
    std::vector<std::string> add;

    std::string classNameForCoder() const override { return "GraphTestSample"; }
    void encodeWithCoder(KeyedArchiver& coder) const override { TPAutoArchiver::archiveObjectWithCoder(this, &coder); }
    static std::shared_ptr<Sample> initWithCoder(KeyedUnarchiver& coder) {
        auto sample = std::make_shared<Sample>();
        TPAutoArchiver::unarchiveObjectWithCoder(sample.get(), &coder);
        return sample;
    }
    std::vector<std::string> autoArchiverKeysToExclude() const override { return exclude; }
    std::vector<std::string> autoArchiverKeysToAdd() const override { return add; }
    std::optional<Value> valueForKey(std::string_view key) const override {
        if (key == "extra") return Value(extra);
        return TPAutoArchiving::valueForKey(key);
    }

    const std::optional<std::string>& getName() const { return name; }
    void setName(std::optional<std::string> v) { name = std::move(v); }
    bool getFlag() const { return flag; }
    void setFlag(bool v) { flag = v; }
    const std::optional<std::string>& getSecret() const { return secret; }
    void setSecret(std::optional<std::string> v) { secret = std::move(v); }
};

// A record that declares nothing.
class Bare : public TPAutoArchiving {
public:
    std::string classNameForCoder() const override { return "GraphTestBare"; }
    void encodeWithCoder(KeyedArchiver& coder) const override { TPAutoArchiver::archiveObjectWithCoder(this, &coder); }
    static std::shared_ptr<Bare> initWithCoder(KeyedUnarchiver& coder) {
        auto bare = std::make_shared<Bare>();
        TPAutoArchiver::unarchiveObjectWithCoder(bare.get(), &coder);
        return bare;
    }
};

class GraphRecordsTest : public test::PlatformTest {
protected:
    static void SetUpTestSuite() {
        platform::CodingRegistry::registerClass<Sample>("GraphTestSample");
        platform::CodingRegistry::registerProperties("GraphTestSample",
                                                     platform::PropertyTable::Builder<Sample>()
                                                         .string("name", &Sample::getName, &Sample::setName)
                                                         .boolean("flag", &Sample::getFlag, &Sample::setFlag)
                                                         .string("secret", &Sample::getSecret, &Sample::setSecret)
                                                         .build());
        platform::CodingRegistry::registerClass<Bare>("GraphTestBare");
    }

    template <class T>
    static std::shared_ptr<T> roundTrip(const std::shared_ptr<T>& object) {
        std::optional<platform::Error> error;
        auto data = KeyedArchiver::archivedData(Value(std::static_pointer_cast<platform::Object>(object)),
                                                KeyedArchiver::kRootKey, &error);
        EXPECT_TRUE(data) << (error ? error->description() : "");
        if (!data) return nullptr;
        auto value = KeyedUnarchiver::unarchivedObject(*data, {object->classNameForCoder()}, "root", &error);
        EXPECT_TRUE(value) << (error ? error->description() : "");
        return value ? value->template objectAs<T>() : nullptr;
    }

    // The dictionary TPAutoArchiver wrote for an object, read back raw.
    static Value::Dictionary blobOf(const platform::Coding& object) {
        KeyedArchiver coder;
        object.encodeWithCoder(coder);
        auto data = coder.finishEncoding();
        EXPECT_TRUE(data);
        KeyedUnarchiver reader(data.value_or(Data()));
        auto blob = reader.decodeObject(TPAutoArchiver::kValuesBlobKey);
        return blob && blob->isDictionary() ? *blob->dictionary() : Value::Dictionary();
    }
};

TEST_F(GraphRecordsTest, KeyListIsTheDeclaredPropertiesInOrder) {
    EXPECT_EQ(TPAutoArchiver::propertyKeysForClass_("Video"),
              (std::vector<std::string>{"videoID", "title", "description", "thumbnailLink", "privacy", "image",
                                        "updatedTime", "videoPageLink", "videoPath", "ownerUID", "ownerName", "src",
                                        "srcHD", "url", "isLocal"}));
    EXPECT_EQ(TPAutoArchiver::propertyKeysForClass_("Photo"),
              (std::vector<std::string>{"caption", "tags", "comments", "likes", "imagePath", "imageHeight",
                                        "imageWidth", "asset", "pid", "aid", "objectID", "ownerID", "ownerName",
                                        "srcSmall", "srcBig", "photoPageLink"}));
    EXPECT_EQ(TPAutoArchiver::propertyKeysForClass_("Comment"),
              (std::vector<std::string>{"fromUser", "objectID", "text", "date"}));
    EXPECT_EQ(TPAutoArchiver::propertyKeysForClass_("User"),
              (std::vector<std::string>{"uid", "name", "objectID", "profilePhotoLink"}));
    EXPECT_FALSE(TPAutoArchiver::propertyKeysForClass_(""));
    EXPECT_FALSE(TPAutoArchiver::propertyKeysForClass_("GraphTestBare"));
}

TEST_F(GraphRecordsTest, ArchiverHooksAndNullArguments) {
    auto sample = std::make_shared<Sample>();
    sample->flag = true;
    sample->secret = "s3cret";
    sample->exclude = {"secret"};
    sample->add = {"extra"};

    Value::Dictionary blob = blobOf(*sample);
    // A property without a value is the null value; the flag a number.
    EXPECT_EQ(blob, (Value::Dictionary{{"name", Value()}, {"flag", Value(true)}, {"extra", Value("computed")}}));

    auto back = roundTrip(sample);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, std::nullopt);
    EXPECT_TRUE(back->flag);
    EXPECT_EQ(back->secret, std::nullopt);

    // Nothing at all for a missing object or coder.
    KeyedArchiver coder;
    TPAutoArchiver::archiveObjectWithCoder(nullptr, &coder);
    TPAutoArchiver::archiveObjectWithCoder(sample.get(), nullptr);
    TPAutoArchiver::unarchiveObjectWithCoder(sample.get(), nullptr);
    auto data = coder.finishEncoding();
    ASSERT_TRUE(data);
    KeyedUnarchiver reader(*data);
    EXPECT_FALSE(reader.containsValue(TPAutoArchiver::kValuesBlobKey));
    // An archive without the key sets nothing.
    TPAutoArchiver::unarchiveObjectWithCoder(sample.get(), &reader);
    EXPECT_TRUE(sample->flag);

    // A class without declared properties writes an empty dictionary.
    EXPECT_TRUE(blobOf(Bare()).empty());
    EXPECT_TRUE(roundTrip(std::make_shared<Bare>()));
}

TEST_F(GraphRecordsTest, VideoRoundTrip) {
    auto fresh = std::make_shared<Video>();
    EXPECT_FALSE(fresh->isLocal());

    auto video = std::make_shared<Video>();
    video->setVideoID("400001");
    video->setTitle("Robin at the beach");
    video->setDescriptionText("Waves and wind.");
    video->setThumbnailLink("https://graph.social.test/files/thumbs/400001.png");
    video->setPrivacy("EVERYONE");
    video->setImage(platform::Image::imageWithBitmap(std::make_shared<platform::Bitmap>(2, 3), 1.0f));
    video->setUpdatedTime(Date::fromTimeIntervalSince1970(1330000000));
    video->setVideoPath(platform::URL::fileURLWithPath("/tmp/clip one.mp4"));
    video->setOwnerUID("100001");
    video->setOwnerName("Me");
    video->setSrc("https://graph.social.test/files/videos/400001.mp4");
    video->setUrl("clip.mp4");
    video->setIsLocal(true);

    auto back = roundTrip(video);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->videoID(), video->videoID());
    EXPECT_EQ(back->title(), video->title());
    EXPECT_EQ(back->descriptionText(), video->descriptionText());
    EXPECT_EQ(back->thumbnailLink(), video->thumbnailLink());
    EXPECT_EQ(back->privacy(), video->privacy());
    ASSERT_TRUE(back->image());
    EXPECT_TRUE(back->image()->isEqual(*video->image()));
    EXPECT_EQ(back->updatedTime(), video->updatedTime());
    EXPECT_EQ(back->videoPageLink(), std::nullopt);
    ASSERT_TRUE(back->videoPath());
    EXPECT_EQ(back->videoPath()->path(), "/tmp/clip one.mp4");
    EXPECT_EQ(back->ownerUID(), video->ownerUID());
    EXPECT_EQ(back->ownerName(), video->ownerName());
    EXPECT_EQ(back->src(), video->src());
    EXPECT_EQ(back->srcHD(), std::nullopt);
    EXPECT_EQ(back->url(), video->url());
    EXPECT_TRUE(back->isLocal());
}

TEST_F(GraphRecordsTest, PhotoRoundTripLeavesTheAssetOut) {
    auto tag = std::make_shared<Tag>();
    tag->setTagName("Alex");
    tag->setTagUID("100002");
    tag->setLocation({12.5f, 40.0f});
    auto author = std::make_shared<User>();
    author->setUid("100003");
    author->setName("Blair");
    auto photo = std::make_shared<Photo>();
    photo->setCaption("Hill");
    photo->setTags({tag});
    photo->setComments({Comment::initWithObjectIDTextDate(author, "9", "Nice", Date::fromTimeIntervalSince1970(5))});
    photo->setLikes({author});
    photo->setImageHeight(480);
    photo->setImageWidth(-1);
    photo->setAsset(std::make_shared<platform::Object>());  // not archivable
    photo->setPid("500001");

    EXPECT_FALSE(blobOf(*photo).contains("asset"));
    auto back = roundTrip(photo);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->caption(), "Hill");
    EXPECT_EQ(back->asset(), nullptr);
    EXPECT_EQ(back->imageHeight(), 480);
    EXPECT_EQ(back->imageWidth(), -1);
    EXPECT_EQ(back->pid(), "500001");
    ASSERT_EQ(back->tags().size(), 1u);
    EXPECT_EQ(back->tags()[0]->tagName(), "Alex");
    EXPECT_EQ(back->tags()[0]->location(), (platform::Point{12.5f, 40.0f}));
    ASSERT_EQ(back->comments().size(), 1u);
    EXPECT_EQ(back->comments()[0]->text(), "Nice");
    EXPECT_EQ(back->comments()[0]->date(), Date::fromTimeIntervalSince1970(5));
    ASSERT_TRUE(back->comments()[0]->fromUser());
    EXPECT_EQ(back->comments()[0]->fromUser()->name(), "Blair");
    ASSERT_EQ(back->likes().size(), 1u);
    // The author was written once and comes back shared.
    EXPECT_EQ(back->likes()[0], back->comments()[0]->fromUser());

    // The photo keeps its own list.
    std::vector<std::shared_ptr<Tag>> tags = {tag};
    photo->setTags(tags);
    tags.push_back(std::make_shared<Tag>());
    EXPECT_EQ(photo->tags().size(), 1u);
}

TEST_F(GraphRecordsTest, ExplicitKeyRecords) {
    // A page never writes its token, writes only present fields, and reads
    // a token an older archive holds.
    auto page = Page::initPageIDCategoryAccessToken("Standin Films", "200001", std::nullopt, "page-token");
    page->setLastPostID("7");
    KeyedArchiver coder;
    page->encodeWithCoder(coder);
    auto data = coder.finishEncoding();
    ASSERT_TRUE(data);
    KeyedUnarchiver reader(*data);
    for (const char* key : {"PagePageID", "PageName", "PageLastPostID"}) EXPECT_TRUE(reader.containsValue(key)) << key;
    for (const char* key : {"PageCategory", "PageAccessToken"}) EXPECT_FALSE(reader.containsValue(key)) << key;
    auto pageBack = roundTrip(page);
    ASSERT_TRUE(pageBack);
    EXPECT_EQ(pageBack->name(), "Standin Films");
    EXPECT_EQ(pageBack->lastPostID(), "7");
    EXPECT_EQ(pageBack->category(), std::nullopt);
    EXPECT_EQ(pageBack->accessToken(), std::nullopt);

    KeyedArchiver legacy;
    legacy.encodeObject(Value("200002"), "PagePageID");
    legacy.encodeObject(Value("old-token"), "PageAccessToken");
    auto legacyData = legacy.finishEncoding();
    ASSERT_TRUE(legacyData);
    KeyedUnarchiver legacyReader(*legacyData);
    auto legacyPage = Page::initWithCoder(legacyReader);
    ASSERT_TRUE(legacyPage);
    EXPECT_EQ(legacyPage->pageID(), "200002");
    EXPECT_EQ(legacyPage->accessToken(), "old-token");

    EXPECT_EQ(Page::initPageIDLastPostID("n", "1", "42")->lastPostID(), "42");

    // An album writes all eleven keys even when empty.
    auto album = std::make_shared<Album>();
    KeyedArchiver albumCoder;
    album->encodeWithCoder(albumCoder);
    auto albumData = albumCoder.finishEncoding();
    ASSERT_TRUE(albumData);
    KeyedUnarchiver albumReader(*albumData);
    for (const char* key : {"AlbumID", "GraphAlbumID", "AlbumName", "AlbumLocation", "AlbumDescription", "AlbumVisible",
                            "AlbumCoverURL", "AlbumImage", "AlbumSize", "AlbumLink", "AlbumModifiedDate"})
        EXPECT_TRUE(albumReader.containsValue(key)) << key;
    auto emptyBack = roundTrip(album);
    ASSERT_TRUE(emptyBack);
    EXPECT_EQ(emptyBack->name(), std::nullopt);
    EXPECT_EQ(emptyBack->size(), std::nullopt);
    album->setName("Trip");
    album->setSize(12);
    album->setModifiedDate(Date(100));
    auto albumBack = roundTrip(album);
    ASSERT_TRUE(albumBack);
    EXPECT_EQ(albumBack->name(), "Trip");
    EXPECT_EQ(albumBack->size(), 12);
    EXPECT_EQ(albumBack->modifiedDate(), Date(100));
}

TEST_F(GraphRecordsTest, CopiesKeepEveryField) {
    auto user = std::make_shared<User>();
    user->setUid("1");
    user->setName("N");
    user->setObjectID("2");
    user->setProfilePhotoLink("https://graph.social.test/files/pics/1.png");
    for (const auto& copy : {user->copy(), user->copyDeep()}) {
        EXPECT_NE(copy, user);
        EXPECT_EQ(copy->uid(), "1");
        EXPECT_EQ(copy->objectID(), "2");
        EXPECT_EQ(copy->profilePhotoLink(), user->profilePhotoLink());
    }
    auto tag = std::make_shared<Tag>();
    tag->setTagName("T");
    tag->setLocation({1, 2});
    EXPECT_EQ(tag->copy()->location(), (platform::Point{1, 2}));
    EXPECT_EQ(tag->copyDeep()->tagName(), "T");
}

TEST_F(GraphRecordsTest, VideoListFileSurvivesAndRefusesTampering) {
    auto first = std::make_shared<Video>();
    first->setVideoID("1");
    first->setTitle("One");
    auto second = std::make_shared<Video>();
    second->setVideoID("2");
    second->setIsLocal(true);
    const auto path = home() / "Documents" / "Videos";
    ASSERT_TRUE(Video::saveVideoList({first, second}, path, "DownloadList"));

    auto back = Video::loadVideoList(path, "DownloadList");
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0]->title(), "One");
    EXPECT_TRUE(back[1]->isLocal());

    // No file yet: an empty list, quietly.
    {
        platform::Log::Capture log;
        EXPECT_TRUE(Video::loadVideoList(home() / "Documents" / "None").empty());
        EXPECT_TRUE(log.lines().empty());
    }

    // A field of the wrong kind is left absent; the rest of the record stays.
    {
        Value::Dictionary values{{"videoID", Value("3")},
                                 {"title", Value(42)},
                                 {"isLocal", Value("yes")},
                                 {"updatedTime", Value("yesterday")},
                                 {"videoPath", Value("not a url")}};
        KeyedArchiver coder;
        coder.encodeObject(Value(values), TPAutoArchiver::kValuesBlobKey);
        auto data = coder.finishEncoding();
        ASSERT_TRUE(data);
        KeyedUnarchiver reader(*data);
        platform::Log::Capture log;
        auto video = Video::initWithCoder(reader);
        ASSERT_TRUE(video);
        EXPECT_EQ(video->videoID(), "3");
        EXPECT_EQ(video->title(), std::nullopt);
        EXPECT_FALSE(video->isLocal());
        EXPECT_EQ(video->updatedTime(), std::nullopt);
        EXPECT_EQ(video->videoPath(), std::nullopt);
        EXPECT_TRUE(log.contains("title"));
    }

    // Damaged bytes, a foreign class and a list of the wrong things: an
    // empty list and one log line each, never a crash.
    std::optional<Data> bytes = platform::FileManager::contentsOfFile(path);
    ASSERT_TRUE(bytes);
    std::vector<Data> tampered;
    tampered.push_back(Data(bytes->begin(), bytes->begin() + static_cast<long>(bytes->size() / 2)));
    Data flipped = *bytes;
    for (std::size_t i = 8; i < flipped.size(); i += 7) flipped[i] ^= 0x5a;
    tampered.push_back(flipped);
    tampered.push_back(*KeyedArchiver::archivedData(Value::makeArray({Value("not a video")}), "DownloadList"));
    tampered.push_back(*KeyedArchiver::archivedData(
        Value::makeArray({Value(std::static_pointer_cast<platform::Object>(std::make_shared<User>()))}),
        "DownloadList"));
    tampered.push_back(Data{'n', 'o', 't', ' ', 'a', 'n', ' ', 'a', 'r', 'c', 'h', 'i', 'v', 'e'});
    for (std::size_t i = 0; i < tampered.size(); ++i) {
        ASSERT_TRUE(platform::FileManager::writeData(path, tampered[i])) << i;
        platform::Log::Capture log;
        EXPECT_TRUE(Video::loadVideoList(path, "DownloadList").empty()) << i;
        EXPECT_TRUE(log.contains("unreadable")) << i;
    }
}

}  // namespace
}  // namespace clipora
