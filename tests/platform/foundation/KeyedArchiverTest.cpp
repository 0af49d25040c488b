#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Coding.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/PlistNode.h"
#include "platform/foundation/PropertyTable.h"
#include "tests/support/Nesting.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using ClassList = KeyedUnarchiver::ClassList;

std::optional<Value> optionalText(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return Value(*text);
}

// A record with explicit keys, one of them a point.
class TestTag : public Object, public Coding {
public:
    std::optional<std::string> name;
    std::optional<std::string> uid;
    Point location;

    std::string classNameForCoder() const override { return "TestTag"; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(optionalText(name), "TagName");
        coder.encodeObject(optionalText(uid), "TagUID");
        coder.encodePoint(location, "TagLocation");
    }
    static std::shared_ptr<TestTag> initWithCoder(KeyedUnarchiver& coder) {
        auto tag = std::make_shared<TestTag>();
        tag->name = coder.decodeString("TagName");
        tag->uid = coder.decodeString("TagUID");
        tag->location = coder.decodePoint("TagLocation");
        return tag;
    }
};

// A record archived through its property table, as one dictionary.
class TestVideo : public Object, public Coding {
public:
    std::optional<std::string> videoID;
    std::optional<std::string> srcHD;
    std::shared_ptr<TestTag> thumbnail;
    std::optional<Date> updatedTime;
    std::int32_t width = 0;
    float scale = 0;
    bool isLocal = false;

    std::optional<std::string> getVideoID() const { return videoID; }
    void setVideoID(std::optional<std::string> v) { videoID = std::move(v); }
    std::optional<std::string> getSrcHD() const { return srcHD; }
    void setSrcHD(std::optional<std::string> v) { srcHD = std::move(v); }
    std::shared_ptr<TestTag> getThumbnail() const { return thumbnail; }
    void setThumbnail(std::shared_ptr<TestTag> v) { thumbnail = std::move(v); }
    std::optional<Date> getUpdatedTime() const { return updatedTime; }
    void setUpdatedTime(std::optional<Date> v) { updatedTime = v; }
    std::int32_t getWidth() const { return width; }
    void setWidth(std::int32_t v) { width = v; }
    float getScale() const { return scale; }
    void setScale(float v) { scale = v; }
    bool getIsLocal() const { return isLocal; }
    void setIsLocal(bool v) { isLocal = v; }

    static PropertyTable table() {
        return PropertyTable::Builder<TestVideo>()
            .string("videoID", &TestVideo::getVideoID, &TestVideo::setVideoID)
            .string("srcHD", &TestVideo::getSrcHD, &TestVideo::setSrcHD)
            .object<TestTag>("thumbnail", &TestVideo::getThumbnail, &TestVideo::setThumbnail)
            .date("updatedTime", &TestVideo::getUpdatedTime, &TestVideo::setUpdatedTime)
            .int32("width", &TestVideo::getWidth, &TestVideo::setWidth)
            .float32("scale", &TestVideo::getScale, &TestVideo::setScale)
            .boolean("isLocal", &TestVideo::getIsLocal, &TestVideo::setIsLocal)
            .build();
    }

    std::string classNameForCoder() const override { return "TestVideo"; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        auto properties = CodingRegistry::propertiesFor("TestVideo");
        Value::Dictionary values;
        for (const auto& property : properties->properties())
            values[property.name] = property.get(*this).value_or(Value());
        coder.encodeObject(Value(std::move(values)), "values");
    }
    static std::shared_ptr<TestVideo> initWithCoder(KeyedUnarchiver& coder) {
        auto video = std::make_shared<TestVideo>();
        auto values = coder.decodeDictionary(
            "values", {Coding::kStringClass, Coding::kNumberClass, Coding::kDateClass, Coding::kNullClass, "TestTag"});
        if (!values) return coder.failed() ? nullptr : video;
        auto properties = CodingRegistry::propertiesFor("TestVideo");
        for (const auto& [name, value] : *values) {
            std::optional<Value> v = value.isNull() ? std::nullopt : std::optional<Value>(value);
            if (!properties->set(*video, name, v)) {
                coder.failWithError(Error::withDescription(std::string(KeyedUnarchiver::kErrorDomain),
                                                           KeyedUnarchiver::kReadCorruptError, "bad property " + name));
                return nullptr;
            }
        }
        return video;
    }
};

