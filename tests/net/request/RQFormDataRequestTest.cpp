#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/request/RQError.h"
#include "net/request/RQFormDataRequest.h"
#include "platform/foundation/FileManager.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/RawServer.h"

namespace clipora::test {
namespace {

using platform::Data;
using platform::URL;

// What the loopback server's own parsers made of one request.
struct Received {
    std::string method;
    std::string contentType;
    std::string body;
    bool multipart = false;
    std::multimap<std::string, httplib::MultipartFormData> parts;
    std::multimap<std::string, std::string> params;
};

class FormDataRequestTest : public RequestTest {
protected:
    void SetUp() override {
        RequestTest::SetUp();
        server_.server().Post("/form", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            Received r;
            r.method = req.method;
            r.contentType = req.get_header_value("Content-Type");
            r.body = req.body;
            r.multipart = req.is_multipart_form_data();
            for (const auto& [name, part] : req.files) r.parts.emplace(name, part);
            for (const auto& [name, value] : req.params) r.params.emplace(name, value);
            received_.push_back(std::move(r));
            res.set_content("ok", "text/plain");
        });
        server_.start();
    }

    std::shared_ptr<RQFormDataRequest> form() {
        return RQFormDataRequest::requestWithURL(URL::fromString(server_.url("/form")));
    }

    std::string writeFile(const std::string& name, const std::string& contents) {
        auto path = (home() / name).string();
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }

    Received last() {
        std::lock_guard lock(mutex_);
        return received_.empty() ? Received{} : received_.back();
    }

    std::size_t hits() {
        std::lock_guard lock(mutex_);
        return received_.size();
    }

