#pragma once

#include <string>

#include "app/settings/STAbstractSettingsStore.h"

namespace clipora {

// Keeps the values in a property-list file of its own. They live in memory
// until synchronize(), which writes the whole dictionary atomically; a failed
// write answers NO and keeps the values in memory. A missing or unreadable
// file starts an empty store.
class STSettingsStoreFile : public STAbstractSettingsStore {
public:
    explicit STSettingsStoreFile(std::string path);

    const std::string& filePath() const { return filePath_; }
    const platform::Value::Dictionary& dict() const { return dict_; }

    void setObjectForKey(const platform::Value& value, const std::string& key) override;
    std::optional<platform::Value> objectForKey(const std::string& key) override;
    bool synchronize() override;

private:
    std::string filePath_;
    platform::Value::Dictionary dict_;
};

}  // namespace clipora
