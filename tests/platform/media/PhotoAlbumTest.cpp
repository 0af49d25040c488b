#include "platform/media/PhotoAlbum.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

class PhotoAlbumTest : public test::PlatformTest {
protected:
    void TearDown() override {
        PhotoAlbum::clearInjectedFailures();
        test::PlatformTest::TearDown();
    }

    // A file whose first box is `box`, then some payload.
    std::string writeMovie(const std::string& name, const std::string& box) {
        std::string path = (home() / "Library/Caches" / name).string();
        std::string bytes = std::string("\0\0\0\x18", 4) + box + "isom" + std::string(1000, 'x');
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    struct Outcome {
        bool called = false;
        bool onMainThread = false;
        std::optional<URL> asset;
        std::optional<Error> error;
    };
    PhotoAlbum::WriteCompletion recordInto(Outcome& outcome) {
        return [&outcome](const std::optional<URL>& asset, const std::optional<Error>& error) {
            outcome.called = true;
            outcome.onMainThread = RunLoop::isMainThread();
            outcome.asset = asset;
            outcome.error = error;
        };
    }
};

TEST_F(PhotoAlbumTest, CompatibilityGoesByExtensionAndByTheFilesFirstBox) {
    struct Case {
        std::string name;
        std::string box;
        bool compatible;
    };
    for (const Case& c : std::vector<Case>{{"a.mp4", "ftyp", true},
                                           {"b.MOV", "moov", true},
                                           {"c.m4v", "ftyp", true},
                                           {"d.mov", "ftyp", true},
                                           {"e.mp4", "moov", false},  // an MP4 starts with its file type
                                           {"f.mp4", "<htm", false},  // an error page saved as .mp4
                                           {"g.avi", "ftyp", false}}) {
        SCOPED_TRACE(c.name);
        std::string path = writeMovie(c.name, c.box);
        EXPECT_EQ(PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum(path), c.compatible);
        // A URL without a scheme made from the path text, as callers do.
        EXPECT_EQ(PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum(*URL::fromString(path)), c.compatible);
    }
    EXPECT_FALSE(PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum((home() / "absent.mp4").string()));
    std::ofstream((home() / "tiny.mp4").string()) << "ftyp";
    EXPECT_FALSE(PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum((home() / "tiny.mp4").string()));
}

TEST_F(PhotoAlbumTest, WriteCopiesIntoTheAlbumAndReportsOnTheMainThread) {
    std::string source = writeMovie("clip.mp4", "ftyp");
    Outcome outcome;
    PhotoAlbum::writeVideoAtPathToSavedPhotosAlbum(URL::fileURLWithPath(source), recordInto(outcome));
    EXPECT_FALSE(outcome.called);  // never from inside the call
    ASSERT_TRUE(pumpUntil([&] { return outcome.called; }));
    EXPECT_TRUE(outcome.onMainThread);
    ASSERT_FALSE(outcome.error) << outcome.error->description();
    ASSERT_TRUE(outcome.asset);
    EXPECT_EQ(outcome.asset->scheme(), "photo-album");

    auto files = PhotoAlbum::savedFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(std::filesystem::path(files[0]).parent_path(), home() / "PhotoAlbum");
    EXPECT_EQ(std::filesystem::path(files[0]).extension(), ".mp4");
    EXPECT_EQ(FileManager::contentsOfFile(files[0]), FileManager::contentsOfFile(source));
    EXPECT_TRUE(FileManager::fileExists(source));  // copied, not moved
    EXPECT_EQ(outcome.asset->lastPathComponent(), std::filesystem::path(files[0]).filename().string());
}

TEST_F(PhotoAlbumTest, InjectedFailureAndBadSourcesReportErrorsAndCopyNothing) {
    std::string source = writeMovie("clip.mov", "mdat");
    PhotoAlbum::injectFailure(Error::withDescription("test", 7, "disk full"));
    Outcome injected;
    PhotoAlbum::writeVideoAtPathToSavedPhotosAlbum(URL::fileURLWithPath(source), recordInto(injected));
    ASSERT_TRUE(pumpUntil([&] { return injected.called; }));
    EXPECT_TRUE(injected.onMainThread);
    EXPECT_FALSE(injected.asset);
    ASSERT_TRUE(injected.error);
    EXPECT_EQ(injected.error->code(), 7);
    EXPECT_TRUE(PhotoAlbum::savedFiles().empty());

    Outcome incompatible;
    PhotoAlbum::writeVideoAtPathToSavedPhotosAlbum(URL::fileURLWithPath(writeMovie("x.mp4", "<htm")),
                                                   recordInto(incompatible));
    Outcome missing;
    PhotoAlbum::writeVideoAtPathToSavedPhotosAlbum(URL::fileURLWithPath((home() / "gone.mp4").string()),
                                                   recordInto(missing));
    ASSERT_TRUE(pumpUntil([&] { return incompatible.called && missing.called; }));
    EXPECT_EQ(incompatible.error->code(), PhotoAlbum::kErrorWriteIncompatibleData);
    EXPECT_EQ(missing.error->code(), PhotoAlbum::kErrorDataUnavailable);
    EXPECT_TRUE(PhotoAlbum::savedFiles().empty());

    // The injection was for one write: the next one goes through, in the
    // path-and-completion form.
    std::optional<std::string> savedPath;
    std::optional<Error> savedError;
    PhotoAlbum::saveVideoAtPathToSavedPhotosAlbum(source, [&](const std::string& path, const std::optional<Error>& e) {
        savedPath = path;
        savedError = e;
    });
    ASSERT_TRUE(pumpUntil([&] { return savedPath.has_value(); }));
    EXPECT_EQ(*savedPath, source);
    EXPECT_FALSE(savedError);
    EXPECT_EQ(PhotoAlbum::savedFiles().size(), 1u);
}

TEST_F(PhotoAlbumTest, PicturesAreStoredAsPNG) {
    auto bitmap = Bitmap::make(2, 2);
    bitmap->fill({10, 20, 30, 255});
    Outcome outcome;
    PhotoAlbum::writeImageToSavedPhotosAlbum(Image::imageWithBitmap(bitmap), recordInto(outcome));
    ASSERT_TRUE(pumpUntil([&] { return outcome.called; }));
    ASSERT_FALSE(outcome.error);
    auto files = PhotoAlbum::savedFiles();
    ASSERT_EQ(files.size(), 1u);
    auto stored = Image::imageWithContentsOfFile(files[0]);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->bitmap()->pixel(1, 1), (Bitmap::Pixel{10, 20, 30, 255}));
}

}  // namespace
}  // namespace clipora::platform
