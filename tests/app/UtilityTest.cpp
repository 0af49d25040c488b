#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/ProportionalFill.h"
#include "app/Utility.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "tests/app/AppTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCA.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class UtilityTest : public test::AppTest {};

TEST_F(UtilityTest, ColoursFromHexAndBlackForBadText) {
    EXPECT_EQ(Utility::getColor("FFFFFF"), Color::colorWithRedGreenBlueAlpha(1, 1, 1, 1));
    EXPECT_EQ(Utility::getColor("000000"), Color::blackColor());
    EXPECT_EQ(Utility::getColor("576C89ignored"),
              Color::colorWithRedGreenBlueAlpha(87 / 255.0f, 108 / 255.0f, 137 / 255.0f, 1));
    for (const char* bad : {"", "FFF", "GG0000", "12 456"})
        EXPECT_EQ(Utility::getColor(bad), Color::blackColor()) << bad;
}

TEST_F(UtilityTest, ArchivesRoundTripAndUnreadableFilesCountAsAbsent) {
    const std::string path = FileManager::documentsDirectory() + "/DownloadList";
    const Value empty(Value::Array{});
    EXPECT_EQ(Utility::loadFileFromDiskPath("DownloadList", path), std::optional<Value>(empty));

    const Value list = Value::makeArray({Value::makeDictionary({{"status", "Downloading..."}, {"path", "/x.mp4"}})});
    ASSERT_TRUE(Utility::saveFileToDiskKeyPath(list, "DownloadList", path));
    EXPECT_EQ(Utility::loadFileFromDiskPath("DownloadList", path), std::optional<Value>(list));
    EXPECT_FALSE(Utility::loadFileFromDiskPath("OtherKey", path).has_value());

    // A truncated archive is treated as no file instead of aborting its reader.
    auto bytes = *FileManager::contentsOfFile(path);
    bytes.resize(bytes.size() / 2);
    ASSERT_TRUE(FileManager::writeData(path, bytes));
    EXPECT_EQ(Utility::loadFileFromDiskPath("DownloadList", path), std::optional<Value>(empty));
}

TEST_F(UtilityTest, ShortLinksNeedAnAccountAndASuccessfulAddressReply) {
    test::TestCA ca(home());
    ca.trust();
    test::LoopbackServer server(ca.server().certificateFile, ca.server().privateKeyFile);
    server.server().set_keep_alive_max_count(1);
    std::string reply;
    int status = 200;
    std::string seenURI;
    int requests = 0;
    server.server().Get("/v3/shorten", [&](const httplib::Request& request, httplib::Response& response) {
        ++requests;
        seenURI = request.get_param_value("uri");
        response.status = status;
        response.set_content(reply, "text/plain");
    });
    server.start();
    const std::string longURL = "https://web.social.test/video/video.php?v=1&x=2";
    EXPECT_FALSE(Utility::getBitlyShortURL(longURL));  // no account configured
    EXPECT_EQ(requests, 0);

    AppConfig config = AppConfig::current();
    config.shortenerLogin = "clipora";
    config.shortenerApiKey = "R_00000000000000000000000000000000";
    config.shortenerHost = "localhost:" + std::to_string(server.port());
    AppConfig::setCurrent(config);

    reply = "https://sho.rt/abc\n";
    EXPECT_EQ(Utility::getBitlyShortURL(longURL), std::optional<std::string>("https://sho.rt/abc"));
    EXPECT_EQ(seenURI, longURL);  // escaped, so the service sees one value
    for (auto [code, text] : {std::pair{200, "RATE_LIMIT_EXCEEDED"}, std::pair{500, "https://sho.rt/abc"},
                              std::pair{200, "<html>error</html>"}}) {
        status = code;
        reply = text;
        EXPECT_FALSE(Utility::getBitlyShortURL(longURL)) << code << " " << text;
    }
}

TEST(ProportionalFillTest, CropsAndScalesByPixels) {
    auto image = [](int w, int h, float scale) {
        return Image::imageWithBitmap(std::make_shared<Bitmap>(w, h), scale);
    };
    struct Case {
        int w, h;
        float scale;
        ProportionalFill::Method method;
        Size expected;
    };
    for (const auto& c : {Case{200, 100, 1, ProportionalFill::CropCentre, {57, 57}},
                          Case{400, 200, 2, ProportionalFill::CropCentre, {57, 57}},
                          Case{100, 200, 1, ProportionalFill::Scale, {29, 57}},
                          Case{100, 200, 1, ProportionalFill::CropEnd, {57, 57}}}) {
        auto result = ProportionalFill::imageToFitSizeMethod(image(c.w, c.h, c.scale), Size{57, 57}, c.method);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->size(), c.expected);
    }
    EXPECT_FALSE(ProportionalFill::imageCroppedToFitSize(nullptr, Size{57, 57}));
    EXPECT_FALSE(ProportionalFill::imageCroppedToFitSize(image(10, 10, 1), Size{0, 57}));
}

}  // namespace