    LoopbackServer server_;
    std::mutex mutex_;
    std::vector<Received> received_;
};

TEST_F(FormDataRequestTest, URLEncodedValuesArriveFieldByField) {
    auto request = form();
    request->addPostValueForKey("1", "a");
    request->addPostValueForKey("x y", "b");
    request->addPostValueForKey("&=+%?#\"'~ é", "odd key&=");
    request->addPostValueForKey(42, "number");
    ASSERT_TRUE(runAsync(request));
    ASSERT_FALSE(request->error());

    auto r = last();
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.contentType, "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(r.body.substr(0, 11), "a=1&b=x%20y");
    EXPECT_EQ(r.body.back(), '2') << "no '&' after the last pair";
    ASSERT_EQ(r.params.size(), 4u);
    EXPECT_EQ(r.params.find("a")->second, "1");
    EXPECT_EQ(r.params.find("b")->second, "x y");
    EXPECT_EQ(r.params.find("odd key&=")->second, "&=+%?#\"'~ é");
    EXPECT_EQ(r.params.find("number")->second, "42");
    EXPECT_EQ(request->postFormat(), RQFormDataRequest::kURLEncoded);
    EXPECT_FALSE(request->shouldStreamPostDataFromDisk());
}

TEST_F(FormDataRequestTest, MultipartPartsArriveWithHostileNamesAndBoundaryLikeValues) {
    auto request = form();
    const std::string boundaryAtAdd = request->boundary();
    // A value that holds this request's boundary lines, and one that holds
    // the fixed text every boundary starts with.
    const std::string trap = "before\r\n--" + boundaryAtAdd +
                             "\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\n--" + boundaryAtAdd + "--\r\nafter";
    const std::string fixed = "\r\n--0xKhTmLbOuNdArY\r\n--0xKhTmLbOuNdArY--\r\n";
    request->addPostValueForKey(trap, "trap");
    request->addPostValueForKey(fixed, "fixed");
    request->addPostValueForKey("quoted", "say \"hi\"");
    request->addPostValueForKey("injected", "k\r\nContent-Type: text/evil");
    const std::string photo = writeFile("photo.png", std::string("\x89PNG\r\n\x1a\n\0\0binary", 16));
    request->addFileForKey(photo, "photo");
    request->addDataWithFileNameAndContentTypeForKey(Data{'r', 'a', 'w'}, "a\"b\r\n.txt", "text/plain", "blob");
    request->addDataForKey(Data{0, 1, 2}, "data");
    ASSERT_TRUE(runAsync(request));
    ASSERT_FALSE(request->error());

    auto r = last();
    EXPECT_EQ(r.method, "POST");
    ASSERT_TRUE(r.multipart);
    EXPECT_EQ(r.contentType, "multipart/form-data; charset=utf-8; boundary=" + request->boundary());
    EXPECT_NE(request->boundary(), boundaryAtAdd) << "a value holding the boundary makes a new one";
    EXPECT_EQ(request->boundary().rfind(RQFormDataRequest::kBoundaryPrefix, 0), 0u);
    EXPECT_EQ(request->postFormat(), RQFormDataRequest::kMultipartFormData);
    ASSERT_EQ(r.parts.size(), 7u);

    EXPECT_EQ(r.parts.find("trap")->second.content, trap);
    EXPECT_EQ(r.parts.find("fixed")->second.content, fixed);
    // Quotes, CR and LF cannot leave the quoted name: they arrive escaped.
    ASSERT_EQ(r.parts.count("say %22hi%22"), 1u);
    EXPECT_EQ(r.parts.find("say %22hi%22")->second.content, "quoted");
    ASSERT_EQ(r.parts.count("k%0D%0AContent-Type: text/evil"), 1u);
    EXPECT_EQ(r.parts.find("k%0D%0AContent-Type: text/evil")->second.content_type, "");

    const auto& file = r.parts.find("photo")->second;
    EXPECT_EQ(file.filename, "photo.png");
    EXPECT_EQ(file.content_type, "image/png");
    EXPECT_EQ(file.content, std::string("\x89PNG\r\n\x1a\n\0\0binary", 16));
    const auto& blob = r.parts.find("blob")->second;
    EXPECT_EQ(blob.filename, "a%22b%0D%0A.txt");
    EXPECT_EQ(blob.content_type, "text/plain");
    EXPECT_EQ(blob.content, "raw");
    const auto& data = r.parts.find("data")->second;
    EXPECT_EQ(data.filename, "file");
    EXPECT_EQ(data.content_type, "application/octet-stream");
    EXPECT_EQ(data.content, std::string("\0\1\2", 3));

    // Files make the body go through a temporary file, removed afterwards.
    EXPECT_TRUE(request->shouldStreamPostDataFromDisk());
    EXPECT_FALSE(platform::FileManager::fileExists(request->postBodyFilePath()));
}

TEST_F(FormDataRequestTest, MultipartBodyLayout) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> values;
        bool withFile;
        std::string expected;  // "B" stands for the boundary
    };
    const std::vector<Case> cases = {
        {"one value", {{"a", "1"}}, false, "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--B--\r\n"},
        {"two values",
         {{"a", "1"}, {"b", "2"}},
         false,
         "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--B\r\n"
         "Content-Disposition: form-data; name=\"b\"\r\n\r\n2\r\n--B--\r\n"},
        {"value and file",
         {{"a", "1"}},
         true,
         "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--B\r\n"
         "Content-Disposition: form-data; name=\"f\"; filename=\"file\"\r\n"
         "Content-Type: application/octet-stream\r\n\r\nXY\r\n--B--\r\n"},
    };
    // The body's bytes as they came.
    std::mutex bodyMutex;
    std::string body;
    RawServer raw([&](RawServer::Connection& connection) {
        const std::string request = connection.readRequest();
        const auto headEnd = request.find("\r\n\r\n");
        {
            std::lock_guard lock(bodyMutex);
            body = headEnd == std::string::npos ? std::string() : request.substr(headEnd + 4);
        }
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto request = RQFormDataRequest::requestWithURL(URL::fromString(raw.url("/raw")));
        request->setPostFormat(RQFormDataRequest::kMultipartFormData);
        for (const auto& [key, value] : c.values) request->addPostValueForKey(value, key);
        if (c.withFile) request->addDataForKey(Data{'X', 'Y'}, "f");
        ASSERT_TRUE(runAsync(request));
        ASSERT_FALSE(request->error());
        std::lock_guard lock(bodyMutex);
        EXPECT_EQ(body, platform::Text::replaceAll(c.expected, "B", request->boundary()));
    }
}

