#include "analytics/TallySession.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"
#include "platform/system/DeviceInfo.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;

class TallyIdentifiersTest : public test::AnalyticsTest {
protected:
    static std::shared_ptr<Pasteboard> pasteboard() {
        return Pasteboard::pasteboardWithNameCreate("com.tally.pasteboard", true);
    }
    static std::string stored() {
        auto data = pasteboard()->dataForPasteboardType("com.tally.UID");
        return data ? std::string(data->begin(), data->end()) : std::string();
    }
};

TEST_F(TallyIdentifiersTest, ThePasteboardIdentifierIsStableAcrossReadsAndProcesses) {
    int status = 0;
    const std::string first = TallySession::getCFUUIDBasedUIDAndStatus(status);
    EXPECT_EQ(status, TallySession::UIDCreated);
    EXPECT_EQ(first.size(), 38u);
    EXPECT_TRUE(Text::hasPrefix(first, "ID"));
    EXPECT_EQ(stored().size(), 46u);
    for (int read = 0; read < 3; ++read) {
        EXPECT_EQ(TallySession::getCFUUIDBasedUIDAndStatus(status), first);
        EXPECT_EQ(status, TallySession::UIDReadBack);
    }
    // A new process finds the persistent pasteboard again.
    Pasteboard::reset();
    EXPECT_EQ(TallySession::getCFUUIDBasedUIDAndStatus(status), first);
    EXPECT_EQ(status, TallySession::UIDReadBack);
}

TEST_F(TallyIdentifiersTest, EveryChecksumIsWrittenInEightDigits) {
    // A checksum below 0x10000000 once printed fewer digits and was then
    // rejected at every read.
    for (int i = 0; i < 64; ++i) {
        const std::string identifier = TallySession::generateCFUUIDBasedUID();
        EXPECT_EQ(TallySession::getCFUUIDBasedUIDWithChecksum(identifier).size(), 46u);
    }
    EXPECT_EQ(TallySession::getCFUUIDBasedUIDWithChecksum("ID").substr(2),
              Text::format("%08X", TallySession::generateCFUUIDBasedUIDChecksum("ID")));
    EXPECT_EQ(TallySession::generateCFUUIDBasedUIDChecksum("IDx"), TallySession::generateCFUUIDBasedUIDChecksum("IDx"));
}

TEST_F(TallyIdentifiersTest, DamagedStoredFormsAreReplaced) {
    int status = 0;
    const std::string first = TallySession::getCFUUIDBasedUIDAndStatus(status);
    std::string altered = stored();
    altered.back() = altered.back() == '0' ? '1' : '0';
    pasteboard()->setDataForPasteboardType(test::textBytes(altered), "com.tally.UID");
    const std::string second = TallySession::getCFUUIDBasedUIDAndStatus(status);
    EXPECT_EQ(status, TallySession::UIDBadChecksum);
    EXPECT_NE(second, first);
    EXPECT_EQ(stored().substr(0, 38), second);

    pasteboard()->setDataForPasteboardType(test::textBytes(second + "ABC"), "com.tally.UID");
    EXPECT_NE(TallySession::getCFUUIDBasedUIDAndStatus(status), second);
    EXPECT_EQ(status, TallySession::UIDBadLength);
}

TEST_F(TallyIdentifiersTest, MACDigestsWithoutAnInterface) {
    DeviceInfo::setHardwareModel("iPhone4,1");
    const std::string mac = TallySession::macAddressText();
    EXPECT_TRUE(mac.empty() || mac.size() == 17u);
    EXPECT_EQ(TallySession::getMACUID(), Digest::sha1(mac));
    EXPECT_EQ(TallySession::getMACBasedUID(), Digest::sha1("IPHONE" + mac + "iPhone4,1"));
    EXPECT_EQ(TallySession::getMACUID().size(), 20u);
    int status = 0;
    const std::string list = TallySession::tallyIDsList();
    EXPECT_EQ(list, "2:" + Digest::hex(TallySession::getMACBasedUID()) +
                        ",4:" + Digest::hex(TallySession::getMACUID()) +
                        ",3:" + TallySession::getCFUUIDBasedUIDAndStatus(status));
    DeviceInfo::setHardwareModel(std::nullopt);
}

}  // namespace
}  // namespace clipora
