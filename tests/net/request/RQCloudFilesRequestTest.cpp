#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "net/request/RQCloudFilesCDNRequest.h"
#include "net/request/RQCloudFilesContainerRequest.h"
#include "net/request/RQCloudFilesObjectRequest.h"
#include "net/request/RQError.h"
#include "platform/cfnetwork/HostResolver.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCA.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

constexpr const char* kAuthHost = "auth.files.test";
constexpr const char* kStorageHost = "storage.files.test";
constexpr const char* kCDNHost = "cdn.files.test";
constexpr const char* kToken = "token-7";
// The container "files" also ends the account's name: an object's name must
// be read after the exact prefix, not after the first "files".
constexpr const char* kAccountPath = "/v1/acct_files";

std::string hex(const Data& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (auto byte : bytes) text += {digits[byte >> 4], digits[byte & 15]};
    return text;
}

std::string xmlEscaped(const std::string& text) {
    return Text::replaceAll(Text::replaceAll(text, "&", "&amp;"), "<", "&lt;");
}

// A small stand-in of the cloud-files service on three named hosts: the
// authentication endpoint, the storage endpoint and the CDN-management
// endpoint. Every storage and CDN request must carry the token; names arrive
// percent-escaped in the path and are decoded segment by segment.
class FakeCloudFiles {
public:
    struct Object {
        std::string body;
        std::string type;
        std::map<std::string, std::string> metadata;
    };
    struct Container {
        std::map<std::string, Object> objects;
        bool cdnEnabled = false;
        int ttl = 0;
    };

    explicit FakeCloudFiles(test::TestCA& ca) : server_(ca.server().certificateFile, ca.server().privateKeyFile) {
        auto handler = [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            targets.push_back(request.method + " " + request.target);
            handle(request, response);
        };
        server_.server().Get(".*", handler);
        server_.server().Put(".*", handler);
        server_.server().Post(".*", handler);
        server_.server().Delete(".*", handler);
        server_.start();
    }
    std::uint16_t port() const { return server_.port(); }
    std::string lastTarget() {
        std::lock_guard lock(mutex);
        return targets.empty() ? "" : targets.back();
    }

    std::mutex mutex;
    std::map<std::string, Container> containers;
    std::vector<std::string> targets;  // "METHOD /raw/target?query"
    std::map<std::string, std::string> lastHeaders;

private:
    static void htmlError(httplib::Response& response, int status, const std::string& title) {
        response.status = status;
        response.set_content("<html><body><h1>" + title + "</h1></body></html>", "text/html");
    }

    // Entries after the marker, up to the limit, in name order.
    template <class Map, class Keep>
    static std::vector<std::string> page(const Map& map, const httplib::Request& request, Keep keep) {
        const std::string marker = request.has_param("marker") ? request.get_param_value("marker") : "";
        const std::size_t limit = request.has_param("limit") ? std::stoul(request.get_param_value("limit")) : 10000;
        std::vector<std::string> names;
        for (const auto& [name, value] : map)
            if (name > marker && keep(name, value) && names.size() < limit) names.push_back(name);
        return names;
    }

    void handle(const httplib::Request& request, httplib::Response& response) {
        lastHeaders.clear();
        for (const auto& [name, value] : request.headers) lastHeaders[name] = value;
        std::string host = request.get_header_value("Host");
        host = host.substr(0, host.find(':'));
        if (host == kAuthHost) {
            if (request.target != "/v1.0" || request.get_header_value("X-Auth-User") != "robin" ||
                request.get_header_value("X-Auth-Key") != "key-1")
                return htmlError(response, 401, "Unauthorized");
            response.status = 204;
            response.set_header("X-Auth-Token", kToken);
            response.set_header("X-Storage-Url", std::string("https://") + kStorageHost + kAccountPath);
            response.set_header("X-Cdn-Management-Url", std::string("https://") + kCDNHost + kAccountPath);
            return;
        }
        if (request.get_header_value("X-Auth-Token") != kToken) return htmlError(response, 401, "Unauthorized");
        const std::string target = request.target.substr(0, request.target.find('?'));
        if (!Text::hasPrefix(target, kAccountPath)) return htmlError(response, 404, "Not Found");
        std::vector<std::string> segments;
        for (const auto& raw : Text::split(target.substr(std::string(kAccountPath).size()), "/"))
            segments.push_back(Text::percentUnescape(raw).value_or("?"));
        if (!segments.empty()) segments.erase(segments.begin());  // before the first "/"
        const std::string container = segments.empty() ? "" : segments[0];
        const std::string object =
            segments.size() > 1 ? Text::join(std::vector<std::string>(segments.begin() + 1, segments.end()), "/") : "";
        if (host == kCDNHost) return handleCDN(request, response, container);
        if (container.empty()) return handleAccount(request, response);
        if (segments.size() == 1) return handleContainer(request, response, container);
        return handleObject(request, response, container, object);
    }

