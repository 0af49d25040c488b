#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>

#include "net/request/RQError.h"
#include "net/request/RQS3BucketRequest.h"
#include "net/request/RQS3ObjectRequest.h"
#include "net/request/RQS3ServiceRequest.h"
#include "platform/cfnetwork/HostResolver.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCA.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

constexpr const char* kAccess = "AKIDEXAMPLE";
constexpr const char* kSecret = "secret/key+example";
constexpr const char* kHost = "s3.storage.test";

std::string sign(const std::string& text) { return Base64::encode(Digest::hmacSHA1(kSecret, text)); }

// A small stand-in of the storage service: virtual-hosted buckets, signature
// checked on every request, objects kept in memory, XML listings and error
// documents, and a "RequestTimeout" on demand.
class FakeS3 {
public:
    explicit FakeS3(test::TestCA& ca) : server_(ca.server().certificateFile, ca.server().privateKeyFile) {
        auto handler = [this](const httplib::Request& request, httplib::Response& response) {
            handle(request, response);
        };
        server_.server().Get(".*", handler);
        server_.server().Put(".*", handler);
        server_.server().Delete(".*", handler);
        server_.start();
    }
    std::uint16_t port() const { return server_.port(); }

    std::map<std::string, std::string> objects;  // "bucket/key" -> body
    std::map<std::string, std::string> types;    // "bucket/key" -> type given when stored
    std::atomic<int> timeoutsToSend{0};
    std::atomic<int> requests{0};
    std::string lastStringToSign;
    std::string lastCopySource;
    std::mutex mutex;

private:
    static std::string xmlError(const std::string& code, const std::string& message) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Error><Code>" + code + "</Code><Message>" + message +
               "</Message></Error>";
    }
    void handle(const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex);
        ++requests;
        std::string host = request.get_header_value("Host");
        host = host.substr(0, host.find(':'));
        const std::string bucket =
            host == kHost ? "" : host.substr(0, host.size() - std::string(".").size() - std::string(kHost).size());
        const std::string target = request.target;
        const std::string rawPath = target.substr(0, target.find('?'));
        const std::string query = target.find('?') == std::string::npos ? "" : target.substr(target.find('?') + 1);
        std::string resource = bucket.empty() ? "/" : "/" + bucket + (rawPath == "/" ? "/" : rawPath);
        if (query == "acl" || query.rfind("acl&", 0) == 0) resource += "?acl";
        std::string amz;
        std::map<std::string, std::string> amzHeaders;
        for (const auto& [name, value] : request.headers)
            if (Text::hasPrefix(Text::lowercase(name), "x-amz-")) amzHeaders[Text::lowercase(name)] = value;
        for (const auto& [name, value] : amzHeaders) amz += name + ":" + value + "\n";
        const std::string type = request.method == "PUT" && !request.has_header("x-amz-copy-source")
                                     ? request.get_header_value("Content-Type")
                                     : "";
        lastStringToSign =
            request.method + "\n\n" + type + "\n" + request.get_header_value("Date") + "\n" + amz + resource;
        if (request.get_header_value("Authorization") != "AWS " + std::string(kAccess) + ":" + sign(lastStringToSign)) {
            response.status = 403;
            response.set_content(
                xmlError("SignatureDoesNotMatch", "The request signature we calculated does not match"),
                "application/xml");
            return;
        }
        if (timeoutsToSend > 0) {
            --timeoutsToSend;
            response.status = 400;
            response.set_content(xmlError("RequestTimeout", "Your socket connection to the server was not read from"),
                                 "application/xml");
            return;
        }
        if (bucket.empty()) {
            response.set_content(
                "<ListAllMyBucketsResult><Owner><ID>owner-1</ID><DisplayName>Robin</DisplayName></Owner><Buckets>"
                "<Bucket><Name>photos</Name><CreationDate>2012-05-01T10:00:00.000Z</CreationDate></Bucket>"
                "<Bucket><Name>videos</Name><CreationDate>not a date</CreationDate></Bucket>"
                "</Buckets></ListAllMyBucketsResult>",
                "application/xml");
            return;
        }
        const std::string key = Text::percentUnescape(rawPath.substr(1)).value_or("");
        if (request.method == "GET" && key.empty() && request.get_param_value("prefix") == "broken") {
            response.set_content("<ListBucketResult><Name>", "application/xml");
            return;
        }
        if (request.method == "GET" && key.empty()) {
            std::string xml =
                "<ListBucketResult><Name>" + bucket + "</Name><Prefix>p</Prefix><IsTruncated>true</IsTruncated>";
            for (const auto& [name, body] : objects)
                if (name.rfind(bucket + "/", 0) == 0)
                    xml += "<Contents><Key>" + Text::replaceAll(name.substr(bucket.size() + 1), "&", "&amp;") +
                           "</Key><LastModified>2012-05-02T11:00:00.000Z</LastModified><ETag>\"e\"</ETag><Size>" +
                           std::to_string(body.size()) +
                           "</Size><Owner><ID>owner-1</ID><DisplayName>Robin</DisplayName></Owner></Contents>";
            xml += "<CommonPrefixes><Prefix>albums/</Prefix></CommonPrefixes></ListBucketResult>";
            response.set_content(xml, "application/xml");
            return;
        }
        if (request.method == "PUT" && !key.empty()) {
            if (request.has_header("x-amz-copy-source")) {
                lastCopySource = request.get_header_value("x-amz-copy-source");
                objects[bucket + "/" + key] = objects[Text::percentUnescape(lastCopySource).value_or("")];
            } else {
                objects[bucket + "/" + key] = request.body;
                types[bucket + "/" + key] = request.get_header_value("Content-Type");
            }
            return;
        }
        auto found = objects.find(bucket + "/" + key);
        if (found == objects.end()) {
            response.status = 404;
            response.set_content(xmlError("NoSuchKey", "The specified key does not exist."), "application/xml");
            return;
        }
        if (request.method == "DELETE") {
            objects.erase(found);
            response.status = 204;
            return;
        }
        const auto stored = types.find(found->first);
        response.set_content(found->second, stored == types.end() ? "binary/octet-stream" : stored->second);
    }

    loopback::LoopbackServer server_;
};