// A sequence written without keys: a count, then the objects.
class TestList : public Object, public Coding {
public:
    std::vector<Value> items;
    std::string classNameForCoder() const override { return "TestList"; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeNextUInt32(static_cast<std::uint32_t>(items.size()));
        for (const Value& item : items) coder.encodeNextObject(item);
    }
    static std::shared_ptr<TestList> initWithCoder(KeyedUnarchiver& coder) {
        auto list = std::make_shared<TestList>();
        std::uint32_t count = coder.decodeNextUInt32();
        for (std::uint32_t i = 0; i < count && !coder.failed(); ++i) {
            auto item = coder.decodeNextObject({Coding::kStringClass, Coding::kNumberClass, "TestTag"});
            if (item) list->items.push_back(*item);
        }
        return list;
    }
};

// Holds another node: enough to make a reference cycle.
class TestNode : public Object, public Coding {
public:
    std::shared_ptr<TestNode> next;
    std::string classNameForCoder() const override { return "TestNode"; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeObject(next, "next"); }
    static std::shared_ptr<TestNode> initWithCoder(KeyedUnarchiver& coder) {
        auto node = std::make_shared<TestNode>();
        if (auto next = coder.decodeObject("next", {"TestNode"})) node->next = next->objectAs<TestNode>();
        return node;
    }
};

// Codable, but nobody registered it.
class Unregistered : public Object, public Coding {
public:
    std::string classNameForCoder() const override { return "Unregistered"; }
    void encodeWithCoder(KeyedArchiver&) const override {}
};

class KeyedArchiverTest : public test::PlatformTest {
protected:
    static void SetUpTestSuite() {
        CodingRegistry::registerClass<TestTag>("TestTag");
        CodingRegistry::registerClass<TestVideo>("TestVideo");
        CodingRegistry::registerProperties("TestVideo", TestVideo::table());
        CodingRegistry::registerClass<TestList>("TestList");
        CodingRegistry::registerClass<TestNode>("TestNode");
    }

    static std::shared_ptr<TestTag> tag(const char* name, Point location = {}) {
        auto t = std::make_shared<TestTag>();
        t->name = name;
        t->location = location;
        return t;
    }

    static Data archive(const Value& root) {
        std::optional<Error> error;
        auto data = KeyedArchiver::archivedData(root, KeyedArchiver::kRootKey, &error);
        EXPECT_TRUE(data) << (error ? error->description() : "");
        return data.value_or(Data());
    }

    // Fails the test unless decoding ends in a clean read error.
    static void expectRejected(const Data& bytes, const ClassList& allowed, const std::string& label) {
        std::optional<Error> error;
        auto value = KeyedUnarchiver::unarchivedObject(bytes, allowed, "root", &error);
        EXPECT_FALSE(value) << label;
        ASSERT_TRUE(error) << label;
        EXPECT_EQ(error->domain(), KeyedUnarchiver::kErrorDomain) << label;
    }
};

const ClassList kEverything = {Coding::kStringClass,
                               Coding::kNumberClass,
                               Coding::kDataClass,
                               Coding::kDateClass,
                               Coding::kArrayClass,
                               Coding::kDictionaryClass,
                               Coding::kNullClass,
                               "TestTag",
                               "TestVideo",
                               "TestList",
                               "TestNode"};

