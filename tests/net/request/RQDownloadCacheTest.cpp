#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/request/RQDownloadCache.h"
#include "net/request/RQHTTPRequest.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "tests/net/request/RequestTestSupport.h"

namespace clipora::test {
namespace {

using platform::Data;
using platform::FileManager;
using platform::HTTPHeaders;
using platform::URL;

constexpr const char* kLastModified = "Fri, 01 Jun 2012 10:00:00 GMT";

class DownloadCacheTest : public RequestTest {
protected:
    void SetUp() override {
        RequestTest::SetUp();
        auto& s = server_.server();
        // Fresh for a minute, with a validator.
        s.Get("/fresh", [this](const httplib::Request& req, httplib::Response& res) {
            note(req);
            res.set_header("Cache-Control", "max-age=60");
            res.set_header("ETag", "\"v1\"");
            if (req.get_header_value("If-None-Match") == "\"v1\"") {
                res.status = 304;
                return;
            }
            res.set_content("fresh body", "text/plain");
        });
        // Stale at once; revalidated by entity tag or by date.
        s.Get("/etag", [this](const httplib::Request& req, httplib::Response& res) {
            note(req);
            res.set_header("ETag", "\"e1\"");
            if (req.get_header_value("If-None-Match") == "\"e1\"") {
                res.status = 304;
                return;
            }
            res.set_content("etag body", "text/plain");
        });
        s.Get("/modified", [this](const httplib::Request& req, httplib::Response& res) {
            note(req);
            res.set_header("Last-Modified", kLastModified);
            if (req.get_header_value("If-Modified-Since") == kLastModified) {
                res.status = 304;
                return;
            }
            res.set_content("modified body", "text/plain");
        });
        s.Get(R"(/control/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            note(req);
            const auto& [name, value] = kControls[std::stoi(req.matches[1])];
            res.set_header(name, value);
            res.set_content("secret body", "text/plain");
        });
        s.Get("/cookie", [this](const httplib::Request& req, httplib::Response& res) {
            note(req);
            res.set_header("Cache-Control", "max-age=60");
            res.set_header("Set-Cookie", "session=s3cr3t; Path=/");
            res.set_header("Set-Cookie2", "other=s3cr3t2");
            res.set_header("Content-Encoding", "gzip");
            const Data packed = gzip(kInflated);
            res.set_content(std::string(packed.begin(), packed.end()), "application/octet-stream");
        });
        s.Get(R"(/status/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            note(req);
            res.status = std::stoi(req.matches[1]);
            res.set_header("Cache-Control", "max-age=60");
            res.set_content("partial", "text/plain");
        });
        s.Get("/page.cachedheaders", [this](const httplib::Request& req, httplib::Response& res) {
            note(req);
            res.set_header("Cache-Control", "max-age=60");
            res.set_content("not a header list", "text/plain");
        });
        s.Get("/expires", [this](const httplib::Request& req, httplib::Response& res) {
            note(req);
            res.set_header("Expires", "Sat, 02 Jun 2012 12:00:00 GMT");
            res.set_content("expiring", "text/plain");
        });
        server_.start();
        cache_ = std::make_shared<RQDownloadCache>();
        cache_->setStoragePath(cachePath());
    }

    std::string cachePath() const { return (home() / "Library/Caches/TestCache").string(); }

    void note(const httplib::Request& req) {
        std::lock_guard lock(mutex_);
        ++hits_[req.path];
        conditional_[req.path] = {req.get_header_value("If-None-Match"), req.get_header_value("If-Modified-Since")};
    }

    int hits(const std::string& path) {
        std::lock_guard lock(mutex_);
        return hits_[path];
    }

    std::pair<std::string, std::string> conditional(const std::string& path) {
        std::lock_guard lock(mutex_);
        return conditional_[path];
    }

