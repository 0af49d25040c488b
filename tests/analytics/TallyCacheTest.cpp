#include "analytics/TallyFileCache.h"
#include "analytics/TallyImageCache.h"
#include "platform/foundation/FileManager.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;

class TallyCacheTest : public test::AnalyticsTest {
protected:
    void SetUp() override {
        AnalyticsTest::SetUp();
        files = TallyFileCache::createInstanceWithApiKeyAgentVersion("K", "79");
    }
    static std::string tally() { return FileManager::cachesDirectory() + "/Tally"; }
    std::shared_ptr<TallyFileCache> files;
};

TEST_F(TallyCacheTest, FileNamesCarryTheKeyAndOptionallyTheVersion) {
    EXPECT_EQ(TallyFileCache::createInstanceWithApiKeyAgentVersion("other", "1"), files);
    ASSERT_EQ(files->savePrefix(Value("x"), "x"), tally() + "/tallyCache_x_K_79.archive");
    EXPECT_EQ(files->savePrefixForCurentAgentVersion(Value(1), "x", false), tally() + "/tallyCache_x_K_.archive");
    EXPECT_EQ(files->get("x"), Value("x"));
    EXPECT_EQ(files->getForCurentAgentVersion("x", false), Value(1));
    EXPECT_FALSE(files->get("never"));
    EXPECT_TRUE(files->remove("x"));
    EXPECT_FALSE(files->remove("x"));
    EXPECT_TRUE(files->removeCache());
    EXPECT_FALSE(FileManager::fileExists(tally()));
}

TEST_F(TallyCacheTest, NamesCannotLeaveTheCacheFolder) {
    for (const std::string& name :
         std::vector<std::string>{"../../escape", "a/b", "..", "x2f2e", std::string("nul\0byte", 8)}) {
        const std::string path = files->createFilePathForCurentAgentVersion(name, true);
        EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(tally())) << name;
        ASSERT_TRUE(files->savePrefix(Value(static_cast<int>(name.size())), name)) << name;
        EXPECT_EQ(files->get(name), Value(static_cast<int>(name.size()))) << name;
    }
    // Distinct names stay distinct.
    EXPECT_NE(files->createFilePathForCurentAgentVersion("a/b", true),
              files->createFilePathForCurentAgentVersion("a_b", true));
    auto keyed = TallyFileCache("../k", "79");
    EXPECT_EQ(std::filesystem::path(keyed.createFilePathForCurentAgentVersion("n", true)).parent_path(),
              std::filesystem::path(tally()));
}

TEST_F(TallyCacheTest, ACorruptArchiveReadsAsNoneAndIsDeleted) {
    const std::string path = files->createFilePathForCurentAgentVersion("imageCache", false);
    ASSERT_TRUE(FileManager::writeData(path, test::textBytes("not an archive")));
    EXPECT_FALSE(files->getForCurentAgentVersion("imageCache", false));
    EXPECT_FALSE(FileManager::fileExists(path));
    // So the shared image cache still comes up.
    EXPECT_TRUE(TallyImageCache::createInstanceWithFileCache(files));
}

TEST_F(TallyCacheTest, ImageCacheForgetsTheLeastRecentlyUsed) {
    auto images = TallyImageCache::initWithFileCache(files);
    images->setMaxImageCached(3);
    for (const char* id : {"1", "2", "3"}) images->saveImageId(Value(std::string("img") + id), std::string(id));
    EXPECT_EQ(images->get(std::string("1")), Value("img1"));  // now most recently used
    images->saveImageId(Value("img2b"), std::string("2"));    // present: evicts nothing
    EXPECT_EQ(images->lru(), (std::vector<std::string>{"3", "1", "2"}));
    images->saveImageId(Value("img4"), std::string("4"));
    EXPECT_EQ(images->lru(), (std::vector<std::string>{"1", "2", "4"}));
    EXPECT_FALSE(FileManager::fileExists(files->createFilePathForCurentAgentVersion("tallyImage3", false)));
    // A file deleted behind the cache's back: none, and the id is forgotten.
    FileManager::removeItem(files->createFilePathForCurentAgentVersion("tallyImage1", false));
    EXPECT_FALSE(images->get(std::string("1")));
    EXPECT_EQ(images->storedIds(), (std::vector<std::string>{"2", "4"}));
    EXPECT_FALSE(images->remove(std::string("unknown")));
    EXPECT_TRUE(images->remove(std::string("2")));
    EXPECT_FALSE(images->get(std::nullopt));
    // An id that is a path stays inside the folder.
    images->saveImageId(Value("evil"), std::string("/../../x"));
    EXPECT_EQ(images->get(std::string("/../../x")), Value("evil"));
}

TEST_F(TallyCacheTest, TheSharedImageCacheIsLoadedFromItsArchive) {
    auto images = TallyImageCache::initWithFileCache(files);
    images->setMaxImageCached(7);
    images->setCacheUpdateTimestamp(1234);
    images->saveImageId(Value("a"), std::string("10"));
    images->saveImageId(Value("b"), std::string("11"));
    ASSERT_TRUE(
        files->savePrefixForCurentAgentVersion(Value(std::static_pointer_cast<Object>(images)), "imageCache", false));
    auto other = std::make_shared<TallyFileCache>("K", "79");
    auto loaded = TallyImageCache::createInstanceWithFileCache(other);
    EXPECT_NE(loaded, images);
    EXPECT_EQ(loaded->fileCache(), other);
    EXPECT_EQ(loaded->maxImageCached(), 7);
    EXPECT_EQ(loaded->cacheUpdateTimestamp(), 1234);
    EXPECT_EQ(loaded->lru(), (std::vector<std::string>{"10", "11"}));
    EXPECT_EQ(TallyImageCache::instance(), loaded);
    EXPECT_EQ(TallyImageCache::recreateInstanceWithFileCache(files)->maxImageCached(), 7);
}

}  // namespace
}  // namespace clipora