class RQS3RequestTest : public test::RequestTest {
protected:
    void SetUp() override {
        RequestTest::SetUp();
        ca = std::make_unique<test::TestCA>(home() / "tls",
                                            std::vector<std::string>{kHost, std::string("photos.") + kHost});
        ca->trust();
        fake = std::make_unique<FakeS3>(*ca);
        for (const std::string& host : {std::string(kHost), std::string("photos.") + kHost})
            HostResolver::setOverride(host, 443, fake->port());
        RQS3Request::setS3Host(kHost);
        RQS3Request::setSharedAccessKey(kAccess);
        RQS3Request::setSharedSecretAccessKey(kSecret);
    }
    void TearDown() override {
        HostResolver::removeAllOverrides();
        RQS3Request::setSharedAccessKey(std::nullopt);
        RQS3Request::setSharedSecretAccessKey(std::nullopt);
        RQS3Request::setS3Host(RQS3Request::kDefaultHost);
        fake.reset();
        ca.reset();
        RequestTest::TearDown();
    }
    std::unique_ptr<test::TestCA> ca;
    std::unique_ptr<FakeS3> fake;
};

TEST_F(RQS3RequestTest, SignsWhatTheServiceChecks) {
    const Date date = Date::now();
    struct Case {
        std::shared_ptr<RQS3Request> request;
        std::string url;
        std::string toSign;  // after the date line
    };
    auto put = RQS3ObjectRequest::PUTRequestForDataWithBucketKey(Data{'x'}, "photos", "a b.txt");
    auto copy = RQS3ObjectRequest::COPYRequestFromBucketKeyToBucketKey("photos", "a b.txt", "photos", "c");
    copy->setAccessPolicy("public-read");
    copy->setStorageClass("REDUCED_REDUNDANCY");
    auto listing = RQS3BucketRequest::requestWithBucketSubResource("photos", "acl");
    listing->setPrefix("a&b");
    listing->setMaxResultCount(100);
    auto plainListing = RQS3BucketRequest::requestWithBucket("photos");
    plainListing->setPrefix("p");
    plainListing->setMaxResultCount(100);
    // A caller may still choose plain http; the signature does not change.
    auto plainHTTP = RQS3ObjectRequest::requestWithBucketKey("photos", "a b.txt");
    plainHTTP->setRequestScheme("http");
    const std::vector<Case> cases = {
        {RQS3ObjectRequest::requestWithBucketKey("photos", "a b.txt"), "https://photos.s3.storage.test/a%20b.txt",
         "GET\n\n\nDATE\n/photos/a%20b.txt"},
        {RQS3ObjectRequest::requestWithBucketKey("photos", ""), "https://photos.s3.storage.test/",
         "GET\n\n\nDATE\n/photos/"},
        {put, "https://photos.s3.storage.test/a%20b.txt", "PUT\n\napplication/octet-stream\nDATE\n/photos/a%20b.txt"},
        {copy, "https://photos.s3.storage.test/c",
         "PUT\n\n\nDATE\nx-amz-acl:public-read\nx-amz-copy-source:photos/"
         "a%20b.txt\nx-amz-storage-class:REDUCED_REDUNDANCY\n/photos/c"},
        {listing, "https://photos.s3.storage.test/?acl&prefix=a%26b&max-keys=100", "GET\n\n\nDATE\n/photos/?acl"},
        {plainListing, "https://photos.s3.storage.test?prefix=p&max-keys=100", "GET\n\n\nDATE\n/photos/"},
        {RQS3ServiceRequest::serviceRequest(), "https://s3.storage.test", "GET\n\n\nDATE\n/"},
        {plainHTTP, "http://photos.s3.storage.test/a%20b.txt", "GET\n\n\nDATE\n/photos/a%20b.txt"},
    };
    for (const auto& c : cases) {
        c.request->setDate(date);
        c.request->buildRequestHeaders();
        ASSERT_TRUE(c.request->url());
        EXPECT_EQ(c.request->url()->absoluteString(), c.url);
        const std::string expected = Text::replaceAll(c.toSign, "DATE", c.request->dateString());
        EXPECT_EQ(c.request->requestHeaders().value("Authorization"),
                  "AWS " + std::string(kAccess) + ":" + sign(expected))
            << c.url;
    }
    EXPECT_EQ(RQS3Request::stringByURLEncodingForS3Path("a?#&~/b"), "/a%3F%23%26%7E/b");
    EXPECT_EQ(RQS3Request::stringByURLEncodingForS3Path(std::nullopt), "/");
    EXPECT_EQ(put->requestHeaders().value("Content-Type"), "application/octet-stream");
    EXPECT_EQ(copy->requestHeaders().value("x-amz-copy-source"), "photos/a%20b.txt");
}