    // A finished GET through the cache.
    std::shared_ptr<RQHTTPRequest> fetch(const std::string& path, int policy = 0, int storagePolicy = 0) {
        auto request =
            RQHTTPRequest::requestWithURLUsingCacheAndCachePolicy(URL::fromString(server_.url(path)), cache_, policy);
        request->setCacheStoragePolicy(storagePolicy);
        EXPECT_TRUE(runAsync(request)) << path;
        EXPECT_FALSE(request->error()) << path;
        return request;
    }

    URL url(const std::string& path) const { return *URL::fromString(server_.url(path)); }

    std::vector<std::string> storedFiles() const {
        std::vector<std::string> names;
        for (const char* store : {RQDownloadCache::kSessionStoreName, RQDownloadCache::kPermanentStoreName}) {
            for (const auto& name :
                 FileManager::contentsOfDirectory(cachePath() + "/" + store).value_or(std::vector<std::string>{}))
                names.push_back(std::string(store) + "/" + name);
        }
        return names;
    }

    static inline const std::vector<std::pair<std::string, std::string>> kControls = {
        {"Cache-Control", "no-store"},
        {"Cache-Control", "private, no-store"},
        {"Cache-Control", "max-age=60, NO-STORE"},
        {"Cache-Control", "No-Cache"},
        {"Pragma", "no-cache"},
    };
    static inline const std::string kInflated = std::string(5000, 'i') + " inflated";

    LoopbackServer server_;
    std::shared_ptr<RQDownloadCache> cache_;
    std::mutex mutex_;
    std::map<std::string, int> hits_;
    std::map<std::string, std::pair<std::string, std::string>> conditional_;
};

TEST_F(DownloadCacheTest, KeyIsTheUpperCaseMD5OfTheURLWithoutOneTrailingSlash) {
    const auto key = RQDownloadCache::keyForURL(*URL::fromString("http://example.test/a/"));
    EXPECT_EQ(key, RQDownloadCache::keyForURL(*URL::fromString("http://example.test/a")));
    EXPECT_EQ(key, platform::Digest::hex(platform::Digest::md5(std::string_view("http://example.test/a")), true));
    EXPECT_EQ(key.size(), 32u);
    EXPECT_EQ(key, platform::Text::uppercase(key));
}

TEST_F(DownloadCacheTest, BodyFileExtension) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"http://h/video.mp4", "mp4"},
        {"http://h/a/b", "html"},
        {"http://h/", "html"},
        {"http://h/archive.tar.gz", "gz"},
        // Never the header file's own extension, in any case.
        {"http://h/x.cachedheaders", "html"},
        {"http://h/x.CachedHeaders", "html"},
        {"http://h/x.a%20b", "html"},
        {"http://h/x.aaaaaaaaaaaaaaaaaaaaaaaaa", "html"},
    };
    for (const auto& [text, extension] : cases) {
        EXPECT_EQ(RQDownloadCache::bodyExtensionForURL(*URL::fromString(text)), extension) << text;
    }
}

TEST_F(DownloadCacheTest, DefaultPolicyZeroMeansFour) {
    RQDownloadCache cache;
    EXPECT_EQ(cache.defaultCachePolicy(), 4);
    cache.setDefaultCachePolicy(16);
    EXPECT_EQ(cache.defaultCachePolicy(), 16);
    cache.setDefaultCachePolicy(0);
    EXPECT_EQ(cache.defaultCachePolicy(), 4);
    EXPECT_FALSE(cache.storagePath());
    EXPECT_FALSE(cache.pathToCachedResponseDataForURL(url("/fresh")));
}

