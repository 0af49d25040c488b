#pragma once

#include <memory>
#include <optional>
#include <string>

namespace clipora {

// One row of a form: caption, the key its value is returned under, its
// type and the value it starts with.
class SXFormFieldSettings {
public:
    enum Type : int {
        SXFormFieldTypeText = 0,
        SXFormFieldTypeTextNoCorrect = 1,
        SXFormFieldTypePassword = 2,
        SXFormFieldTypeSwitch = 3,
    };

    SXFormFieldSettings(std::optional<std::string> label, std::string key, int type, std::optional<std::string> start)
        : label_(std::move(label)), key_(std::move(key)), type_(type), start_(std::move(start)) {}

    static std::shared_ptr<SXFormFieldSettings> labelKeyTypeStart(std::optional<std::string> label, std::string key,
                                                                  int type, std::optional<std::string> start) {
        return std::make_shared<SXFormFieldSettings>(std::move(label), std::move(key), type, std::move(start));
    }

    const std::optional<std::string>& label() const { return label_; }
    void setLabel(std::optional<std::string> label) { label_ = std::move(label); }
    const std::string& key() const { return key_; }
    void setKey(std::string key) { key_ = std::move(key); }
    int type() const { return type_; }
    void setType(int type) { type_ = type; }
    const std::optional<std::string>& start() const { return start_; }
    void setStart(std::optional<std::string> start) { start_ = std::move(start); }

private:
    std::optional<std::string> label_;
    std::string key_;
    int type_;
    std::optional<std::string> start_;
};

}  // namespace clipora