TEST_F(RQS3RequestTest, ListsStoresReadsAndDeletesAgainstTheService) {
    auto service = RQS3ServiceRequest::serviceRequest();
    ASSERT_TRUE(runAsync(service));
    ASSERT_FALSE(service->error()) << service->error()->localizedDescription() << fake->lastStringToSign;
    ASSERT_EQ(service->buckets().size(), 2u);
    EXPECT_EQ(service->buckets()[0].name, "photos");
    EXPECT_EQ(service->buckets()[0].ownerName, "Robin");
    EXPECT_TRUE(service->buckets()[0].creationDate);
    EXPECT_FALSE(service->buckets()[1].creationDate);  // not the reply format

    auto put = RQS3ObjectRequest::PUTRequestForDataWithBucketKey(bytes("hello"), "photos", "albums/a b?#&.txt");
    ASSERT_TRUE(runAsync(put));
    ASSERT_FALSE(put->error());
    EXPECT_EQ(fake->objects["photos/albums/a b?#&.txt"], "hello");

    auto list = RQS3BucketRequest::requestWithBucket("photos");
    list->setPrefix("p");
    ASSERT_TRUE(runAsync(list));
    ASSERT_FALSE(list->error()) << list->error()->localizedDescription() << " " << list->responseStatusCode();
    ASSERT_EQ(list->objects().size(), 1u);
    EXPECT_EQ(list->objects()[0].key, "albums/a b?#&.txt");
    EXPECT_EQ(list->objects()[0].size, 5u);
    EXPECT_EQ(list->objects()[0].ownerID, "owner-1");
    EXPECT_EQ(list->objects()[0].bucket, "photos");
    EXPECT_EQ(list->commonPrefixes(), std::vector<std::string>{"albums/"});
    EXPECT_TRUE(list->isTruncated());

    auto get = list->objects()[0].GETRequest();
    ASSERT_TRUE(runAsync(get));
    EXPECT_EQ(text(get->responseData()), "hello");
    auto remove = list->objects()[0].DELETERequest();
    ASSERT_TRUE(runAsync(remove));
    EXPECT_FALSE(remove->error());
    EXPECT_EQ(fake->objects.count("photos/albums/a b?#&.txt"), 0u);
}