TEST_F(FormDataRequestTest, AddingAFileSwitchesToMultipart) {
    auto request = form();
    request->addPostValueForKey("v", "k");
    request->addDataForKey(Data{'d'}, "d");
    ASSERT_EQ(request->postFormat(), RQFormDataRequest::kURLEncoded);
    ASSERT_TRUE(runAsync(request));
    EXPECT_EQ(request->postFormat(), RQFormDataRequest::kMultipartFormData);
    auto r = last();
    ASSERT_TRUE(r.multipart);
    EXPECT_EQ(r.parts.find("k")->second.content, "v");
    EXPECT_EQ(r.parts.find("d")->second.content, "d");
}

TEST_F(FormDataRequestTest, SetReplacesEveryEntryUnderItsKeyAndKeepsTheOthersInOrder) {
    auto request = form();
    request->addPostValueForKey("1", "a");
    request->addPostValueForKey("x", "b");
    request->addPostValueForKey("2", "a");
    request->addPostValueForKey("y", "c");
    request->setPostValueForKey("3", "a");
    auto values = request->postData();
    ASSERT_TRUE(values);
    std::vector<std::string> seen;
    for (const auto& v : *values) seen.push_back(v.key + "=" + v.value);
    EXPECT_EQ(seen, (std::vector<std::string>{"b=x", "c=y", "a=3"}));

    request->addDataForKey(Data{1}, "f");
    request->addDataForKey(Data{2}, "g");
    request->addDataForKey(Data{3}, "f");
    request->setDataWithFileNameAndContentTypeForKey(Data{4}, "four.bin", std::nullopt, "f");
    auto files = request->fileData();
    ASSERT_TRUE(files);
    ASSERT_EQ(files->size(), 2u);
    EXPECT_EQ((*files)[0].key, "g");
    EXPECT_EQ((*files)[1].key, "f");
    EXPECT_EQ((*files)[1].fileName, "four.bin");
    EXPECT_EQ((*files)[1].contentType, "application/octet-stream");
}

TEST_F(FormDataRequestTest, FileEntriesTakeTheirNameAndTypeFromThePath) {
    auto request = form();
    const std::string unknown = writeFile("notes.zzqq", "n");
    const std::string text = writeFile("readme.txt", "t");
    request->addFileForKey(unknown, "u");
    request->addFileWithFileNameAndContentTypeForKey(text, "given.name", "application/x-given", "t");
    request->addFileForKey(text, "plain");
    auto files = request->fileData();
    ASSERT_TRUE(files);
    ASSERT_EQ(files->size(), 3u);
    EXPECT_EQ((*files)[0].fileName, "notes.zzqq");
    EXPECT_EQ((*files)[0].contentType, "application/octet-stream");
    EXPECT_EQ((*files)[1].fileName, "given.name");
    EXPECT_EQ((*files)[1].contentType, "application/x-given");
    EXPECT_EQ((*files)[2].contentType, "text/plain");
    EXPECT_FALSE(request->error());
}