TEST_F(KeyedArchiverTest, ValueGraphRoundTrips) {
    Value root = Value::makeDictionary({
        {"id", Value(100001234567890123LL)},
        {"min", Value(std::numeric_limits<std::int64_t>::min())},
        {"flag", Value(true)},
        {"real", Value(0.1)},
        {"text", Value("$null")},  // the table's own marker, as plain text
        {"data", Value(Data{0, 0xFF})},
        {"date", Value(Date::distantFuture())},
        {"fraction", Value(Date(-0.25))},
        {"null", Value()},
        {"$dollar", Value("key with a dollar")},
        {"list", Value::makeArray({1, "two", Value::makeArray(), Value::makeDictionary({{"k", Value()}})})},
    });
    std::optional<Error> error;
    auto back = KeyedUnarchiver::unarchivedObject(archive(root), kEverything, "root", &error);
    ASSERT_TRUE(back) << (error ? error->description() : "");
    EXPECT_EQ(*back, root);
    EXPECT_TRUE(back->find("flag")->isBool());
}

TEST_F(KeyedArchiverTest, RecordsRoundTripAndSharedObjectsStayShared) {
    auto thumb = tag("thumb", {12.5f, 40.0f});
    auto video = std::make_shared<TestVideo>();
    video->videoID = "10150";
    video->thumbnail = thumb;
    video->updatedTime = Date(360000000.5);
    video->width = -7;
    video->scale = 0.75f;
    video->isLocal = true;  // srcHD stays absent

    Value root = Value::makeArray(
        {Value(std::static_pointer_cast<Object>(video)), Value(std::static_pointer_cast<Object>(thumb))});
    auto back = KeyedUnarchiver::unarchivedObject(archive(root), {Coding::kArrayClass, "TestVideo", "TestTag"});
    ASSERT_TRUE(back);
    auto video2 = back->at(0)->objectAs<TestVideo>();
    auto thumb2 = back->at(1)->objectAs<TestTag>();
    ASSERT_TRUE(video2);
    ASSERT_TRUE(thumb2);
    EXPECT_EQ(video2->videoID, "10150");
    EXPECT_EQ(video2->srcHD, std::nullopt);
    EXPECT_TRUE(video2->isLocal);
    EXPECT_EQ(video2->width, -7);
    EXPECT_EQ(video2->scale, 0.75f);
    EXPECT_EQ(video2->updatedTime, Date(360000000.5));
    EXPECT_EQ(video2->thumbnail, thumb2);  // one object, referenced twice
    EXPECT_EQ(thumb2->name, "thumb");
    EXPECT_EQ(thumb2->uid, std::nullopt);
    EXPECT_EQ(thumb2->location, (Point{12.5f, 40.0f}));
}