    void handleAccount(const httplib::Request& request, httplib::Response& response) {
        std::size_t bytes = 0;
        for (const auto& [name, c] : containers)
            for (const auto& [key, o] : c.objects) bytes += o.body.size();
        response.set_header("X-Account-Container-Count", std::to_string(containers.size()));
        response.set_header("X-Account-Bytes-Used", std::to_string(bytes));
        if (request.method == "HEAD") return;
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><account name=\"acct_files\">";
        for (const auto& name : page(containers, request, [](auto&, auto&) { return true; })) {
            const auto& c = containers[name];
            std::size_t used = 0;
            for (const auto& [key, o] : c.objects) used += o.body.size();
            xml += "<container><name>" + xmlEscaped(name) + "</name><count>" + std::to_string(c.objects.size()) +
                   "</count><bytes>" + std::to_string(used) + "</bytes></container>";
        }
        response.set_content(xml + "</account>", "application/xml; charset=utf-8");
    }

    void handleContainer(const httplib::Request& request, httplib::Response& response, const std::string& name) {
        if (request.method == "PUT") {
            response.status = containers.count(name) ? 202 : 201;
            containers[name];
            return;
        }
        auto found = containers.find(name);
        if (found == containers.end()) return htmlError(response, 404, "Not Found");
        auto& objects = found->second.objects;
        if (request.method == "DELETE") {
            if (!objects.empty()) return htmlError(response, 409, "Conflict");
            containers.erase(found);
            response.status = 204;
            return;
        }
        std::size_t used = 0;
        for (const auto& [key, o] : objects) used += o.body.size();
        response.set_header("X-Container-Object-Count", std::to_string(objects.size()));
        response.set_header("X-Container-Bytes-Used", std::to_string(used));
        if (request.method == "HEAD") return;
        const std::string prefix = request.has_param("prefix") ? request.get_param_value("prefix") : "";
        const bool byPath = request.has_param("path");
        const std::string path = byPath ? request.get_param_value("path") : "";
        auto keep = [&](const std::string& key, const Object&) {
            if (byPath) return key.rfind(path + "/", 0) == 0 && key.find('/', path.size() + 1) == std::string::npos;
            return key.rfind(prefix, 0) == 0;
        };
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><container name=\"" + xmlEscaped(name) + "\">";
        for (const auto& key : page(objects, request, keep)) {
            const auto& o = objects[key];
            xml += "<object><name>" + xmlEscaped(key) + "</name><hash>" + hex(Digest::md5(o.body)) + "</hash><bytes>" +
                   std::to_string(o.body.size()) + "</bytes><content_type>" + xmlEscaped(o.type) +
                   "</content_type><last_modified>2012-06-01T09:05:07.250000</last_modified></object>";
        }
        response.set_content(xml + "</container>", "application/xml; charset=utf-8");
    }

    void handleObject(const httplib::Request& request, httplib::Response& response, const std::string& container,
                      const std::string& key) {
        auto found = containers.find(container);
        if (found == containers.end()) return htmlError(response, 404, "Not Found");
        auto& objects = found->second.objects;
        auto metadataOf = [&] {
            std::map<std::string, std::string> metadata;
            for (const auto& [name, value] : request.headers)
                if (Text::hasPrefix(Text::lowercase(name), "x-object-meta-")) metadata[name.substr(14)] = value;
            return metadata;
        };
        if (request.method == "PUT") {
            if (request.has_header("ETag") && request.get_header_value("ETag") != hex(Digest::md5(request.body)))
                return htmlError(response, 422, "Unprocessable Entity");
            objects[key] = {request.body, request.get_header_value("Content-Type"), metadataOf()};
            response.status = 201;
            return;
        }
        auto object = objects.find(key);
        if (object == objects.end()) return htmlError(response, 404, "Not Found");
        if (request.method == "DELETE") {
            objects.erase(object);
            response.status = 204;
            return;
        }
        if (request.method == "POST") {
            object->second.metadata = metadataOf();
            response.status = 202;
            return;
        }
        response.set_header("ETag", hex(Digest::md5(object->second.body)));
        response.set_header("Last-Modified", "Fri, 01 Jun 2012 09:05:07 GMT");
        for (const auto& [name, value] : object->second.metadata) response.set_header("X-Object-Meta-" + name, value);
        response.set_content(object->second.body, object->second.type);
    }

