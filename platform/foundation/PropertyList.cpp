#include "platform/foundation/PropertyList.h"

#include <algorithm>
#include <string>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PlistNode.h"

namespace clipora::platform {

namespace {

Error makeError(std::int64_t code, const std::string& description, const std::string& reason) {
    Error error = Error::withDescription(std::string(PropertyList::kErrorDomain), code, description);
    if (!reason.empty()) error.setUserInfoValue(std::string(Error::kLocalizedFailureReasonKey), Value(reason));
    return error;
}

Error corrupt(const std::string& reason) {
    return makeError(PropertyList::kReadCorruptError,
                     "The data couldn't be read because it isn't in the correct format.", reason);
}

}  // namespace

std::optional<PropertyList::Format> PropertyList::detectFormat(const Data& bytes) {
    static constexpr char kMagic[] = "bplist00";
    if (bytes.size() >= 8 && std::equal(kMagic, kMagic + 8, bytes.begin())) return Format::Binary;
    std::size_t i = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n')) ++i;
    if (i < bytes.size() && bytes[i] == '<') return Format::XML;
    return std::nullopt;
}

std::optional<Value> PropertyList::fromData(const Data& bytes, std::optional<Error>* error, Format* format) {
    auto detected = detectFormat(bytes);
    if (!detected) {
        if (error) *error = corrupt("not a property list");
        return std::nullopt;
    }
    // libplist's XML reader wants the document to start at '<'.
    std::size_t start = 0;
    if (*detected == Format::XML)
        while (start < bytes.size() && bytes[start] != '<') ++start;
    PlistNode root = PlistNode::parse(bytes.data() + start, bytes.size() - start);
    if (!root) {
        if (error)
            *error =
                corrupt(*detected == Format::XML ? "malformed XML property list" : "malformed binary property list");
        return std::nullopt;
    }
    std::string problem;
    auto value = PlistNode::toValue(root.get(), &problem);
    if (!value) {
        if (error) *error = corrupt(problem);
        return std::nullopt;
    }
    if (format) *format = *detected;
    return value;
}

std::optional<Value> PropertyList::fromFile(const std::filesystem::path& path, std::optional<Error>* error,
                                            Format* format) {
    auto bytes = FileManager::contentsOfFile(path, error);
    if (!bytes) return std::nullopt;
    return fromData(*bytes, error, format);
}

std::optional<Data> PropertyList::toData(const Value& value, Format format, std::optional<Error>* error) {
    std::string problem;
    PlistNode root(PlistNode::fromValue(value, format == Format::XML, &problem));
    if (!root) {
        if (error)
            *error = makeError(kWriteInvalidError,
                               "The data couldn't be written because it isn't in the correct format.", problem);
        return std::nullopt;
    }
    auto bytes = format == Format::XML ? PlistNode::toXML(root.get()) : PlistNode::toBinary(root.get());
    if (!bytes && error) *error = makeError(kWriteInvalidError, "The property list could not be serialized.", "");
    return bytes;
}

bool PropertyList::writeToFile(const Value& value, const std::filesystem::path& path, Format format,
                               std::optional<Error>* error) {
    auto bytes = toData(value, format, error);
    if (!bytes) return false;
    return FileManager::writeData(path, *bytes, true, error);
}

bool PropertyList::isValid(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Null:
    case Value::Kind::Object: return false;
    case Value::Kind::Array:
        for (const Value& item : *value.array())
            if (!isValid(item)) return false;
        return true;
    case Value::Kind::Dictionary:
        for (const auto& entry : *value.dictionary())
            if (!isValid(entry.second)) return false;
        return true;
    default: return true;
    }
}

}  // namespace clipora::platform