TEST_F(DownloadCacheTest, ServerAllowsCachingUnlessADirectiveForbidsIt) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"Cache-Control", "no-store", false},
        {"Cache-Control", "private, no-store", false},
        {"Cache-Control", "max-age=60 , NO-STORE", false},
        {"Cache-Control", "No-Cache", false},
        {"Cache-Control", "no-cache=\"Set-Cookie\"", false},
        {"Pragma", "no-cache", false},
        {"Pragma", "x, no-cache", false},
        {"Cache-Control", "private", true},
        {"Cache-Control", "max-age=60, public", true},
        {"Cache-Control", "no-storex", true},
        {"X-Other", "no-store", true},
    };
    for (const auto& [name, value, allowed] : cases) {
        HTTPHeaders headers;
        headers.set(name, value);
        EXPECT_EQ(RQDownloadCache::serverAllowsResponseCachingForHeaders(headers), allowed) << name << ": " << value;
    }
}

TEST_F(DownloadCacheTest, MaxAgeServesFromTheCacheUntilStaleThenRevalidates) {
    auto first = fetch("/fresh");
    EXPECT_FALSE(first->didUseCachedResponse());
    EXPECT_EQ(text(first->responseData()), "fresh body");
    ASSERT_EQ(hits("/fresh"), 1);

    advanceClock(59);
    auto second = fetch("/fresh");
    EXPECT_TRUE(second->didUseCachedResponse());
    EXPECT_EQ(text(second->responseData()), "fresh body");
    EXPECT_EQ(second->responseStatusCode(), 200);
    EXPECT_EQ(hits("/fresh"), 1) << "fresh: the server is not asked";

    advanceClock(2);
    auto third = fetch("/fresh");
    EXPECT_EQ(hits("/fresh"), 2) << "stale: the server is asked";
    EXPECT_EQ(conditional("/fresh").first, "\"v1\"");
    EXPECT_TRUE(third->didUseCachedResponse()) << "304: the stored body is used";
    EXPECT_EQ(text(third->responseData()), "fresh body");

    // The 304 renewed the entry: fresh again for another minute.
    advanceClock(59);
    auto fourth = fetch("/fresh");
    EXPECT_TRUE(fourth->didUseCachedResponse());
    EXPECT_EQ(hits("/fresh"), 2);
}

TEST_F(DownloadCacheTest, AnswerFromTheCacheAfterA304GivesTheConnectionBack) {
    fetch("/etag");
    auto revalidated = fetch("/etag");
    ASSERT_TRUE(revalidated->didUseCachedResponse());
    ASSERT_TRUE(pumpUntil([] { return !RQHTTPRequest::isNetworkInUse(); }));
    EXPECT_EQ(revalidated->readStream(), nullptr);
    // The next request to the host rides on the same connection.
    auto next = fetch("/etag");
    ASSERT_TRUE(next->connectionID());
    EXPECT_EQ(next->connectionID(), revalidated->connectionID());
}

TEST_F(DownloadCacheTest, RevalidationByEntityTagOrDateAnswersFromTheCacheOn304) {
    struct Case {
        const char* path;
        int policy;
        bool expectEtag;  // else If-Modified-Since
        const char* value;
        const char* body;
    };
    const std::vector<Case> cases = {
        {"/etag", 0, true, "\"e1\"", "etag body"},
        {"/modified", 0, false, kLastModified, "modified body"},
        // Fresh, but policy 8 asks all the same.
        {"/fresh", RQCacheDelegate::kAskServerIfModified, true, "\"v1\"", "fresh body"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto first = fetch(c.path, c.policy);
        EXPECT_FALSE(first->didUseCachedResponse());
        EXPECT_EQ(conditional(c.path), (std::pair<std::string, std::string>{}));

        auto second = fetch(c.path, c.policy);
        EXPECT_EQ(hits(c.path), 2);
        const auto sent = conditional(c.path);
        EXPECT_EQ(c.expectEtag ? sent.first : sent.second, c.value);
        EXPECT_TRUE(second->didUseCachedResponse());
        EXPECT_EQ(second->responseStatusCode(), 200);
        EXPECT_EQ(text(second->responseData()), c.body);
    }
}

TEST_F(DownloadCacheTest, ForbiddenResponsesNeverReachTheDisk) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        SCOPED_TRACE(kControls[i].first + ": " + kControls[i].second);
        const std::string path = "/control/" + std::to_string(i);
        auto request = fetch(path);
        EXPECT_EQ(text(request->responseData()), "secret body");
        EXPECT_EQ(storedFiles(), std::vector<std::string>{});
        EXPECT_FALSE(cache_->cachedResponseHeadersForURL(url(path)));
        fetch(path);
        EXPECT_EQ(hits(path), 2);
    }
    // A cache told to ignore the server's wishes keeps it.
    cache_->setShouldRespectCacheControlHeaders(false);
    fetch("/control/0");
    EXPECT_EQ(storedFiles().size(), 2u);
}

