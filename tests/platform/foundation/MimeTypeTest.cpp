#include "platform/foundation/MimeType.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

TEST(MimeTypeTest, SystemTableByExtension) {
    ASSERT_GT(MimeType::system().count(), 100u) << "is " << MimeType::kSystemTablePath << " installed?";
    const std::pair<const char*, const char*> cases[] = {
        {"png", "image/png"},
        {"PNG", "image/png"},
        {".jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"html", "text/html"},
        {"txt", "text/plain"},
        {"mp4", "video/mp4"},
        {"mov", "video/quicktime"},
        {"json", "application/json"},
        {"xml", "application/xml"},
        {"no-such-extension", "application/octet-stream"},
        {"", "application/octet-stream"},
        {".", "application/octet-stream"},
    };
    for (const auto& [extension, type] : cases) {
        EXPECT_EQ(MimeType::forPathExtension(extension), type) << '"' << extension << '"';
    }
}

TEST(MimeTypeTest, ByPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"/videos/Clip.MP4", "video/mp4"},
        {"relative/image.jpeg", "image/jpeg"},
        {"archive.tar.png", "image/png"},
        {"/home/user/.png", "application/octet-stream"},  // a hidden name, not an extension
        {"/dir.html/file", "application/octet-stream"},
        {"/dir/", "application/octet-stream"},
        {"", "application/octet-stream"},
    };
    for (const auto& [path, type] : cases) EXPECT_EQ(MimeType::forPath(path), type) << path;
}

TEST(MimeTypeTest, TableFormatCommentsCaseAndFirstClaim) {
    test::TestHome home;
    const auto file = home / "mime.types";
    std::ofstream(file) << "# a comment line naming text/x-none zzz\n"
                           "text/x-first\t\tfoo\n"
                           "\n"
                           "text/x-second  FOO Bar baz # trailing comment qux\n"
                           "application/x-lonely\n";
    const MimeType table(file.string());
    EXPECT_EQ(table.typeForExtension("foo"), "text/x-first");
    EXPECT_EQ(table.typeForExtension("BAR"), "text/x-second");
    EXPECT_EQ(table.typeForExtension("baz"), "text/x-second");
    EXPECT_EQ(table.knownTypeForExtension("qux"), std::nullopt);
    EXPECT_EQ(table.knownTypeForExtension("zzz"), std::nullopt);
    EXPECT_EQ(table.count(), 3u);

    const MimeType missing((home / "absent.types").string());
    EXPECT_EQ(missing.count(), 0u);
    EXPECT_EQ(missing.typeForExtension("png"), MimeType::kDefaultType);
}

}  // namespace
}  // namespace clipora::platform