    void handleCDN(const httplib::Request& request, httplib::Response& response, const std::string& name) {
        if (name.empty()) {
            const bool enabledOnly = request.has_param("enabled_only");
            std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><account>";
            for (const auto& n :
                 page(containers, request, [&](auto&, const Container& c) { return !enabledOnly || c.cdnEnabled; })) {
                const auto& c = containers[n];
                xml += "<container><name>" + xmlEscaped(n) + "</name><cdn_enabled>" +
                       (c.cdnEnabled ? "True" : "False") + "</cdn_enabled><ttl>" + std::to_string(c.ttl) +
                       "</ttl><cdn_url>http://cdn.example/" + Text::percentEscape(n) +
                       "</cdn_url><log_retention>False</log_retention>"
                       "<referrer_acl></referrer_acl><useragent_acl></useragent_acl></container>";
            }
            response.set_content(xml + "</account>", "application/xml; charset=utf-8");
            return;
        }
        auto found = containers.find(name);
        if (found == containers.end()) return htmlError(response, 404, "Not Found");
        auto& c = found->second;
        if (request.method == "PUT" || request.method == "POST") {
            if (request.method == "PUT") c.cdnEnabled = true;
            if (request.has_header("X-Ttl")) c.ttl = std::stoi(request.get_header_value("X-Ttl"));
            if (request.has_header("X-Cdn-Enabled")) c.cdnEnabled = request.get_header_value("X-Cdn-Enabled") == "True";
            response.status = request.method == "PUT" ? 201 : 202;
            return;
        }
        response.set_header("X-Cdn-Enabled", c.cdnEnabled ? "True" : "False");
        response.set_header("X-Cdn-Uri", "http://cdn.example/" + Text::percentEscape(name));
        response.set_header("X-Ttl", std::to_string(c.ttl));
        response.status = 204;
    }

    loopback::LoopbackServer server_;
};

class RQCloudFilesRequestTest : public test::RequestTest {
protected:
    void SetUp() override {
        RequestTest::SetUp();
        RQCloudFilesRequest::resetClassStateForTesting();
        const std::vector<std::string> hosts = {kAuthHost, kStorageHost, kCDNHost};
        ca = std::make_unique<test::TestCA>(home() / "tls", hosts);
        ca->trust();
        fake = std::make_unique<FakeCloudFiles>(*ca);
        for (const auto& host : hosts) HostResolver::setOverride(host, 443, fake->port());
        RQCloudFilesRequest::setUsername("robin");
        RQCloudFilesRequest::setApiKey("key-1");
    }
    void TearDown() override {
        HostResolver::removeAllOverrides();
        RQCloudFilesRequest::resetClassStateForTesting();
        fake.reset();
        ca.reset();
        RequestTest::TearDown();
    }
    void signIn() { ASSERT_FALSE(RQCloudFilesRequest::authenticate()); }
    template <class Request>
    std::shared_ptr<Request> run(std::shared_ptr<Request> request) {
        EXPECT_TRUE(runAsync(request));
        EXPECT_FALSE(request->error()) << request->error()->localizedDescription();
        return request;
    }

    std::unique_ptr<test::TestCA> ca;
    std::unique_ptr<FakeCloudFiles> fake;
};