TEST_F(DownloadCacheTest, StoredHeadersKeepNoCookiesAndDescribeTheInflatedBody) {
    auto first = fetch("/cookie");
    ASSERT_EQ(text(first->responseData()), kInflated);

    auto headersPath = cache_->pathToCachedResponseHeadersForURL(url("/cookie"));
    ASSERT_TRUE(headersPath);
    EXPECT_NE(headersPath->find("/SessionStore/"), std::string::npos);
    EXPECT_EQ(fileText(*headersPath).find("s3cr3t"), std::string::npos) << "no cookie value in the cache files";
    auto stored = cache_->cachedResponseHeadersForURL(url("/cookie"));
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->contains("Set-Cookie"));
    EXPECT_FALSE(stored->contains("Set-Cookie2"));
    EXPECT_FALSE(stored->contains("Content-Encoding"));
    EXPECT_EQ(stored->value("Content-Length"), std::to_string(kInflated.size()));
    EXPECT_TRUE(stored->contains(RQDownloadCache::kFetchDateHeader));
    EXPECT_EQ(stored->value(RQDownloadCache::kFetchDateHeader), "Fri, 01 Jun 2012 12:00:00 GMT");
    EXPECT_EQ(text(cache_->cachedResponseDataForURL(url("/cookie"))), kInflated);

    auto second = fetch("/cookie");
    EXPECT_TRUE(second->didUseCachedResponse());
    EXPECT_EQ(text(second->responseData()), kInflated);
    EXPECT_EQ(second->contentLength(), kInflated.size());
    EXPECT_TRUE(second->responseCookies().empty());
    EXPECT_EQ(hits("/cookie"), 1);
}

TEST_F(DownloadCacheTest, OnlyCompleteOKAnswersAreStored) {
    for (int status : {203, 206, 404}) {
        SCOPED_TRACE(status);
        fetch("/status/" + std::to_string(status));
        EXPECT_EQ(storedFiles(), std::vector<std::string>{});
    }
    // Nor when the request's own policy says not to write.
    fetch("/fresh", RQCacheDelegate::kAskServerIfModifiedWhenStale | RQCacheDelegate::kDoNotWriteToCache);
    EXPECT_EQ(storedFiles(), std::vector<std::string>{});
}

TEST_F(DownloadCacheTest, APathEndingLikeTheHeaderFileKeepsBothFiles) {
    fetch("/page.cachedheaders");
    auto files = storedFiles();
    ASSERT_EQ(files.size(), 2u);
    const std::string key = RQDownloadCache::keyForURL(url("/page.cachedheaders"));
    EXPECT_EQ(files,
              (std::vector<std::string>{"SessionStore/" + key + ".cachedheaders", "SessionStore/" + key + ".html"}));
    auto second = fetch("/page.cachedheaders");
    EXPECT_TRUE(second->didUseCachedResponse());
    EXPECT_EQ(text(second->responseData()), "not a header list");
}

