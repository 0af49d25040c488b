#include "share/Core/SXMultipartForm.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "net/MultipartText.h"
#include "platform/foundation/InputStream.h"

namespace clipora {

namespace {

bool contains(const platform::Data& bytes, const std::string& text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

void append(platform::Data& to, const std::string& text) { to.insert(to.end(), text.begin(), text.end()); }

}  // namespace

SXMultipartForm::SXMultipartForm(std::string boundary, Layout layout)
    : boundary_(std::move(boundary)), layout_(layout) {}

std::string SXMultipartForm::freshBoundary() { return MultipartText::randomBoundary("0xKhTmLbOuNdArY-"); }

std::string SXMultipartForm::disposition(const std::string& name, const std::string* filename,
                                         const std::vector<std::string>& headers) {
    // Names and file names are quoted parameters: a quote or a line break in
    // them (a file name may be a title) would end the parameter or the line.
    std::string head = "Content-Disposition: form-data; name=\"" + MultipartText::escapeQuotedParameter(name) + "\"";
    if (filename) head += "; filename=\"" + MultipartText::escapeQuotedParameter(*filename) + "\"";
    head += "\r\n";
    for (const auto& line : headers) head += line + "\r\n";
    return head;
}

void SXMultipartForm::addField(const std::string& name, const std::string& value) {
    parts_.push_back({disposition(name, nullptr, {}), platform::Data(value.begin(), value.end())});
}

void SXMultipartForm::addFile(const std::string& name, const std::string& filename, std::vector<std::string> headers,
                              platform::Data content) {
    parts_.push_back({disposition(name, &filename, headers), std::move(content)});
}

bool SXMultipartForm::holds(const std::string& boundary) const {
    return std::any_of(parts_.begin(), parts_.end(), [&](const Part& part) {
        return part.head.find(boundary) != std::string::npos || contains(part.content, boundary);
    });
}

const std::string& SXMultipartForm::boundary() {
    while (boundary_.empty() || holds(boundary_)) boundary_ = freshBoundary();
    return boundary_;
}

std::string SXMultipartForm::opening() const { return layout_.leadingLineEnd ? "\r\n" : ""; }

std::string SXMultipartForm::partStart(const Part& part) const {
    return "--" + boundary_ + "\r\n" + part.head + "\r\n";
}

std::string SXMultipartForm::closing() const { return "--" + boundary_ + (layout_.closingLineEnd ? "--\r\n" : "--"); }

platform::Data SXMultipartForm::body() {
    boundary();
    platform::Data out;
    append(out, opening());
    for (const auto& part : parts_) {
        append(out, partStart(part));
        out.insert(out.end(), part.content.begin(), part.content.end());
        append(out, "\r\n");
    }
    append(out, closing());
    return out;
}

bool SXMultipartForm::writeFileWithStreamedFile(const std::filesystem::path& path, const std::string& name,
                                                const std::string& filename, std::vector<std::string> headers,
                                                platform::InputStream& stream, std::size_t chunkSize) {
    boundary();
    Part streamed{disposition(name, &filename, headers), {}};
    std::string head = opening();
    for (const auto& part : parts_) {
        head += partStart(part);
        head.append(part.content.begin(), part.content.end());
        head += "\r\n";
    }
    head += partStart(streamed);

    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    if (!file) return false;
    file.write(head.data(), static_cast<std::streamsize>(head.size()));
    // The bytes are looked through for the boundary as they pass, with the
    // end of the chunk before, so that one split between chunks is seen too.
    bool held = false;
    std::string window;
    std::vector<std::uint8_t> chunk(std::max<std::size_t>(chunkSize, 1));
    stream.open();
    while (stream.hasBytesAvailable()) {
        const auto count = stream.read(chunk.data(), chunk.size());
        if (count <= 0) break;
        file.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(count));
        if (held) continue;
        window.append(chunk.begin(), chunk.begin() + count);
        held = window.find(boundary_) != std::string::npos;
        if (window.size() >= boundary_.size()) window.erase(0, window.size() - (boundary_.size() - 1));
    }
    stream.close();
    if (held) {
        // Rare: the streamed bytes hold the boundary. They are read back and
        // the whole body is made again around a boundary no part holds.
        file.seekg(static_cast<std::streamoff>(head.size()));
        streamed.content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        file.close();
        parts_.push_back(std::move(streamed));
        const auto bytes = body();
        parts_.pop_back();
        std::ofstream again(path, std::ios::binary | std::ios::trunc);
        again.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(again.flush());
    }
    const std::string tail = "\r\n" + closing();
    file.write(tail.data(), static_cast<std::streamsize>(tail.size()));
    return static_cast<bool>(file.flush());
}

}  // namespace clipora