TEST_F(RQCloudFilesRequestTest, AuthenticationKeepsTheTokenAndEndpointsOnlyWhenItSucceeds) {
    RQCloudFilesRequest::setApiKey("wrong");
    EXPECT_TRUE(RQCloudFilesRequest::authenticate());
    EXPECT_FALSE(RQCloudFilesRequest::authToken());

    RQCloudFilesRequest::setApiKey("key-1");
    ASSERT_FALSE(RQCloudFilesRequest::authenticate());
    EXPECT_EQ(RQCloudFilesRequest::authToken(), kToken);
    EXPECT_EQ(RQCloudFilesRequest::storageURL(), std::string("https://") + kStorageHost + kAccountPath);
    EXPECT_EQ(RQCloudFilesRequest::cdnManagementURL(), std::string("https://") + kCDNHost + kAccountPath);
    EXPECT_EQ(fake->lastHeaders["X-Auth-User"], "robin");

    // A later refusal, or an endpoint that cannot be reached, keeps what worked.
    RQCloudFilesRequest::setApiKey("wrong");
    EXPECT_TRUE(RQCloudFilesRequest::authenticate());
    RQCloudFilesRequest::setAuthenticationHost("nowhere.files.test");
    HostResolver::setOverride("nowhere.files.test", 443, 1);
    auto unreachable = RQCloudFilesRequest::authenticate();
    ASSERT_TRUE(unreachable);
    EXPECT_TRUE(RQError::is(*unreachable, RQError::kConnectionFailure));
    EXPECT_EQ(RQCloudFilesRequest::authToken(), kToken);
    EXPECT_EQ(RQCloudFilesRequest::storageURL(), std::string("https://") + kStorageHost + kAccountPath);
}

TEST_F(RQCloudFilesRequestTest, NamesMarkersAndQueryValuesAreEscaped) {
    signIn();
    const std::string storage = std::string("https://") + kStorageHost + kAccountPath;
    const std::string cdn = std::string("https://") + kCDNHost + kAccountPath;
    const std::vector<std::pair<std::shared_ptr<RQHTTPRequest>, std::string>> cases = {
        {RQCloudFilesContainerRequest::listRequestWithLimitMarker(0, ""), storage + "?format=xml"},
        {RQCloudFilesContainerRequest::listRequestWithLimitMarker(5, "a b&c=d#e"),
         storage + "?format=xml&limit=5&marker=a%20b%26c%3Dd%23e"},
        {RQCloudFilesContainerRequest::createContainerRequest("a b?#&/c"), storage + "/a%20b%3F%23%26%2Fc"},
        {RQCloudFilesObjectRequest::getObjectRequestWithContainerObjectPath("my files", "dir/a b?#&.txt"),
         storage + "/my%20files/dir/a%20b%3F%23%26.txt"},
        {RQCloudFilesObjectRequest::listRequestWithContainerLimitMarkerPrefixPath("c", 10, "m n", "p&q", "dir/x y"),
         storage + "/c?format=xml&limit=10&marker=m%20n&prefix=p%26q&path=dir%2Fx%20y"},
        {RQCloudFilesCDNRequest::listRequestWithLimitMarkerEnabledOnly(10, "m&n", true),
         cdn + "?format=xml&limit=10&marker=m%26n&enabled_only=true"},
        {RQCloudFilesCDNRequest::containerInfoRequest("a#b"), cdn + "/a%23b"},
    };
    for (const auto& [request, url] : cases) {
        ASSERT_TRUE(request->url()) << url;
        EXPECT_EQ(request->url()->absoluteString(), url);
        EXPECT_EQ(request->requestHeaders().value("X-Auth-Token"), kToken) << url;
    }
}

