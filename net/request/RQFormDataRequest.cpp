#include "net/request/RQFormDataRequest.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <utility>

#include "net/MultipartText.h"
#include "net/request/RQError.h"
#include "platform/foundation/FileManager.h"

namespace clipora {

using platform::Data;
using platform::FileManager;
using platform::Text;
using platform::URL;
using platform::Value;

namespace {

constexpr const char* kOctetStream = "application/octet-stream";

// What a part's Content-Type line may carry: a line break would start a
// header of its own.
std::string withoutLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') out.push_back(c);
    }
    return out;
}

bool isUnreservedForForms(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

}  // namespace

std::shared_ptr<RQFormDataRequest> RQFormDataRequest::requestWithURL(std::optional<URL> url) {
    return std::make_shared<RQFormDataRequest>(std::move(url));
}

RQFormDataRequest::RQFormDataRequest(std::optional<URL> url)
    : RQHTTPRequest(std::move(url)), boundary_(formMutex_, makeBoundary()) {}

std::string RQFormDataRequest::makeBoundary() { return MultipartText::randomBoundary(kBoundaryPrefix); }

std::shared_ptr<RQHTTPRequest> RQFormDataRequest::makeRequestOfSameClass(std::optional<URL> url) const {
    return std::make_shared<RQFormDataRequest>(std::move(url));
}

// --- Values ---

void RQFormDataRequest::addPostValueForKey(const Value& value, const std::string& key) {
    std::lock_guard lock(formMutex_);
    if (!postData_.unlocked()) postData_.unlocked().emplace();
    postData_.unlocked()->push_back(PostValue{key, value.description()});
}

void RQFormDataRequest::setPostValueForKey(const Value& value, const std::string& key) {
    {
        std::lock_guard lock(formMutex_);
        if (postData_.unlocked())
            std::erase_if(*postData_.unlocked(), [&](const PostValue& entry) { return entry.key == key; });
    }
    addPostValueForKey(value, key);
}

// --- Files ---

void RQFormDataRequest::appendFileEntry(FileEntry entry) {
    std::lock_guard lock(formMutex_);
    if (!fileData_.unlocked()) fileData_.unlocked().emplace();
    fileData_.unlocked()->push_back(std::move(entry));
}

void RQFormDataRequest::removeFilesForKey(const std::string& key) {
    std::lock_guard lock(formMutex_);
    if (fileData_.unlocked())
        std::erase_if(*fileData_.unlocked(), [&](const FileEntry& entry) { return entry.key == key; });
}

void RQFormDataRequest::addFileWithFileNameAndContentTypeForKey(const std::string& path,
                                                                const std::optional<std::string>& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key) {
    {
        std::lock_guard lock(formMutex_);
        if (!fileData_.unlocked()) fileData_.unlocked().emplace();
    }
    if (!FileManager::fileExists(path) || FileManager::isDirectory(path)) {
        failWithError(RQError::make(RQError::kInternalError, Text::format("No file exists at %@", path)));
    }
    FileEntry entry;
    entry.data = path;
    entry.fileName = fileName ? *fileName : std::filesystem::path(path).filename().string();
    entry.contentType = contentType ? *contentType : mimeTypeForFileAtPath(path).value_or(kOctetStream);
    entry.key = key;
    appendFileEntry(std::move(entry));
}

void RQFormDataRequest::addFileWithFileNameAndContentTypeForKey(const Data& data,
                                                                const std::optional<std::string>& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key) {
    FileEntry entry;
    entry.data = data;
    entry.fileName = fileName;
    entry.contentType = contentType.value_or(kOctetStream);
    entry.key = key;
    appendFileEntry(std::move(entry));
}

void RQFormDataRequest::addFileForKey(const std::string& path, const std::string& key) {
    addFileWithFileNameAndContentTypeForKey(path, std::nullopt, std::nullopt, key);
}

void RQFormDataRequest::addFileForKey(const Data& data, const std::string& key) {
    addFileWithFileNameAndContentTypeForKey(data, std::nullopt, std::nullopt, key);
}

