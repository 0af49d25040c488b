#include "tools/standin/MultipartForm.h"

#include <cctype>

#include "platform/foundation/Text.h"

namespace clipora::standin {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Parameters after the first ";" of a header value: name -> value (quoted
// strings unquoted). Answers false for a malformed list.
bool parseParameters(std::string_view value, std::vector<std::pair<std::string, std::string>>& out) {
    std::size_t pos = value.find(';');
    if (pos == std::string_view::npos) return true;
    ++pos;
    while (pos < value.size()) {
        while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t')) ++pos;
        if (pos >= value.size()) break;
        std::size_t eq = value.find('=', pos);
        if (eq == std::string_view::npos) return false;
        std::string key = platform::Text::lowercase(trim(value.substr(pos, eq - pos)));
        if (key.empty()) return false;
        pos = eq + 1;
        while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t')) ++pos;
        std::string parsed;
        if (pos < value.size() && value[pos] == '"') {
            ++pos;
            bool closed = false;
            while (pos < value.size()) {
                char c = value[pos++];
                if (c == '\\' && pos < value.size()) {
                    parsed += value[pos++];
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    parsed += c;
                }
            }
            if (!closed) return false;
            while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t')) ++pos;
            if (pos < value.size() && value[pos] != ';') return false;
        } else {
            std::size_t end = value.find(';', pos);
            if (end == std::string_view::npos) end = value.size();
            parsed = std::string(trim(value.substr(pos, end - pos)));
            pos = end;
        }
        out.emplace_back(key, parsed);
        if (pos < value.size() && value[pos] == ';') ++pos;
    }
    return true;
}

std::string decodeFormName(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            std::string code = platform::Text::lowercase(text.substr(i + 1, 2));
            if (code == "22") {
                out += '"';
                i += 2;
                continue;
            }
            if (code == "0d") {
                out += '\r';
                i += 2;
                continue;
            }
            if (code == "0a") {
                out += '\n';
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// After a delimiter: optional transport padding, then CRLF. Answers the
// position after the CRLF, or npos.
std::size_t afterLineEnd(std::string_view body, std::size_t pos) {
    while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t')) ++pos;
    if (body.substr(pos, 2) != "\r\n") return std::string_view::npos;
    return pos + 2;
}

}  // namespace

std::string MultipartForm::boundaryOf(std::string_view contentType) {
    std::vector<std::pair<std::string, std::string>> params;
    if (!parseParameters(contentType, params)) return {};
    for (const auto& [key, value] : params) {
        if (key == "boundary") return value;
    }
    return {};
}

std::optional<MultipartForm> MultipartForm::parse(std::string_view contentType, std::string_view body,
                                                  std::string& error) {
    std::string type = platform::Text::lowercase(trim(contentType.substr(0, contentType.find(';'))));
    if (type != "multipart/form-data") {
        error = "the content type is not multipart/form-data";
        return std::nullopt;
    }
    std::string boundary = boundaryOf(contentType);
    if (boundary.empty() || boundary.size() > 70) {
        error = "the content type has no usable boundary";
        return std::nullopt;
    }
    const std::string dash = "--" + boundary;
    const std::string delimiter = "\r\n" + dash;

    // The first delimiter opens the body or follows a preamble line.
    std::size_t pos;
    if (body.substr(0, dash.size()) == dash) {
        pos = dash.size();
    } else {
        std::size_t at = body.find(delimiter);
        if (at == std::string_view::npos) {
            error = "the body has no opening delimiter";
            return std::nullopt;
        }
        pos = at + delimiter.size();
    }
    if (body.substr(pos, 2) == "--") {
        error = "the body has no parts";
        return std::nullopt;
    }
    pos = afterLineEnd(body, pos);
    if (pos == std::string_view::npos) {
        error = "the opening delimiter is not followed by a line end";
        return std::nullopt;
    }

    MultipartForm form;
    for (;;) {
        std::size_t headersEnd = body.find("\r\n\r\n", pos);
        Part part;
        part.contentType = "text/plain";
        bool haveDisposition = false;
        std::size_t contentStart;
        if (body.substr(pos, 2) == "\r\n") {
            // A part without headers.
            contentStart = pos + 2;
        } else {
            if (headersEnd == std::string_view::npos) {
                error = "a part's headers do not end";
                return std::nullopt;
            }
            contentStart = headersEnd + 4;
            std::string_view headers = body.substr(pos, headersEnd - pos);
            std::size_t line = 0;
            while (line <= headers.size()) {
                std::size_t end = headers.find("\r\n", line);
                if (end == std::string_view::npos) end = headers.size();
                std::string_view text = headers.substr(line, end - line);
                line = end + 2;
                std::size_t colon = text.find(':');
                if (colon == std::string_view::npos || colon == 0) {
                    error = "a part has a malformed header line";
                    return std::nullopt;
                }
                std::string name = platform::Text::lowercase(trim(text.substr(0, colon)));
                std::string_view value = trim(text.substr(colon + 1));
                if (name == "content-disposition") {
                    std::string kind = platform::Text::lowercase(trim(value.substr(0, value.find(';'))));
                    std::vector<std::pair<std::string, std::string>> params;
                    if (kind != "form-data" || !parseParameters(value, params)) {
                        error = "a part's Content-Disposition is not form-data";
                        return std::nullopt;
                    }
                    bool haveName = false;
                    for (const auto& [key, v] : params) {
                        if (key == "name") {
                            part.name = decodeFormName(v);
                            haveName = true;
                        } else if (key == "filename") {
                            part.filename = decodeFormName(v);
                        }
                    }
                    if (!haveName) {
                        error = "a part has no name";
                        return std::nullopt;
                    }
                    haveDisposition = true;
                } else if (name == "content-type") {
                    part.contentType = std::string(value);
                }
            }
        }
        if (!haveDisposition) {
            error = "a part has no Content-Disposition";
            return std::nullopt;
        }
        std::size_t next = body.find(delimiter, contentStart);
        if (next == std::string_view::npos) {
            error = "the body ends inside a part (no closing delimiter)";
            return std::nullopt;
        }
        part.data = std::string(body.substr(contentStart, next - contentStart));
        form.parts_.push_back(std::move(part));
        pos = next + delimiter.size();
        if (body.substr(pos, 2) == "--") return form;  // the closing delimiter; the rest is epilogue
        pos = afterLineEnd(body, pos);
        if (pos == std::string_view::npos) {
            error = "a delimiter is not followed by a line end";
            return std::nullopt;
        }
    }
}

}  // namespace clipora::standin