TEST_F(RQCloudFilesRequestTest, ContainersAreCreatedListedByMarkerAndDeleted) {
    signIn();
    for (const std::string name : {"files", "a b?#&", "zeta"})
        EXPECT_EQ(run(RQCloudFilesContainerRequest::createContainerRequest(name))->responseStatusCode(), 201);
    fake->containers["files"].objects["x"] = {"12345", "text/plain", {}};

    auto account = run(RQCloudFilesContainerRequest::accountInfoRequest());
    EXPECT_EQ(account->containerCount(), 3u);
    EXPECT_EQ(account->bytesUsed(), 5u);

    // Two at a time, each page starting after the last name of the one before.
    std::vector<std::string> names;
    std::string marker;
    for (int pages = 0; pages < 5; ++pages) {
        auto list = run(RQCloudFilesContainerRequest::listRequestWithLimitMarker(2, marker));
        const auto containers = list->containers();
        if (containers.empty()) break;
        for (const auto& c : containers) names.push_back(c.name);
        marker = containers.back().name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a b?#&", "files", "zeta"}));
    auto whole = run(RQCloudFilesContainerRequest::listRequest());
    ASSERT_EQ(whole->containers().size(), 3u);
    EXPECT_EQ(whole->containers()[1].count, 1u);
    EXPECT_EQ(whole->containers()[1].bytes, 5u);

    // Not empty: the service refuses (the request still finishes).
    EXPECT_EQ(run(RQCloudFilesContainerRequest::deleteContainerRequest("files"))->responseStatusCode(), 409);
    EXPECT_EQ(run(RQCloudFilesContainerRequest::deleteContainerRequest("a b?#&"))->responseStatusCode(), 204);
    EXPECT_EQ(fake->containers.count("a b?#&"), 0u);
}

TEST_F(RQCloudFilesRequestTest, ObjectsAreWrittenListedReadChangedAndDeleted) {
    signIn();
    fake->containers["files"];
    const std::string name = "dir/a b?#&.txt";
    const std::map<std::string, std::string> metadata = {{"Color", "blue"}, {"Size", "large"}};
    auto put = RQCloudFilesObjectRequest::putObjectRequestWithContainerObjectPathContentTypeObjectDataMetadataEtag(
        "files", name, "text/plain", bytes("hello"), metadata, hex(Digest::md5("hello")));
    EXPECT_EQ(put->requestHeaders().value("X-Object-Meta-Color"), "blue");
    EXPECT_EQ(put->requestHeaders().value("X-Object-Meta-Size"), "large");
    EXPECT_EQ(run(put)->responseStatusCode(), 201);
    ASSERT_EQ(fake->containers["files"].objects.count(name), 1u);
    EXPECT_EQ(fake->containers["files"].objects[name].metadata, metadata);
    // A body that does not match its etag is refused by the service.
    auto tampered = RQCloudFilesObjectRequest::putObjectRequestWithContainerObjectPathContentTypeObjectDataMetadataEtag(
        "files", "other", "text/plain", bytes("changed"), {}, hex(Digest::md5("hello")));
    EXPECT_EQ(run(tampered)->responseStatusCode(), 422);

    const auto file = home() / "upload.bin";
    std::ofstream(file, std::ios::binary) << "from a file";
    auto fromFile = RQCloudFilesObjectRequest::putObjectRequestWithContainerObjectPathContentTypeFileMetadataEtag(
        "files", "dir/sub/file.bin", "application/octet-stream", file.string(), {}, "");
    run(fromFile);
    EXPECT_EQ(fake->containers["files"].objects["dir/sub/file.bin"].body, "from a file");

    auto info = run(RQCloudFilesObjectRequest::containerInfoRequest("files"));
    EXPECT_EQ(info->containerObjectCount(), 2u);
    EXPECT_EQ(info->containerBytesUsed(), 16u);

    auto byPath =
        run(RQCloudFilesObjectRequest::listRequestWithContainerLimitMarkerPrefixPath("files", 0, "", "", "dir"));
    const auto listed = byPath->objects();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, name);
    EXPECT_EQ(listed[0].bytes, 5u);
    EXPECT_EQ(listed[0].contentType, "text/plain");
    EXPECT_EQ(listed[0].hash, hex(Digest::md5("hello")));
    ASSERT_TRUE(listed[0].lastModified);
    EXPECT_DOUBLE_EQ(listed[0].lastModified->timeIntervalSince1970(), 1338541507.25);
    auto afterMarker =
        run(RQCloudFilesObjectRequest::listRequestWithContainerLimitMarkerPrefixPath("files", 1, name, "", ""));
    ASSERT_EQ(afterMarker->objects().size(), 1u);
    EXPECT_EQ(afterMarker->objects()[0].name, "dir/sub/file.bin");

    auto get = run(RQCloudFilesObjectRequest::getObjectRequestWithContainerObjectPath("files", name));
    const auto object = get->object();
    EXPECT_EQ(object.name, name);
    EXPECT_EQ(text(object.data), "hello");
    EXPECT_EQ(object.bytes, 5u);
    EXPECT_EQ(object.contentType, "text/plain");
    EXPECT_EQ(object.hash, hex(Digest::md5("hello")));
    EXPECT_EQ(object.metadata, metadata);
    ASSERT_TRUE(object.lastModified);
    EXPECT_DOUBLE_EQ(object.lastModified->timeIntervalSince1970(), 1338541507);

    auto changed = object;
    changed.metadata = {{"Color", "green"}};
    EXPECT_EQ(
        run(RQCloudFilesObjectRequest::postObjectRequestWithContainerObject("files", changed))->responseStatusCode(),
        202);
    auto head = run(RQCloudFilesObjectRequest::objectInfoRequestObjectPath("files", name));
    EXPECT_EQ(head->object().metadata, changed.metadata);

    // A record written back under another name keeps body, type and metadata.
    changed.name = "copy of it";
    run(RQCloudFilesObjectRequest::putObjectRequestWithContainerObject("files", changed));
    EXPECT_EQ(fake->containers["files"].objects["copy of it"].body, "hello");
    EXPECT_EQ(fake->containers["files"].objects["copy of it"].type, "text/plain");

    EXPECT_EQ(
        run(RQCloudFilesObjectRequest::deleteObjectRequestWithContainerObjectPath("files", name))->responseStatusCode(),
        204);
    auto missing = run(RQCloudFilesObjectRequest::getObjectRequestWithContainerObjectPath("files", name));
    EXPECT_EQ(missing->responseStatusCode(), 404);
    EXPECT_TRUE(missing->objects().empty());
}