void RQFormDataRequest::setFileWithFileNameAndContentTypeForKey(const std::string& path,
                                                                const std::optional<std::string>& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key) {
    removeFilesForKey(key);
    addFileWithFileNameAndContentTypeForKey(path, fileName, contentType, key);
}

void RQFormDataRequest::setFileWithFileNameAndContentTypeForKey(const Data& data,
                                                                const std::optional<std::string>& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key) {
    removeFilesForKey(key);
    addFileWithFileNameAndContentTypeForKey(data, fileName, contentType, key);
}

void RQFormDataRequest::setFileForKey(const std::string& path, const std::string& key) {
    setFileWithFileNameAndContentTypeForKey(path, std::nullopt, std::nullopt, key);
}

void RQFormDataRequest::setFileForKey(const Data& data, const std::string& key) {
    setFileWithFileNameAndContentTypeForKey(data, std::nullopt, std::nullopt, key);
}

void RQFormDataRequest::addDataWithFileNameAndContentTypeForKey(const Data& data, const std::string& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key) {
    addFileWithFileNameAndContentTypeForKey(data, std::optional<std::string>(fileName), contentType, key);
}

void RQFormDataRequest::addDataForKey(const Data& data, const std::string& key) {
    addDataWithFileNameAndContentTypeForKey(data, "file", std::nullopt, key);
}

void RQFormDataRequest::setDataWithFileNameAndContentTypeForKey(const Data& data, const std::string& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key) {
    removeFilesForKey(key);
    addDataWithFileNameAndContentTypeForKey(data, fileName, contentType, key);
}

void RQFormDataRequest::setDataForKey(const Data& data, const std::string& key) {
    setDataWithFileNameAndContentTypeForKey(data, "file", std::nullopt, key);
}

// --- The body ---

void RQFormDataRequest::buildPostBody() {
    if (haveBuiltPostBody()) return;
    bool hasValues;
    bool hasFiles;
    int format;
    {
        std::lock_guard lock(formMutex_);
        hasValues = postData_.unlocked() && !postData_.unlocked()->empty();
        hasFiles = fileData_.unlocked() && !fileData_.unlocked()->empty();
        format = postFormat_.unlocked();
    }
    if (hasValues || hasFiles) {
        if (hasFiles) setShouldStreamPostDataFromDisk(true);
        if (format == kURLEncoded) {
            buildURLEncodedPostBody();
        } else {
            buildMultipartFormDataPostBody();
        }
        if (error()) return;
    }
    RQHTTPRequest::buildPostBody();
}

void RQFormDataRequest::buildURLEncodedPostBody() {
    std::vector<PostValue> values;
    {
        std::lock_guard lock(formMutex_);
        if (fileData_.unlocked() && !fileData_.unlocked()->empty()) {
            postFormat_.unlocked() = kMultipartFormData;
        } else if (postData_.unlocked()) {
            values = *postData_.unlocked();
        }
    }
    if (postFormat() == kMultipartFormData) {
        buildMultipartFormDataPostBody();
        return;
    }
    addRequestHeaderValue("Content-Type", Text::format("application/x-www-form-urlencoded; charset=%@",
                                                       Text::charsetNameForEncoding(stringEncoding())));
    std::string body;
    for (std::size_t i = 0; i < values.size(); ++i) {
        body += encodeURL(values[i].key) + "=" + encodeURL(values[i].value);
        if (i + 1 < values.size()) body += "&";
    }
    appendPostString(body);
}

