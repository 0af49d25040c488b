#include "platform/uikit/Pasteboard.h"

#include <filesystem>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {
std::mutex& sharedMutex() {
    static std::mutex m;
    return m;
}
std::shared_ptr<Pasteboard>& shared() {
    static std::shared_ptr<Pasteboard> pasteboard = std::make_shared<Pasteboard>();
    return pasteboard;
}
// Named pasteboards by home folder and name.
std::map<std::string, std::shared_ptr<Pasteboard>>& named() {
    static std::map<std::string, std::shared_ptr<Pasteboard>> pasteboards;
    return pasteboards;
}
std::string fileForName(const std::string& name) {
    return FileManager::libraryDirectory() + "/Pasteboards/" + Text::percentEscape(name) + ".plist";
}
}  // namespace

std::shared_ptr<Pasteboard> Pasteboard::pasteboardWithNameCreate(const std::string& name, bool create) {
    const std::string file = fileForName(name);
    std::lock_guard lock(sharedMutex());
    auto& slot = named()[file];
    if (slot) return slot;
    auto stored = FileManager::fileExists(file) ? PropertyList::fromFile(file) : std::nullopt;
    if (!create && !stored) {
        named().erase(file);
        return nullptr;
    }
    auto pasteboard = std::make_shared<Pasteboard>();
    pasteboard->name_ = name;
    pasteboard->file_ = file;
    if (stored && stored->dictionary()) {
        pasteboard->persistent_ = true;
        for (const auto& [type, value] : *stored->dictionary())
            if (value.data()) pasteboard->items_[type] = *value.data();
    }
    slot = pasteboard;
    return pasteboard;
}

bool Pasteboard::isPersistent() const {
    std::lock_guard lock(mutex_);
    return persistent_;
}

void Pasteboard::setPersistent(bool persistent) {
    std::lock_guard lock(mutex_);
    persistent_ = persistent && !file_.empty();
    if (persistent_) writeLocked();
}

std::optional<Data> Pasteboard::dataForPasteboardType(const std::string& type) const {
    std::lock_guard lock(mutex_);
    auto it = items_.find(type);
    if (it == items_.end()) return std::nullopt;
    return it->second;
}

void Pasteboard::setDataForPasteboardType(const Data& data, const std::string& type) {
    std::lock_guard lock(mutex_);
    items_[type] = data;
    ++changeCount_;
    if (persistent_) writeLocked();
}

void Pasteboard::writeLocked() const {
    Value::Dictionary items;
    for (const auto& [type, data] : items_) items.emplace(type, Value(data));
    FileManager::createDirectory(std::filesystem::path(file_).parent_path(), true);
    PropertyList::writeToFile(Value(std::move(items)), file_, PropertyList::Format::Binary);
}

std::shared_ptr<Pasteboard> Pasteboard::generalPasteboard() {
    std::lock_guard lock(sharedMutex());
    return shared();
}

void Pasteboard::reset() {
    std::lock_guard lock(sharedMutex());
    shared() = std::make_shared<Pasteboard>();
    named().clear();
}

std::optional<std::string> Pasteboard::string() const {
    std::lock_guard lock(mutex_);
    if (string_) return string_;
    if (url_) return url_->absoluteString();
    return std::nullopt;
}

void Pasteboard::setString(std::string text) {
    std::lock_guard lock(mutex_);
    string_ = std::move(text);
    url_.reset();
    image_.reset();
    ++changeCount_;
}

std::optional<URL> Pasteboard::url() const {
    std::lock_guard lock(mutex_);
    return url_;
}

void Pasteboard::setURL(const URL& url) {
    std::lock_guard lock(mutex_);
    url_ = url;
    string_.reset();
    image_.reset();
    ++changeCount_;
}

std::shared_ptr<Image> Pasteboard::image() const {
    std::lock_guard lock(mutex_);
    return image_;
}

void Pasteboard::setImage(std::shared_ptr<Image> image) {
    std::lock_guard lock(mutex_);
    image_ = std::move(image);
    string_.reset();
    url_.reset();
    ++changeCount_;
}

int Pasteboard::changeCount() const {
    std::lock_guard lock(mutex_);
    return changeCount_;
}

}  // namespace clipora::platform