TEST_F(RQCloudFilesRequestTest, WhatCannotBeSentAsAskedFailsBeforeSendingAndNamesWhy) {
    signIn();
    fake->containers["photos"].objects["archive/2012.tar"] = {"tar", "application/x-tar", {}};
    fake->containers["photos"].objects["me.jpg"] = {"jpg", "image/jpeg", {{"Album", "2012"}, {"Place", "Lyon"}}};
    const struct {
        std::shared_ptr<RQCloudFilesRequest> request;
        std::string named;  // what the error names
    } cases[] = {
        // A server or proxy that resolves dot segments would act on
        // "archive/2012.tar", or on the container or account itself.
        {RQCloudFilesObjectRequest::deleteObjectRequestWithContainerObjectPath("photos", "photos/../archive/2012.tar"),
         "\"..\""},
        {RQCloudFilesObjectRequest::getObjectRequestWithContainerObjectPath("photos", "./me.jpg"), "\".\""},
        {RQCloudFilesObjectRequest::objectInfoRequestObjectPath("photos", "a/.."), "\"..\""},
        {RQCloudFilesContainerRequest::deleteContainerRequest(".."), "\"..\""},
        {RQCloudFilesCDNRequest::putRequestWithContainer("."), "\".\""},
        {RQCloudFilesObjectRequest::listRequestWithContainer(".."), "\"..\""},
        // A metadata POST replaces every entry: one left out would be lost.
        {RQCloudFilesObjectRequest::postObjectRequestWithContainerObjectPathMetadata(
             "photos", "me.jpg", {{"Album", "2013"}, {"Taken by", "Robin"}}),
         "\"Taken by\""},
        {RQCloudFilesObjectRequest::postObjectRequestWithContainerObjectPathMetadata(
             "photos", "me.jpg", {{"Album", "2013"}, {"Note", "first line\r\nX-Object-Meta-Album: 1999"}}),
         "\"Note\""},
        {RQCloudFilesObjectRequest::postObjectRequestWithContainerObjectPathMetadata(
             "photos", "me.jpg", {{"Album", "2013"}, {"album", "2014"}}),
         "\"album\""},
        {RQCloudFilesObjectRequest::putObjectRequestWithContainerObjectPathContentTypeObjectDataMetadataEtag(
             "photos", "new.jpg", "image/jpeg", bytes("x"), {{"", "empty name"}}, ""),
         "\"\""},
    };
    const std::size_t sentBefore = fake->targets.size();
    for (const auto& c : cases) {
        const std::string url = c.request->url() ? c.request->url()->absoluteString() : "no url";
        ASSERT_TRUE(runAsync(c.request)) << url;
        ASSERT_TRUE(c.request->error()) << url;
        EXPECT_TRUE(RQError::is(*c.request->error(), RQError::kUnableToCreateRequest)) << url;
        EXPECT_TRUE(Text::contains(c.request->error()->localizedDescription(), c.named))
            << c.request->error()->localizedDescription();
        // A copy of the request is refused alike.
        auto again = c.request->copy();
        ASSERT_TRUE(runAsync(again));
        EXPECT_TRUE(again->error()) << url;
    }
    EXPECT_EQ(fake->targets.size(), sentBefore);
    EXPECT_EQ(fake->containers["photos"].objects.count("archive/2012.tar"), 1u);
    EXPECT_EQ(fake->containers["photos"].objects["me.jpg"].metadata,
              (std::map<std::string, std::string>{{"Album", "2012"}, {"Place", "Lyon"}}));

    // Dots inside a name are only dots.
    for (const std::string name : {"..hidden", "a..b/c.", "v1.0/.../x"}) {
        auto put = RQCloudFilesObjectRequest::putObjectRequestWithContainerObjectPathContentTypeObjectDataMetadataEtag(
            "photos", name, "text/plain", bytes("ok"), {{"Taken-By", "Robin Ünal"}}, "");
        EXPECT_EQ(run(put)->responseStatusCode(), 201) << name;
        EXPECT_EQ(fake->containers["photos"].objects[name].body, "ok") << name;
    }
}