void RQFormDataRequest::buildMultipartFormDataPostBody() {
    std::vector<PostValue> values;
    std::vector<FileEntry> files;
    std::string boundaryText;
    {
        std::lock_guard lock(formMutex_);
        if (postData_.unlocked()) values = *postData_.unlocked();
        if (fileData_.unlocked()) files = *fileData_.unlocked();
        // The boundary is random, but a value can still have been made to
        // hold it; then another is drawn. (Files on disk are not read twice
        // for this: only a party that saw this request's boundary could have
        // put it there.)
        auto contained = [&](const std::string& candidate) {
            for (const auto& value : values) {
                if (value.value.find(candidate) != std::string::npos) return true;
            }
            for (const auto& file : files) {
                if (const auto* bytes = std::get_if<Data>(&file.data)) {
                    if (std::search(bytes->begin(), bytes->end(), candidate.begin(), candidate.end()) != bytes->end())
                        return true;
                }
            }
            return false;
        };
        while (contained(boundary_.unlocked())) boundary_.unlocked() = makeBoundary();
        boundaryText = boundary_.unlocked();
    }
    // A file that went away after it was added would leave an empty part
    // behind a request that reports success.
    for (const auto& file : files) {
        if (const auto* path = std::get_if<std::string>(&file.data)) {
            if (!FileManager::fileExists(*path) || FileManager::isDirectory(*path)) {
                failWithError(RQError::make(RQError::kInternalError, Text::format("No file exists at %@", *path)));
                return;
            }
        }
    }

    addRequestHeaderValue("Content-Type", Text::format("multipart/form-data; charset=%@; boundary=%@",
                                                       Text::charsetNameForEncoding(stringEncoding()), boundaryText));
    const std::string separator = "\r\n--" + boundaryText + "\r\n";
    appendPostString("--" + boundaryText + "\r\n");

    for (std::size_t i = 0; i < values.size(); ++i) {
        appendPostString("Content-Disposition: form-data; name=\"" + escapeQuotedParameter(values[i].key) +
                         "\"\r\n\r\n");
        appendPostString(values[i].value);
        if (i + 1 < values.size() || !files.empty()) appendPostString(separator);
    }

    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileEntry& file = files[i];
        appendPostString("Content-Disposition: form-data; name=\"" + escapeQuotedParameter(file.key) +
                         "\"; filename=\"" + escapeQuotedParameter(file.fileName.value_or("file")) + "\"\r\n");
        appendPostString("Content-Type: " + withoutLineBreaks(file.contentType) + "\r\n\r\n");
        if (const auto* path = std::get_if<std::string>(&file.data)) {
            appendPostDataFromFile(*path);
        } else {
            appendPostData(std::get<Data>(file.data));
        }
        if (i + 1 < files.size()) appendPostString(separator);
    }

    appendPostString("\r\n--" + boundaryText + "--\r\n");
}

void RQFormDataRequest::appendPostString(const std::string& text) {
    auto bytes = Text::encode(text, stringEncoding(), true);
    if (bytes) appendPostData(*bytes);
}

std::string RQFormDataRequest::encodeURL(const std::string& text) const {
    auto bytes = Text::encode(text, stringEncoding(), false);
    if (!bytes) return {};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes->size());
    for (std::uint8_t byte : *bytes) {
        if (isUnreservedForForms(byte)) {
            out.push_back(static_cast<char>(byte));
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

std::string RQFormDataRequest::escapeQuotedParameter(const std::string& text) {
    return MultipartText::escapeQuotedParameter(text);
}

// --- Copy ---

std::shared_ptr<RQHTTPRequest> RQFormDataRequest::copy() const {
    auto base = RQHTTPRequest::copy();
    auto form = std::static_pointer_cast<RQFormDataRequest>(base);
    {
        std::lock_guard lock(formMutex_);
        std::lock_guard otherLock(form->formMutex_);
        form->postData_.unlocked() = postData_.unlocked();
        form->fileData_.unlocked() = fileData_.unlocked();
        form->postFormat_.unlocked() = postFormat_.unlocked();
        form->stringEncoding_.unlocked() = stringEncoding_.unlocked();
        // A copied, already built body names this boundary in its
        // Content-Type header.
        form->boundary_.unlocked() = boundary_.unlocked();
    }
    form->setRequestMethod(requestMethod());
    return form;
}

}  // namespace clipora