TEST_F(KeyedArchiverTest, KeyedScalarsAbsentKeysAndNoObject) {
    KeyedArchiver archiver;
    archiver.encodeBool(true, "b");
    archiver.encodeInt32(-5, "i32");
    archiver.encodeInt64(std::numeric_limits<std::int64_t>::max(), "i64");
    archiver.encodeDouble(2.5, "d");
    archiver.encodeFloat(1.25f, "f");
    archiver.encodeObject(std::nullopt, "nothing");
    archiver.encodeObject(Value(), "null");
    archiver.encodeObject(std::shared_ptr<TestTag>(), "nullTag");
    auto bytes = archiver.finishEncoding();
    ASSERT_TRUE(bytes);

    KeyedUnarchiver coder(*bytes);
    EXPECT_TRUE(coder.decodeBool("b"));
    EXPECT_EQ(coder.decodeInt32("i32"), -5);
    EXPECT_EQ(coder.decodeInt64("i64"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(coder.decodeDouble("d"), 2.5);
    EXPECT_EQ(coder.decodeFloat("f"), 1.25f);
    EXPECT_EQ(coder.decodeInt64("b"), 1);  // numbers convert among themselves
    EXPECT_TRUE(coder.containsValue("nothing"));
    EXPECT_EQ(coder.decodeObject("nothing"), std::nullopt);
    EXPECT_EQ(coder.decodeObject("null"), Value());
    EXPECT_EQ(coder.decodeObject("nullTag"), std::nullopt);
    EXPECT_FALSE(coder.containsValue("missing"));
    EXPECT_EQ(coder.decodeObject("missing"), std::nullopt);
    EXPECT_FALSE(coder.decodeBool("missing"));
    EXPECT_EQ(coder.decodeInt32("missing"), 0);
    EXPECT_EQ(coder.decodePoint("missing"), Point{});
    EXPECT_FALSE(coder.failed());
}

TEST_F(KeyedArchiverTest, UnkeyedSequenceRoundTrips) {
    auto list = std::make_shared<TestList>();
    list->items = {Value("a"), Value(2), Value(std::static_pointer_cast<Object>(tag("t")))};
    auto back = KeyedUnarchiver::unarchivedObject(archive(Value(std::static_pointer_cast<Object>(list))), {"TestList"});
    ASSERT_TRUE(back);
    auto list2 = back->objectAs<TestList>();
    ASSERT_EQ(list2->items.size(), 3u);
    EXPECT_EQ(list2->items[0], Value("a"));
    EXPECT_EQ(list2->items[1], Value(2));
    EXPECT_EQ(list2->items[2].objectAs<TestTag>()->name, "t");
}

TEST_F(KeyedArchiverTest, WhatCannotBeArchivedFailsCleanly) {
    struct Case {
        const char* name;
        Value value;
    } cases[] = {
        {"stream", Value(std::static_pointer_cast<Object>(InputStream::withData(Data{1})))},
        {"plain object in a list", Value::makeArray({Value(std::make_shared<Object>())})},
        {"unregistered class", Value(std::static_pointer_cast<Object>(std::make_shared<Unregistered>()))},
    };
    for (const Case& c : cases) {
        std::optional<Error> error;
        EXPECT_FALSE(KeyedArchiver::archivedData(c.value, KeyedArchiver::kRootKey, &error)) << c.name;
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->code(), KeyedArchiver::kInvalidValueError) << c.name;
    }
    EXPECT_THROW(CodingRegistry::registerClass("Array", [](KeyedUnarchiver&) { return std::shared_ptr<Object>(); }),
                 InvalidArgumentException);
}

TEST_F(KeyedArchiverTest, FilesAreWrittenAtomicallyAndReadBack) {
    auto path = home() / "Documents" / "DownloadList";
    Value root = Value::makeArray({Value::makeDictionary({{"status", 1}, {"path", "/x.mp4"}})});
    ASSERT_TRUE(KeyedArchiver::archiveToFile(root, path, "DownloadList"));
    ASSERT_TRUE(KeyedArchiver::archiveToFile(root, path, "DownloadList"));
    EXPECT_EQ(*FileManager::contentsOfDirectory(home() / "Documents"), std::vector<std::string>{"DownloadList"});
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectFromFile(path, kEverything, "DownloadList"), root);

    std::optional<Error> error;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectFromFile(path, kEverything, "OtherKey", &error), std::nullopt);
    EXPECT_FALSE(error);  // an absent key is no failure
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObjectFromFile(home() / "missing", kEverything, "root", &error));
    EXPECT_EQ(error->domain(), Error::kPOSIXErrorDomain);
}