TEST_F(RQCloudFilesRequestTest, ContainersArePublishedChangedAndListedOnTheCDN) {
    signIn();
    fake->containers["public"];
    fake->containers["private"];
    auto publish = RQCloudFilesCDNRequest::putRequestWithContainerTtl("public", 3600);
    EXPECT_EQ(run(publish)->responseStatusCode(), 201);
    EXPECT_EQ(publish->containerName(), "public");

    auto info = run(RQCloudFilesCDNRequest::containerInfoRequest("public"));
    EXPECT_TRUE(info->cdnEnabled());
    EXPECT_EQ(info->cdnTTL(), 3600u);
    EXPECT_EQ(info->cdnURI(), "http://cdn.example/public");

    auto enabledOnly = run(RQCloudFilesCDNRequest::listRequestWithLimitMarkerEnabledOnly(0, "", true));
    ASSERT_EQ(enabledOnly->containers().size(), 1u);
    EXPECT_EQ(enabledOnly->containers()[0].name, "public");
    EXPECT_TRUE(enabledOnly->containers()[0].cdnEnabled);
    EXPECT_EQ(enabledOnly->containers()[0].ttl, 3600u);
    EXPECT_EQ(enabledOnly->containers()[0].cdnURL, "http://cdn.example/public");

    // A TTL of 0 is not sent, so the one set before stays.
    auto disable = RQCloudFilesCDNRequest::postRequestWithContainerCdnEnabledTtl("public", false, 0);
    EXPECT_FALSE(disable->requestHeaders().contains("X-Ttl"));
    EXPECT_EQ(run(disable)->responseStatusCode(), 202);
    auto all = run(RQCloudFilesCDNRequest::listRequest());
    ASSERT_EQ(all->containers().size(), 2u);
    EXPECT_FALSE(all->containers()[1].cdnEnabled);
    EXPECT_EQ(all->containers()[1].ttl, 3600u);
}

TEST_F(RQCloudFilesRequestTest, ErrorRepliesFinishTheRequestAndListNothing) {
    // Before signing in there is no token to send.
    auto unauthorized = RQCloudFilesContainerRequest::listRequest();
    EXPECT_FALSE(unauthorized->requestHeaders().contains("X-Auth-Token"));
    signIn();
    // A refused token (401 without a challenge) fails the request.
    auto stale = RQCloudFilesContainerRequest::listRequest();
    stale->addRequestHeaderValue("X-Auth-Token", "expired");
    ASSERT_TRUE(runAsync(stale));
    EXPECT_EQ(stale->responseStatusCode(), 401);
    EXPECT_TRUE(stale->error());
    EXPECT_TRUE(stale->containers().empty());

    auto missing = run(RQCloudFilesObjectRequest::listRequestWithContainer("nothing"));
    EXPECT_EQ(missing->responseStatusCode(), 404);
    EXPECT_TRUE(missing->objects().empty());
    auto cdnMissing = run(RQCloudFilesCDNRequest::containerInfoRequest("nothing"));
    EXPECT_EQ(cdnMissing->responseStatusCode(), 404);
    EXPECT_FALSE(cdnMissing->cdnEnabled());
}

}  // namespace
