#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PlistNode.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/StringsTable.h"
#include "tests/support/Nesting.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

Data bytesOf(const std::string& text) { return Data(text.begin(), text.end()); }

class PropertyListTest : public test::PlatformTest {
protected:
    // Everything a property list carries, with the values that break naive
    // codecs: 64-bit extremes, ids beyond double precision, dates far from
    // the reference date, bytes with zeros, markup characters in text.
    static Value sample(bool wholeSecondDates) {
        Value::Dictionary d;
        d["max"] = Value(std::numeric_limits<std::int64_t>::max());
        d["min"] = Value(std::numeric_limits<std::int64_t>::min());
        d["negative"] = Value(-5);
        d["id"] = Value(100001234567890123LL);  // not exact as a double
        d["yes"] = Value(true);
        d["no"] = Value(false);
        d["real"] = Value(0.1);
        d["text"] = Value("h\xC3\xA9llo <&> \"quoted\"");
        d["empty"] = Value("");
        d["data"] = Value(Data{0, 1, 2, 0xFF, 0});
        d["future"] = Value(Date::distantFuture());
        d["past"] = Value(Date::distantPast());
        d["when"] = Value(wholeSecondDates ? Date(360000000.0) : Date(360000000.25));
        d["beforeReference"] = Value(wholeSecondDates ? Date(-86400.0) : Date(-0.5));
        d["list"] = Value::makeArray({1, "two", Value::makeArray(), Value::makeDictionary()});
        d["nested"] = Value::makeDictionary({{"inner", Value::makeDictionary({{"k", 3.5}})}});
        return Value(std::move(d));
    }
};

TEST_F(PropertyListTest, BinaryRoundTripIsExact) {
    Value original = sample(false);
    std::optional<Error> error;
    auto bytes = PropertyList::toData(original, PropertyList::Format::Binary, &error);
    ASSERT_TRUE(bytes) << error->description();
    EXPECT_EQ(PropertyList::detectFormat(*bytes), PropertyList::Format::Binary);

    PropertyList::Format format = PropertyList::Format::XML;
    auto back = PropertyList::fromData(*bytes, &error, &format);
    ASSERT_TRUE(back) << error->description();
    EXPECT_EQ(format, PropertyList::Format::Binary);
    EXPECT_EQ(*back, original);
    EXPECT_TRUE(back->find("yes")->isBool());  // booleans stay booleans
    EXPECT_TRUE(back->find("real")->isReal());
}

TEST_F(PropertyListTest, XmlRoundTripKeepsValuesAndWholeSecondDates) {
    Value original = sample(true);
    auto bytes = PropertyList::toData(original, PropertyList::Format::XML);
    ASSERT_TRUE(bytes);
    std::string text(bytes->begin(), bytes->end());
    EXPECT_NE(text.find("<integer>9223372036854775807</integer>"), std::string::npos);
    EXPECT_NE(text.find("<integer>100001234567890123</integer>"), std::string::npos);
    EXPECT_NE(text.find("&lt;&amp;&gt;"), std::string::npos);

    auto back = PropertyList::fromData(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, original);
}

TEST_F(PropertyListTest, ReadsHandWrittenXml) {
    auto value = PropertyList::fromData(
        bytesOf("\xEF\xBB\xBF\n<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>a</key><integer>-12</integer><key>b</key><true/><key>c</key><date>2012-06-01T12:00:00Z</date>"
                "<key>d</key><data>AAEC</data><key>e</key><array><real>2.5</real><string>x</string></array>"
                "</dict></plist>"));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value->find("a"), Value(-12));
    EXPECT_EQ(*value->find("b"), Value(true));
    EXPECT_EQ(*value->find("c"), Value(Date::fromTimeIntervalSince1970(1338552000.0)));
    EXPECT_EQ(*value->find("d"), Value(Data{0, 1, 2}));
    EXPECT_EQ(*value->find("e"), Value::makeArray({2.5, "x"}));
}