TEST_F(KeyedArchiverTest, TypeConfusedArchivesAreRejected) {
    Value tagValue(std::static_pointer_cast<Object>(tag("x")));
    // The root is of a class the caller does not allow, at the top or inside.
    expectRejected(archive(Value("text")), {Coding::kArrayClass}, "string where an array is expected");
    expectRejected(archive(Value::makeArray({1})), {Coding::kArrayClass, Coding::kStringClass}, "number inside");
    expectRejected(archive(tagValue), {"TestVideo"}, "tag where a video is expected");
    expectRejected(archive(Value()), {Coding::kStringClass}, "null not allowed");

    // A class writes under a registered name what the real class cannot read.
    struct Impostor : Object, Coding {
        std::function<void(KeyedArchiver&)> write;
        std::string name = "TestTag";
        std::string classNameForCoder() const override { return name; }
        void encodeWithCoder(KeyedArchiver& coder) const override { write(coder); }
    };
    struct Case {
        const char* label;
        const char* asClass;
        std::function<void(KeyedArchiver&)> write;
    } cases[] = {
        {"number for a text", "TestTag", [](KeyedArchiver& c) { c.encodeObject(Value(5), "TagName"); }},
        {"scalar for an object", "TestTag", [](KeyedArchiver& c) { c.encodeInt32(5, "TagName"); }},
        {"text for a point", "TestTag", [](KeyedArchiver& c) { c.encodeObject(Value("1,2"), "TagLocation"); }},
        {"integer for a point", "TestTag", [](KeyedArchiver& c) { c.encodeInt32(3, "TagLocation"); }},
        {"text for a property", "TestVideo",
         [](KeyedArchiver& c) {
             c.encodeObject(Value::makeDictionary({{"width", "wide"}}), "values");
         }},
        {"text for the property dictionary", "TestVideo",
         [](KeyedArchiver& c) { c.encodeObject(Value("x"), "values"); }},
        {"a list inside the property dictionary", "TestVideo",
         [](KeyedArchiver& c) {
             c.encodeObject(Value::makeDictionary({{"videoID", Value::makeArray()}}), "values");
         }},
        {"int32 overflow", "TestVideo",
         [](KeyedArchiver& c) {
             c.encodeObject(Value::makeDictionary({{"width", Value(1LL << 40)}}), "values");
         }},
        {"count beyond the items", "TestList",
         [](KeyedArchiver& c) {
             c.encodeNextUInt32(4000000000u);
             c.encodeNextObject(Value("only one"));
         }},
        {"negative count", "TestList", [](KeyedArchiver& c) { c.encodeInt64(-1, "$0"); }},
    };
    for (const Case& c : cases) {
        auto impostor = std::make_shared<Impostor>();
        impostor->write = c.write;
        impostor->name = c.asClass;
        CodingRegistry::registerClass(c.asClass, CodingRegistry::decoderFor(c.asClass));
        expectRejected(archive(Value(std::static_pointer_cast<Object>(impostor))), {c.asClass}, c.label);
    }
}

// Builds an archive by hand, to say what no well-behaved archiver writes.
Data craft(const std::function<void(plist_t root, plist_t top, plist_t objects)>& edit) {
    PlistNode root(plist_new_dict());
    plist_t top = plist_new_dict();
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_dict_set_item(root.get(), "$archiver", plist_new_string("CliporaKeyedArchiver"));
    plist_dict_set_item(root.get(), "$version", plist_new_uint(1));
    plist_dict_set_item(root.get(), "$top", top);
    plist_dict_set_item(root.get(), "$objects", objects);
    edit(root.get(), top, objects);
    return *PlistNode::toBinary(root.get());
}

plist_t classEntry(const char* name) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "$class", plist_new_string(name));
    return dict;
}

plist_t arrayEntry(std::vector<std::uint64_t> items) {
    plist_t dict = classEntry("Array");
    plist_t list = plist_new_array();
    for (auto item : items) plist_array_append_item(list, plist_new_uid(item));
    plist_dict_set_item(dict, "$items", list);
    return dict;
}

