#include "analytics/TallyProtocolData.h"

#include <functional>
#include <string>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using platform::Data;
using platform::Date;
using test::bytes;

struct EncodingCase {
    const char* what;
    std::function<void(Data&)> write;
    Data expected;
};

TEST(TallyProtocolDataTest, EveryKindIsBigEndian) {
    const EncodingCase cases[] = {
        {"true", [](Data& d) { TallyProtocolData::appendBooleanToData(true, d); }, bytes({1})},
        {"byte -1", [](Data& d) { TallyProtocolData::appendByteToData(-1, d); }, bytes({0xFF})},
        {"ushort 22", [](Data& d) { TallyProtocolData::appendUshortToData(22, d); }, bytes({0x00, 0x16})},
        {"int -1", [](Data& d) { TallyProtocolData::appendIntToData(-1, d); }, bytes({0xFF, 0xFF, 0xFF, 0xFF})},
        {"int 0x01020304", [](Data& d) { TallyProtocolData::appendIntToData(0x01020304, d); }, bytes({1, 2, 3, 4})},
        {"long -2", [](Data& d) { TallyProtocolData::appendLongToData(-2, d); },
         bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE})},
        {"float 1", [](Data& d) { TallyProtocolData::appendFloatToData(1.0f, d); }, bytes({0x3F, 0x80, 0, 0})},
        {"double 1", [](Data& d) { TallyProtocolData::appendDoubleToData(1.0, d); },
         bytes({0x3F, 0xF0, 0, 0, 0, 0, 0, 0})},
        {"timestamp truncated",
         [](Data& d) { TallyProtocolData::appendTimestampToData(Date::fromTimeIntervalSince1970(1.9999), d); },
         bytes({0, 0, 0, 0, 0, 0, 0x07, 0xCF})},
        {"timestamp before 1970",
         [](Data& d) { TallyProtocolData::appendTimestampToData(Date::fromTimeIntervalSince1970(-0.001), d); },
         bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"empty string", [](Data& d) { TallyProtocolData::appendStringToData("", d); }, bytes({0, 0})},
        {"string", [](Data& d) { TallyProtocolData::appendStringToData("h\xC3\xA9", d); },
         bytes({0, 3, 'h', 0xC3, 0xA9})},
        {"tiny data",
         [](Data& d) {
             TallyProtocolData::appendTinyDataToData(bytes({7, 8}), d);
         },
         bytes({2, 7, 8})},
        {"short data",
         [](Data& d) {
             TallyProtocolData::appendShortDataToData(bytes({7, 8}), d);
         },
         bytes({0, 2, 7, 8})},
    };
    for (const auto& c : cases) {
        Data data = bytes({0xAA});  // appends after what is there
        c.write(data);
        Data expected = bytes({0xAA});
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(data, expected) << c.what;
    }
}

TEST(TallyProtocolDataTest, StringsAreCutAt255UnitsAndStayValidUTF8) {
    Data ascii;
    TallyProtocolData::appendStringToData(std::string(300, 'a'), ascii);
    ASSERT_EQ(ascii.size(), 2u + 255u);
    EXPECT_EQ(ascii[0], 0x00);
    EXPECT_EQ(ascii[1], 0xFF);

    std::string threeByte;
    for (int i = 0; i < 255; ++i) threeByte += "\xE2\x82\xAC";  // the euro sign
    Data wide;
    TallyProtocolData::appendStringToData(threeByte, wide);
    EXPECT_EQ(wide[0], 0x02);
    EXPECT_EQ(wide[1], 0xFD);  // 765 bytes
    EXPECT_EQ(wide.size(), 2u + 765u);

    // Unit 255 would be the first half of a surrogate pair: the cut is at 254.
    const std::string pair = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
    const std::string text = std::string(254, 'b') + pair + "tail";
    Data cut;
    TallyProtocolData::appendStringToData(text, cut);
    const std::string written(cut.begin() + 2, cut.end());
    EXPECT_EQ(written, std::string(254, 'b'));
    EXPECT_EQ((cut[0] << 8) | cut[1], 254);
    EXPECT_EQ(TallyProtocolData::limitStringLength(text), std::string(254, 'b'));

    // A pair that ends exactly at unit 255 is kept whole.
    const std::string fits = std::string(253, 'c') + pair + "tail";
    EXPECT_EQ(TallyProtocolData::limitStringLength(fits), std::string(253, 'c') + pair);

    // Bytes that are not UTF-8 never reach the wire as such.
    Data repaired;
    TallyProtocolData::appendStringToData(
        "a\xFF"
        "b\xC3",
        repaired);
    const std::string out(repaired.begin() + 2, repaired.end());
    EXPECT_TRUE(platform::Text::isValidUTF8(out));
    EXPECT_EQ(out,
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(TallyProtocolDataTest, BlocksThatCannotBeFramedAreRefused) {
    Data data = bytes({1});
    EXPECT_THROW(TallyProtocolData::appendShortDataToData(Data(65536, 0), data), platform::Exception);
    EXPECT_EQ(data, bytes({1}));  // nothing half-written
    TallyProtocolData::appendShortDataToData(Data(65535, 0), data);
    EXPECT_EQ(data.size(), 1u + 2u + 65535u);
    EXPECT_EQ(data[1], 0xFF);
    EXPECT_EQ(data[2], 0xFF);
    // Tiny data keeps its specified modulo rule.
    Data tiny;
    TallyProtocolData::appendTinyDataToData(Data(258, 9), tiny);
    EXPECT_EQ(tiny, bytes({2, 9, 9}));
}

TEST(TallyProtocolDataTest, TimeIntervalsInMilliseconds) {
    const Date start = Date::fromTimeIntervalSince1970(1000);
    EXPECT_EQ(TallyProtocolData::timeIntervalFromTo(start, Date::fromTimeIntervalSince1970(1001.5)), 1500);
    EXPECT_EQ(TallyProtocolData::timeIntervalFromTo(Date::fromTimeIntervalSince1970(1001.5), start), -1500);
    EXPECT_EQ(TallyProtocolData::timeIntervalFromTo(std::nullopt, start), 0);
    EXPECT_EQ(TallyProtocolData::timeIntervalFromTo(start, std::nullopt), 0);
}

}  // namespace
}  // namespace clipora