TEST_F(PropertyListTest, RejectsWhatIsNotAPropertyList) {
    Data binary = *PropertyList::toData(sample(false), PropertyList::Format::Binary);
    Data xml = *PropertyList::toData(sample(true), PropertyList::Format::XML);
    struct Case {
        const char* name;
        Data bytes;
    } cases[] = {
        {"empty", {}},
        {"plain text", bytesOf("hello")},
        {"binary truncated", Data(binary.begin(), binary.begin() + static_cast<long>(binary.size() / 2))},
        {"binary header only", bytesOf("bplist00")},
        {"xml truncated", Data(xml.begin(), xml.begin() + static_cast<long>(xml.size() - 40))},
        {"external entity",
         bytesOf("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
                 "<plist><string>&e;</string></plist>")},
    };
    for (const Case& c : cases) {
        std::optional<Error> error;
        EXPECT_FALSE(PropertyList::fromData(c.bytes, &error)) << c.name;
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->domain(), PropertyList::kErrorDomain) << c.name;
        EXPECT_EQ(error->code(), PropertyList::kReadCorruptError) << c.name;
    }
}

// `levels` arrays one inside another, the innermost holding one string.
Value nestedArrays(std::size_t levels) {
    Value value("leaf");
    for (std::size_t i = 0; i < levels; ++i) value = Value(Value::Array{std::move(value)});
    return value;
}

TEST_F(PropertyListTest, NestingPastTheLimitIsRefusedCleanly) {
    for (const auto& [levels, accepted] : test::depthCases(PlistNode::kMaxDepth)) {
        const std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">" +
                                test::nested("<array>", "<string>leaf</string>", "</array>", levels) + "</plist>";
        const struct {
            const char* form;
            Data bytes;
        } inputs[] = {{"xml", bytesOf(xml)}, {"binary", test::nestedBinaryPlist(levels)}};
        for (const auto& input : inputs) {
            std::optional<Error> error;
            const auto value = PropertyList::fromData(input.bytes, &error);
            EXPECT_EQ(value.has_value(), accepted) << input.form << " " << levels;
            if (accepted) {
                EXPECT_EQ(*value, nestedArrays(levels)) << input.form;
            } else {
                ASSERT_TRUE(error) << input.form << " " << levels;
                EXPECT_EQ(error->code(), PropertyList::kReadCorruptError) << input.form << " " << levels;
            }
        }
        // Writing has the same limit, so whatever is written can be read.
        if (levels == test::kMillionLevels) continue;  // a Value this deep could not even be freed
        for (auto format : {PropertyList::Format::XML, PropertyList::Format::Binary}) {
            std::optional<Error> error;
            EXPECT_EQ(PropertyList::toData(nestedArrays(levels), format, &error).has_value(), accepted) << levels;
            EXPECT_EQ(error.has_value(), !accepted);
        }
    }
}

TEST_F(PropertyListTest, NestingIsMeasuredWhateverTheMarkupHides) {
    const std::string deep = test::nested("<array>", "", "</array>", 100000);
    const std::pair<const char*, std::string> cases[] = {
        {"a quoted '>' in a tag", "<plist version=\">\">" + deep + "</plist>"},
        {"a tag inside a comment", "<plist><!-- <array> -->" + deep + "</plist>"},
        {"a reference loop", ""},
    };
    for (const auto& [label, text] : cases) {
        Data bytes = bytesOf(text);
        if (text.empty()) {
            // A binary list whose only array holds itself.
            bytes = test::nestedBinaryPlist(1);
            bytes[9 + 3] = 0;  // the array's reference now points at object 0
        }
        std::optional<Error> error;
        EXPECT_FALSE(PropertyList::fromData(bytes, &error)) << label;
        EXPECT_TRUE(error) << label;
    }
    // Markup that every reader reads alike is still fine.
    EXPECT_TRUE(PropertyList::fromData(bytesOf("<plist><!-- a > b --><array><true/><false/></array></plist>")));
}

TEST_F(PropertyListTest, RefusesValuesWithoutAPropertyListForm) {
    struct Case {
        const char* name;
        Value value;
        PropertyList::Format format;
    } cases[] = {
        {"null", Value(), PropertyList::Format::Binary},
        {"null inside", Value::makeDictionary({{"k", Value::makeArray({Value()})}}), PropertyList::Format::XML},
        {"object", Value(std::make_shared<Object>()), PropertyList::Format::Binary},
        {"huge unsigned in XML", Value(std::numeric_limits<std::uint64_t>::max()), PropertyList::Format::XML},
    };
    for (const Case& c : cases) {
        std::optional<Error> error;
        EXPECT_FALSE(PropertyList::toData(c.value, c.format, &error)) << c.name;
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->code(), PropertyList::kWriteInvalidError) << c.name;
        EXPECT_FALSE(PropertyList::isValid(c.value) && c.format == PropertyList::Format::Binary) << c.name;
    }
    // Binary lists carry the full unsigned range.
    Value huge(std::numeric_limits<std::uint64_t>::max());
    auto bytes = PropertyList::toData(huge, PropertyList::Format::Binary);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(PropertyList::fromData(*bytes)->unsignedLongLongValue(), std::numeric_limits<std::uint64_t>::max());
}