TEST_F(KeyedArchiverTest, CorruptArchivesAreRejected) {
    using Edit = std::function<void(plist_t, plist_t, plist_t)>;
    auto rootIs = [](std::uint64_t index) {
        return [index](plist_t top) { plist_dict_set_item(top, "root", plist_new_uid(index)); };
    };
    struct Case {
        const char* label;
        Edit edit;
    } cases[] = {
        {"other archiver",
         [](plist_t root, plist_t, plist_t) { plist_dict_set_item(root, "$archiver", plist_new_string("X")); }},
        {"newer version",
         [](plist_t root, plist_t, plist_t) { plist_dict_set_item(root, "$version", plist_new_uint(2)); }},
        {"no object table", [](plist_t root, plist_t, plist_t) { plist_dict_remove_item(root, "$objects"); }},
        {"no null marker",
         [](plist_t, plist_t, plist_t objects) { plist_array_set_item(objects, plist_new_uint(0), 0); }},
        {"reference past the end", [=](plist_t, plist_t top, plist_t) { rootIs(999)(top); }},
        {"root not a reference",
         [](plist_t, plist_t top, plist_t) { plist_dict_set_item(top, "root", plist_new_string("x")); }},
        {"entry without class",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_array_append_item(objects, plist_new_dict());
             rootIs(1)(top);
         }},
        {"unknown class",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_array_append_item(objects, classEntry("NoSuchClass"));
             rootIs(1)(top);
         }},
        {"array without items",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_array_append_item(objects, classEntry("Array"));
             rootIs(1)(top);
         }},
        {"array holding a scalar",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_t entry = classEntry("Array");
             plist_t list = plist_new_array();
             plist_array_append_item(list, plist_new_uint(1));
             plist_dict_set_item(entry, "$items", list);
             plist_array_append_item(objects, entry);
             rootIs(1)(top);
         }},
        {"array holding no object",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_array_append_item(objects, arrayEntry({0}));
             rootIs(1)(top);
         }},
        {"array containing itself",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_array_append_item(objects, arrayEntry({1}));
             rootIs(1)(top);
         }},
        {"dictionary entries not references",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_t entry = classEntry("Dictionary");
             plist_t entries = plist_new_dict();
             plist_dict_set_item(entries, "k", plist_new_string("v"));
             plist_dict_set_item(entry, "$entries", entries);
             plist_array_append_item(objects, entry);
             rootIs(1)(top);
         }},
        {"references that fan out",
         [=](plist_t, plist_t top, plist_t objects) {
             // Each array lists the previous one twice: 2^60 elements if expanded.
             plist_array_append_item(objects, plist_new_string("leaf"));
             plist_array_append_item(objects, arrayEntry({1, 1}));
             for (std::uint64_t i = 2; i < 62; ++i) plist_array_append_item(objects, arrayEntry({i, i}));
             rootIs(61)(top);
         }},
        {"nesting too deep",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_array_append_item(objects, plist_new_string("leaf"));
             for (std::uint64_t i = 2; i < 2000; ++i) plist_array_append_item(objects, arrayEntry({i - 1}));
             rootIs(1999)(top);
         }},
        {"object chain too deep",
         [=](plist_t, plist_t top, plist_t objects) {
             plist_array_append_item(objects, classEntry("TestNode"));
             for (std::uint64_t i = 2; i < 2000; ++i) {
                 plist_t node = classEntry("TestNode");
                 plist_dict_set_item(node, "next", plist_new_uid(i - 1));
                 plist_array_append_item(objects, node);
             }
             rootIs(1999)(top);
         }},
    };
    for (const Case& c : cases) expectRejected(craft(c.edit), kEverything, c.label);

    // A reference cycle between objects is refused as well.
    auto a = std::make_shared<TestNode>();
    a->next = std::make_shared<TestNode>();
    a->next->next = a;
    Data cyclic = archive(Value(std::static_pointer_cast<Object>(a)));
    a->next->next.reset();
    expectRejected(cyclic, {"TestNode"}, "cycle");
}

TEST_F(KeyedArchiverTest, ObjectsNestedPastTheLimitAreRefusedCleanly) {
    // `levels` arrays one inside another around a string, as archived objects.
    auto chain = [](std::size_t levels) {
        return craft([levels](plist_t, plist_t top, plist_t objects) {
            plist_array_append_item(objects, plist_new_string("leaf"));
            for (std::uint64_t i = 2; i < levels + 2; ++i) plist_array_append_item(objects, arrayEntry({i - 1}));
            plist_dict_set_item(top, "root", plist_new_uid(levels + 1));
        });
    };
    for (const auto& [levels, accepted] : test::depthCases(KeyedUnarchiver::kMaxDepth)) {
        // A million objects is no archive to build here; a million levels of
        // the property list beneath is, and must fail as cleanly.
        const Data bytes = levels == test::kMillionLevels ? test::nestedBinaryPlist(levels) : chain(levels);
        std::optional<Error> error;
        const auto value = KeyedUnarchiver::unarchivedObject(bytes, kEverything, "root", &error);
        EXPECT_EQ(value.has_value(), accepted) << levels;
        EXPECT_EQ(error.has_value(), !accepted) << levels;
        if (error) {
            EXPECT_EQ(error->domain(), KeyedUnarchiver::kErrorDomain) << levels;
        }
        if (!accepted) continue;
        std::size_t depth = 0;
        for (const Value* v = &*value; v->isArray(); v = v->at(0)) ++depth;
        EXPECT_EQ(depth, levels);
    }
}

