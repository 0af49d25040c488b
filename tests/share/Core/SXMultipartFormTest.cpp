#include "share/Core/SXMultipartForm.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "platform/foundation/InputStream.h"

namespace clipora {
namespace {

std::string text(const platform::Data& data) { return std::string(data.begin(), data.end()); }
platform::Data bytes(const std::string& text) { return platform::Data(text.begin(), text.end()); }

// The parts between the boundary lines, as a reader splits them: what
// follows "--<boundary>" CR LF up to the next CR LF "--<boundary>".
std::vector<std::string> split(const std::string& body, const std::string& boundary) {
    const std::string delimiter = "\r\n--" + boundary;
    std::string rest = "\r\n" + body;
    std::vector<std::string> parts;
    auto at = rest.find(delimiter);
    while (at != std::string::npos) {
        const auto start = at + delimiter.size();
        if (rest.compare(start, 2, "--") == 0) return parts;
        const auto next = rest.find(delimiter, start);
        if (next == std::string::npos) break;
        parts.push_back(rest.substr(start + 2, next - start - 2));
        at = next;
    }
    return {"unclosed"};
}

TEST(SXMultipartFormTest, ABoundaryHeldByAPartIsReplaced) {
    struct Case {
        const char* name;
        std::string value;
        platform::Data file;
        bool kept;
    } cases[] = {
        {"plain", "a value", bytes("\xFF\xD8 bytes"), true},
        {"value holds the boundary line", "x\r\n--B0\r\ny", bytes("\xFF\xD8"), false},
        {"value holds the closing line", "x\r\n--B0--", bytes("\xFF\xD8"), false},
        {"picture holds the boundary", "a value", bytes("\xFF\xD8\r\n--B0\r\n"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SXMultipartForm form("B0");
        form.addField("status", c.value);
        form.addFile("media", "up\"load.jpg", {"Content-Type: image/jpg"}, c.file);
        const std::string body = text(form.body());
        const std::string boundary = form.boundary();
        EXPECT_EQ(boundary == "B0", c.kept);
        EXPECT_TRUE(body.ends_with("\r\n--" + boundary + "--\r\n"));
        EXPECT_EQ(
            split(body, boundary),
            (std::vector<std::string>{"Content-Disposition: form-data; name=\"status\"\r\n\r\n" + c.value,
                                      "Content-Disposition: form-data; name=\"media\"; filename=\"up%22load.jpg\"\r\n"
                                      "Content-Type: image/jpg\r\n\r\n" +
                                          text(c.file)}));
    }
}

TEST(SXMultipartFormTest, StreamedBytesAreCheckedForTheBoundaryAcrossChunks) {
    const auto path = std::filesystem::path(testing::TempDir()) / "multipart-upload";
    struct Case {
        const char* name;
        std::string content;
        bool kept;
    } cases[] = {
        {"plain", "0123456789", true},
        // With chunks of four bytes the boundary is split between two.
        {"split between chunks", "01\r\n--B0\r\n789", false},
        {"at the end", "0123--B0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SXMultipartForm form("B0", {.leadingLineEnd = false, .closingLineEnd = false});
        form.addField("title", "t");
        auto stream = platform::InputStream::withData(bytes(c.content));
        ASSERT_TRUE(form.writeFileWithStreamedFile(path, "photo", "p.jpg", {"Content-Type: image/jpeg"}, *stream, 4));
        std::ifstream file(path, std::ios::binary);
        const std::string body{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const std::string boundary = form.boundary();
        EXPECT_EQ(boundary == "B0", c.kept);
        EXPECT_TRUE(body.ends_with("\r\n--" + boundary + "--"));
        EXPECT_EQ(split(body, boundary),
                  (std::vector<std::string>{"Content-Disposition: form-data; name=\"title\"\r\n\r\nt",
                                            "Content-Disposition: form-data; name=\"photo\"; filename=\"p.jpg\"\r\n"
                                            "Content-Type: image/jpeg\r\n\r\n" +
                                                c.content}));
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace clipora
