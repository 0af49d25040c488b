#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "net/request/RQHTTPRequest.h"
#include "net/request/RQLockedProperty.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

// A request whose body is an HTML form: named text values and named files,
// URL-encoded or multipart/form-data.
//
// Values and files are collected in the order added and written when the
// body is built (just before sending): URL-encoded while there are only
// values and postFormat() is kURLEncoded, else multipart. Once a file is
// attached the body goes through a temporary file, so large files are never
// held in memory. A body of any length turns GET into POST (the base
// request's rule).
//
// Multipart bodies use a boundary made afresh for every request (a fixed
// text and 24 random hexadecimal digits), so no value or file can contain
// it by chance; double quotes, CR and LF in part names and file names are
// written as %22, %0D and %0A so that they can neither end the quoted text
// nor start a header line of their own. A value or data block that holds
// the boundary makes the request draw another one.
class RQFormDataRequest : public RQHTTPRequest {
public:
    enum PostFormat : int { kMultipartFormData = 0, kURLEncoded = 1 };

    // The fixed part of every multipart boundary.
    static constexpr const char* kBoundaryPrefix = "0xKhTmLbOuNdArY";

    struct PostValue {
        std::string key;
        std::string value;
    };

    struct FileEntry {
        // A path (the file's contents are sent) or the bytes themselves.
        std::variant<std::string, platform::Data> data;
        std::string contentType;
        std::optional<std::string> fileName;
        std::string key;
    };

    static std::shared_ptr<RQFormDataRequest> requestWithURL(std::optional<platform::URL> url);
    // Use requestWithURL() (a request is always owned by a shared_ptr).
    explicit RQFormDataRequest(std::optional<platform::URL> url);

    // Values: the value's text description is sent. Several values may share
    // a key; set... first removes every value under the key.
    void addPostValueForKey(const platform::Value& value, const std::string& key);
    void setPostValueForKey(const platform::Value& value, const std::string& key);

    // A file by path. A path where no file exists (or a folder) fails the
    // request at once with code 6 "No file exists at <path>"; the entry is
    // kept all the same. No file name: the path's last component. No content
    // type: the type of the path's extension ("application/octet-stream"
    // when unknown).
    void addFileWithFileNameAndContentTypeForKey(const std::string& path, const std::optional<std::string>& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);
    // The bytes of a data object, sent unchanged. No content type:
    // "application/octet-stream"; no file name: the part says "file".
    void addFileWithFileNameAndContentTypeForKey(const platform::Data& data, const std::optional<std::string>& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);
    void addFileForKey(const std::string& path, const std::string& key);
    void addFileForKey(const platform::Data& data, const std::string& key);
    void setFileWithFileNameAndContentTypeForKey(const std::string& path, const std::optional<std::string>& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);
    void setFileWithFileNameAndContentTypeForKey(const platform::Data& data, const std::optional<std::string>& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);
    void setFileForKey(const std::string& path, const std::string& key);
    void setFileForKey(const platform::Data& data, const std::string& key);

    // Bytes under a file name ("file" for addDataForKey); no content type:
    // "application/octet-stream".
    void addDataWithFileNameAndContentTypeForKey(const platform::Data& data, const std::string& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);
    void addDataForKey(const platform::Data& data, const std::string& key);
    void setDataWithFileNameAndContentTypeForKey(const platform::Data& data, const std::string& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);
    void setDataForKey(const platform::Data& data, const std::string& key);

    // Writes the body once (the base request's haveBuiltPostBody guards it),
    // then lets the base request count it and choose the method.
    void buildPostBody() override;
    void buildMultipartFormDataPostBody();
    void buildURLEncodedPostBody();
    // The text in stringEncoding() (characters it cannot hold become '?').
    void appendPostString(const std::string& text);
    // Percent-escapes the text's bytes in stringEncoding(), leaving only
    // letters, digits, '-', '_' and '.'; the empty text when the text cannot
    // be written in that encoding.
    std::string encodeURL(const std::string& text) const;

    // The base copy, then the values, files, format, encoding and method.
    std::shared_ptr<RQHTTPRequest> copy() const override;

    // --- Properties ---
    std::optional<std::vector<PostValue>> postData() const { return postData_.get(); }
    void setPostData(std::optional<std::vector<PostValue>> values) { postData_.set(std::move(values)); }
    std::optional<std::vector<FileEntry>> fileData() const { return fileData_.get(); }
    void setFileData(std::optional<std::vector<FileEntry>> files) { fileData_.set(std::move(files)); }
    int postFormat() const { return postFormat_.get(); }
    void setPostFormat(int format) { postFormat_.set(format); }
    platform::Text::Encoding stringEncoding() const { return stringEncoding_.get(); }
    void setStringEncoding(platform::Text::Encoding encoding) { stringEncoding_.set(encoding); }
    // The boundary of this request's multipart body.
    std::string boundary() const { return boundary_.get(); }

    // A new boundary: the fixed text and 24 random hexadecimal digits.
    static std::string makeBoundary();
    // How a part name or file name is written between its quotes.
    static std::string escapeQuotedParameter(const std::string& text);

protected:
    std::shared_ptr<RQHTTPRequest> makeRequestOfSameClass(std::optional<platform::URL> url) const override;

private:
    void appendFileEntry(FileEntry entry);
    void removeFilesForKey(const std::string& key);

    mutable std::mutex formMutex_;
    RQLockedProperty<std::optional<std::vector<PostValue>>> postData_{formMutex_};
    RQLockedProperty<std::optional<std::vector<FileEntry>>> fileData_{formMutex_};
    RQLockedProperty<int> postFormat_{formMutex_, kURLEncoded};
    RQLockedProperty<platform::Text::Encoding> stringEncoding_{formMutex_, platform::Text::Encoding::UTF8};
    RQLockedProperty<std::string> boundary_{formMutex_};
};

}  // namespace clipora