TEST_F(PropertyListTest, WritesFilesAtomically) {
    auto path = home() / "Library" / "settings.plist";
    ASSERT_TRUE(PropertyList::writeToFile(sample(true), path));
    ASSERT_TRUE(PropertyList::writeToFile(Value::makeDictionary({{"v", 2}}), path, PropertyList::Format::Binary));
    EXPECT_EQ(*FileManager::contentsOfDirectory(home() / "Library"),
              (std::vector<std::string>{"Caches", "Preferences", "settings.plist"}));
    PropertyList::Format format = PropertyList::Format::XML;
    EXPECT_EQ(PropertyList::fromFile(path, nullptr, &format), Value::makeDictionary({{"v", 2}}));
    EXPECT_EQ(format, PropertyList::Format::Binary);

    std::optional<Error> error;
    EXPECT_FALSE(PropertyList::writeToFile(Value(), path, PropertyList::Format::XML, &error));
    EXPECT_EQ(PropertyList::fromFile(path), Value::makeDictionary({{"v", 2}}));  // untouched
    EXPECT_FALSE(PropertyList::fromFile(home() / "missing.plist", &error));
    EXPECT_EQ(error->domain(), Error::kPOSIXErrorDomain);
}

// ---- .strings tables ----

TEST_F(PropertyListTest, StringsTablesInTextAndPropertyListForm) {
    auto entries = StringsTable::parse(
        "/* comment */ \"greeting\" = \"Hello, \\\"you\\\"\\n\";\n"
        "// line comment\n"
        "plain = word.with-chars;\n"
        "\"alone\";\n"
        "\"escapes\" = \"\\t\\u00e9\\U00C9\\101\\\\\";\n"
        "\"pair\" = \"\\ud83d\\ude00\";\n"
        "\"greeting2\" /* between */ = /* tokens */ \"x\";");
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->at("greeting"), "Hello, \"you\"\n");
    EXPECT_EQ(entries->at("plain"), "word.with-chars");
    EXPECT_EQ(entries->at("alone"), "alone");
    EXPECT_EQ(entries->at("escapes"),
              "\t\xC3\xA9\xC3\x89"
              "A\\");
    EXPECT_EQ(entries->at("pair"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(entries->at("greeting2"), "x");

    auto fromPlist = StringsTable::fromData(
        *PropertyList::toData(Value::makeDictionary({{"Title", "R\xC3\xA9glages"}}), PropertyList::Format::Binary));
    ASSERT_TRUE(fromPlist);
    EXPECT_EQ(fromPlist->at("Title"), "R\xC3\xA9glages");

    // UTF-16 little-endian with its byte-order mark.
    Data utf16{0xFF, 0xFE};
    for (char c : std::string("\"k\"=\"v\";")) {
        utf16.push_back(static_cast<std::uint8_t>(c));
        utf16.push_back(0);
    }
    auto wide = StringsTable::fromData(utf16);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->at("k"), "v");
}

TEST_F(PropertyListTest, MalformedStringsTablesFailWithTheLine) {
    const char* cases[] = {
        "\"a\" = \"b\"",         // no semicolon
        "\"a\" = \"b;",          // unterminated string
        "\"a\" \"b\";",          // no '='
        "/* never closed",       // unterminated comment
        "\"a\" = \"\\uZZZZ\";",  // bad escape
        "\"a\" = ;",             // no value
    };
    for (const char* text : cases) {
        std::optional<Error> error;
        EXPECT_FALSE(StringsTable::parse(text, &error)) << text;
        ASSERT_TRUE(error) << text;
        EXPECT_TRUE(error->localizedFailureReason()) << text;
    }
    std::optional<Error> error;
    EXPECT_FALSE(StringsTable::parse("\"a\" = \"b\";\n\"c\" = \"d\"\n\"e\" = \"f\";", &error));
    EXPECT_NE(error->localizedFailureReason()->find("line 3"), std::string::npos);
    EXPECT_FALSE(StringsTable::fromData(*PropertyList::toData(Value::makeDictionary({{"n", 1}}))));
    EXPECT_FALSE(StringsTable::fromData(Data{'"', 0xFF, '"'}));  // not UTF-8
}

}  // namespace
}  // namespace clipora::platform