TEST_F(RQS3RequestTest, ErrorDocumentsMalformedRepliesAndOneRetryOnRequestTimeout) {
    auto missing = RQS3ObjectRequest::requestWithBucketKey("photos", "nothing");
    ASSERT_TRUE(runAsync(missing));
    ASSERT_TRUE(missing->error());
    EXPECT_TRUE(RQError::is(*missing->error(), RQS3Request::kServiceError));
    EXPECT_EQ(missing->error()->localizedDescription(), "The specified key does not exist.");

    auto wrongKey = RQS3ObjectRequest::requestWithBucketKey("photos", "x");
    wrongKey->setSecretAccessKey("not the secret");
    ASSERT_TRUE(runAsync(wrongKey));
    ASSERT_TRUE(wrongKey->error());
    EXPECT_EQ(wrongKey->responseStatusCode(), 403);

    auto broken = RQS3BucketRequest::requestWithBucket("photos");
    broken->setPrefix("broken");
    ASSERT_TRUE(runAsync(broken));
    ASSERT_TRUE(broken->error());
    EXPECT_TRUE(RQError::is(*broken->error(), RQS3Request::kReplyUnreadable));
    EXPECT_EQ(broken->error()->localizedDescription(), "Parsing the resposnse failed");

    fake->objects["photos/k"] = "v";
    fake->timeoutsToSend = 1;
    const int before = fake->requests;
    auto retried = RQS3ObjectRequest::requestWithBucketKey("photos", "k");
    ASSERT_TRUE(runAsync(retried));
    EXPECT_FALSE(retried->error());
    EXPECT_EQ(text(retried->responseData()), "v");
    EXPECT_EQ(fake->requests - before, 2);

    fake->timeoutsToSend = 2;  // only one retry
    auto gaveUp = RQS3ObjectRequest::requestWithBucketKey("photos", "k");
    ASSERT_TRUE(runAsync(gaveUp));
    ASSERT_TRUE(gaveUp->error());
    EXPECT_TRUE(RQError::is(*gaveUp->error(), RQS3Request::kServiceError));
}

TEST_F(RQS3RequestTest, StoredXMLObjectsAreTheUsersDataNotServiceReplies) {
    // Each would pass for a service document: a message (failure, code 2),
    // a "RequestTimeout" (a second fetch), or malformed XML (code 1).
    const std::vector<std::string> bodies = {"<Message>see you at noon</Message>", "<Code>RequestTimeout</Code>",
                                             "a < b"};
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        const std::string key = "notes/" + std::to_string(i) + ".xml";
        auto put = RQS3ObjectRequest::PUTRequestForDataWithBucketKey(bytes(bodies[i]), "photos", key);
        put->setMimeType("application/xml");
        ASSERT_TRUE(runAsync(put));
        ASSERT_FALSE(put->error()) << key;

        const int before = fake->requests;
        auto get = RQS3ObjectRequest::requestWithBucketKey("photos", key);
        ASSERT_TRUE(runAsync(get));
        EXPECT_FALSE(get->error()) << bodies[i] << ": " << get->error()->localizedDescription();
        EXPECT_EQ(get->responseHeaders()->value("Content-Type"), "application/xml");
        EXPECT_EQ(text(get->responseData()), bodies[i]);
        EXPECT_EQ(fake->requests - before, 1) << bodies[i];
    }
}

TEST_F(RQS3RequestTest, BucketNamesThatWouldChangeTheHostAreRefusedBeforeSending) {
    // Where a spliced name would lead; kept on loopback should one get through.
    for (const std::string& host : {std::string("evil.test"), std::string("evil.test.") + kHost})
        HostResolver::setOverride(host, 443, fake->port());
    const int before = fake->requests;
    for (const std::string bucket :
         {"evil.test/", "user@evil.test", "photos?x=1", "photos#", "a b", "", "ph\r\notos"}) {
        auto object = RQS3ObjectRequest::requestWithBucketKey(bucket, "k");
        auto listing = RQS3BucketRequest::requestWithBucket(bucket);
        for (const auto& request : {std::shared_ptr<RQS3Request>(object), std::shared_ptr<RQS3Request>(listing)}) {
            ASSERT_TRUE(runAsync(request)) << bucket;
            ASSERT_TRUE(request->error()) << bucket;
            EXPECT_TRUE(RQError::is(*request->error(), RQError::kUnableToCreateRequest)) << bucket;
        }
    }
    EXPECT_EQ(fake->requests, before);
}

}  // namespace