TEST_F(KeyedArchiverTest, TruncatedOrDamagedBytesNeverCrash) {
    auto list = std::make_shared<TestList>();
    list->items = {Value("a"), Value(std::static_pointer_cast<Object>(tag("t", {1, 2})))};
    auto video = std::make_shared<TestVideo>();
    video->videoID = "v";
    video->thumbnail = tag("thumb");
    Value root = Value::makeDictionary({{"list", Value(std::static_pointer_cast<Object>(list))},
                                        {"video", Value(std::static_pointer_cast<Object>(video))},
                                        {"numbers", Value::makeArray({1, 2.5, true, Date(3)})}});
    const Data good = archive(root);
    ASSERT_TRUE(KeyedUnarchiver::unarchivedObject(good, kEverything));

    for (std::size_t length = 0; length < good.size(); ++length)
        expectRejected(Data(good.begin(), good.begin() + static_cast<long>(length)), kEverything,
                       "truncated to " + std::to_string(length));

    // Random damage: every outcome is an object, an absent root or a clean error.
    std::mt19937 random(20120601);
    int rejected = 0;
    for (int round = 0; round < 3000; ++round) {
        Data bytes = good;
        int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        std::optional<Error> error;
        auto value = KeyedUnarchiver::unarchivedObject(bytes, kEverything, "root", &error);
        if (error) {
            EXPECT_FALSE(value);
            ++rejected;
        }
    }
    EXPECT_GT(rejected, 1000);
}

TEST_F(KeyedArchiverTest, PropertyTableListsInOrderAndBoxesScalars) {
    auto table = CodingRegistry::propertiesFor("TestVideo");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->names(),
              (std::vector<std::string>{"videoID", "srcHD", "thumbnail", "updatedTime", "width", "scale", "isLocal"}));
    EXPECT_EQ(CodingRegistry::propertiesFor("TestTag"), nullptr);

    TestVideo video;
    video.isLocal = true;
    video.width = 640;
    video.scale = 0.5f;
    EXPECT_EQ(table->get(video, "isLocal"), Value(true));
    EXPECT_EQ(table->get(video, "width"), Value(640));
    EXPECT_EQ(table->get(video, "scale"), Value(0.5));
    EXPECT_EQ(table->get(video, "videoID"), std::nullopt);
    EXPECT_EQ(table->get(video, "noSuchProperty"), std::nullopt);

    EXPECT_TRUE(table->set(video, "videoID", Value("42")));
    EXPECT_EQ(video.videoID, "42");
    EXPECT_TRUE(table->set(video, "videoID", std::nullopt));
    EXPECT_EQ(video.videoID, std::nullopt);
    EXPECT_TRUE(table->set(video, "isLocal", Value(0)));
    EXPECT_FALSE(video.isLocal);
    EXPECT_TRUE(table->set(video, "width", Value(2.0)));
    EXPECT_EQ(video.width, 2);
    auto thumb = tag("t");
    EXPECT_TRUE(table->set(video, "thumbnail", Value(std::static_pointer_cast<Object>(thumb))));
    EXPECT_EQ(video.thumbnail, thumb);

    struct Case {
        const char* name;
        std::optional<Value> value;
    } refused[] = {
        {"videoID", Value(5)},
        {"width", Value("640")},
        {"width", Value(1LL << 33)},
        {"width", std::nullopt},
        {"isLocal", Value("YES")},
        {"thumbnail", Value("image")},
        {"thumbnail", Value(std::static_pointer_cast<Object>(std::make_shared<TestVideo>()))},
        {"updatedTime", Value(3)},
        {"noSuchProperty", Value(1)},
    };
    for (const Case& c : refused) EXPECT_FALSE(table->set(video, c.name, c.value)) << c.name;
    EXPECT_EQ(video.width, 2);
    EXPECT_EQ(video.thumbnail, thumb);
}

}  // namespace
}  // namespace clipora::platform