TEST_F(DownloadCacheTest, PoliciesThatNeedNoServer) {
    // 32: answer from the cache even when nothing is stored.
    auto never = fetch("/fresh", RQCacheDelegate::kDontLoad);
    EXPECT_TRUE(never->complete());
    EXPECT_EQ(hits("/fresh"), 0);

    // 16: any stored data, however stale.
    fetch("/etag");
    advanceClock(3600);
    auto stale = fetch("/etag", RQCacheDelegate::kOnlyLoadIfNotCached);
    EXPECT_TRUE(stale->didUseCachedResponse());
    EXPECT_EQ(hits("/etag"), 1);

    // 1: never read, even when fresh.
    fetch("/fresh");
    auto reload = fetch("/fresh", RQCacheDelegate::kDoNotReadFromCache);
    EXPECT_FALSE(reload->didUseCachedResponse());
    EXPECT_EQ(hits("/fresh"), 2);
}

TEST_F(DownloadCacheTest, MaximumAgeGivenByTheRequestReplacesExpires) {
    auto request = RQHTTPRequest::requestWithURLUsingCache(URL::fromString(server_.url("/expires")), cache_);
    request->setSecondsToCache(30);
    ASSERT_TRUE(runAsync(request));
    auto stored = cache_->cachedResponseHeadersForURL(url("/expires"));
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->contains("Expires"));
    EXPECT_EQ(stored->value("Cache-Control"), "max-age=30");

    // Without it, Expires decides.
    cache_->clearCachedResponsesForStoragePolicy(0);
    fetch("/expires");
    advanceClock(23 * 3600);
    EXPECT_TRUE(fetch("/expires")->didUseCachedResponse());
    advanceClock(2 * 3600);
    EXPECT_FALSE(fetch("/expires")->didUseCachedResponse());
}

TEST_F(DownloadCacheTest, SessionStoreLastsUntilTheNextStoragePathAndPermanentStoreStays) {
    fetch("/fresh", 0, 0);
    fetch("/etag", 0, 1);
    auto permanent = cache_->pathToCachedResponseDataForURL(url("/etag"));
    ASSERT_TRUE(permanent);
    EXPECT_NE(permanent->find("/PermanentStore/"), std::string::npos);

    RQDownloadCache nextLaunch;
    nextLaunch.setStoragePath(cachePath());
    EXPECT_FALSE(nextLaunch.cachedResponseHeadersForURL(url("/fresh")));
    EXPECT_TRUE(nextLaunch.cachedResponseHeadersForURL(url("/etag")));

    // Removing needs both files.
    auto request = RQHTTPRequest::requestWithURL(url("/etag"));
    std::filesystem::remove(*permanent);
    nextLaunch.removeCachedDataForRequest(*request);
    EXPECT_TRUE(nextLaunch.pathToCachedResponseHeadersForURL(url("/etag")));
    nextLaunch.clearCachedResponsesForStoragePolicy(1);
    EXPECT_EQ(storedFiles(), std::vector<std::string>{});
}

TEST_F(DownloadCacheTest, AFileInTheWayOfTheFoldersIsReported) {
    const std::string blocked = (home() / "blocked").string();
    std::ofstream(blocked) << "x";
    RQDownloadCache cache;
    try {
        cache.setStoragePath(blocked);
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), "FileExistsAtCachePath");
        EXPECT_EQ(e.reason(),
                  "Cannot create a directory for the cache at '" + blocked + "', because a file already exists");
    }
}

TEST_F(DownloadCacheTest, SharedCacheLivesInTheCachesFolder) {
    auto shared = RQDownloadCache::sharedCache();
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared, RQDownloadCache::sharedCache());
    ASSERT_TRUE(shared->storagePath());
    EXPECT_TRUE(platform::Text::hasSuffix(*shared->storagePath(), "/Library/Caches/RQHTTPRequestCache"));
    // Made once per process: its folders are in the home of the test that
    // made it first, which is this one unless the tests share a process.
    if (platform::Text::hasPrefix(*shared->storagePath(), home().string())) {
        EXPECT_TRUE(FileManager::isDirectory(*shared->storagePath() + "/SessionStore"));
    }
}

}  // namespace
}  // namespace clipora::test
