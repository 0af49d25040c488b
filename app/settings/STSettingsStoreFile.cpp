#include "app/settings/STSettingsStoreFile.h"

#include "platform/foundation/PropertyList.h"

namespace clipora {

using namespace platform;

STSettingsStoreFile::STSettingsStoreFile(std::string path) : filePath_(std::move(path)) {
    if (auto loaded = PropertyList::fromFile(filePath_); loaded && loaded->dictionary()) dict_ = *loaded->dictionary();
}

void STSettingsStoreFile::setObjectForKey(const Value& value, const std::string& key) { dict_[key] = value; }

std::optional<Value> STSettingsStoreFile::objectForKey(const std::string& key) {
    auto found = dict_.find(key);
    if (found == dict_.end()) return std::nullopt;
    return found->second;
}

bool STSettingsStoreFile::synchronize() { return PropertyList::writeToFile(Value(dict_), filePath_); }

}  // namespace clipora