TEST_F(FormDataRequestTest, MissingFileFailsWithCodeSixAndNothingIsSent) {
    struct Case {
        const char* name;
        bool removeAfterAdding;
    };
    for (const Case& c : {Case{"missing when added", false}, Case{"removed before sending", true}}) {
        SCOPED_TRACE(c.name);
        auto request = form();
        auto delegate = std::make_shared<RequestRecorder>();
        request->setDelegate(delegate);
        std::string path = (home() / "absent.mov").string();
        if (c.removeAfterAdding) path = writeFile("present.mov", "m");
        request->addPostValueForKey("v", "k");
        request->addFileForKey(path, "video");
        ASSERT_EQ(request->fileData()->size(), 1u) << "the entry is kept";
        if (c.removeAfterAdding) {
            EXPECT_FALSE(request->error());
            std::filesystem::remove(path);
        }
        ASSERT_TRUE(runAsync(request));
        ASSERT_TRUE(pumpUntil([&] { return delegate->saw("delegate:failed"); }));
        ASSERT_TRUE(request->error());
        EXPECT_EQ(request->error()->domain(), RQError::kDomain);
        EXPECT_EQ(request->error()->code(), RQError::kInternalError);
        EXPECT_EQ(request->error()->localizedDescription(), "No file exists at " + path);
        EXPECT_EQ(delegate->count("delegate:failed"), 1u);
        EXPECT_EQ(hits(), 0u);
    }
}

TEST_F(FormDataRequestTest, DirectoryIsNotAFile) {
    auto request = form();
    request->addFileForKey(home().string(), "dir");
    ASSERT_TRUE(request->error());
    EXPECT_EQ(request->error()->code(), RQError::kInternalError);
}

TEST_F(FormDataRequestTest, EncodeURLEscapesEverythingButLettersDigitsAndThreeMarks) {
    auto request = form();
    EXPECT_EQ(request->encodeURL("aZ09-_."), "aZ09-_.");
    EXPECT_EQ(request->encodeURL(":/?#[]@!$ &'()*+,;=\"<>%{}|\\^~`"),
              "%3A%2F%3F%23%5B%5D%40%21%24%20%26%27%28%29%2A%2B%2C%3B%3D%22%3C%3E%25%7B%7D%7C%5C%5E%7E%60");
    EXPECT_EQ(request->encodeURL("é"), "%C3%A9");
    request->setStringEncoding(platform::Text::Encoding::ISOLatin1);
    EXPECT_EQ(request->encodeURL("é"), "%E9");
    EXPECT_EQ(request->encodeURL("€"), "") << "not representable in Latin-1";
}

TEST_F(FormDataRequestTest, CopyCarriesTheFormAndSendsTheSameFields) {
    auto request = form();
    request->addPostValueForKey("v", "k");
    request->addDataForKey(Data{'d'}, "d");
    request->setTimeOutSeconds(120);
    auto copied = std::dynamic_pointer_cast<RQFormDataRequest>(request->copy());
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->timeOutSeconds(), 120.0);
    EXPECT_EQ(RQHTTPRequest::defaultTimeOutSeconds(), 10.0) << "one request's time-out is not the engine's";
    ASSERT_TRUE(runAsync(copied));
    auto r = last();
    ASSERT_TRUE(r.multipart);
    EXPECT_EQ(r.parts.find("k")->second.content, "v");
    EXPECT_EQ(r.parts.find("d")->second.content, "d");
    EXPECT_FALSE(request->haveBuiltPostBody()) << "the original is untouched";

    // A HEAD companion is a form request too, and sends no form.
    auto head = request->HEADRequest();
    EXPECT_TRUE(std::dynamic_pointer_cast<RQFormDataRequest>(head));
}

TEST_F(FormDataRequestTest, UploadReportsProgressUpToTheBodyLength) {
    auto request = form();
    auto progress = std::make_shared<RequestRecorder>("upload");
    request->setUploadProgressDelegate(progress);
    request->addFileForKey(writeFile("big.bin", std::string(600000, 'z')), "file");
    ASSERT_TRUE(runAsync(request));
    ASSERT_FALSE(request->error());
    ASSERT_TRUE(
        pumpUntil([&] { return !progress->progressValues.empty() && progress->progressValues.back() == 1.0f; }));
    EXPECT_EQ(last().parts.find("file")->second.content.size(), 600000u);
    EXPECT_GT(progress->bytesSent, 0);
}

}  // namespace
}  // namespace clipora::test
