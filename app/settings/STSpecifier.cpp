#include "app/settings/STSpecifier.h"

#include "app/settings/STSettingsReader.h"
#include "platform/foundation/CoreFoundationVersion.h"

namespace clipora {

using namespace platform;

STSpecifier::STSpecifier(Value::Dictionary specifier) : specifierDict_(std::move(specifier)) {
    const auto kind = type();
    if (kind == kMultiValue || kind == kTitleValue) reinterpretValues();
}

void STSpecifier::reinterpretValues() {
    if (auto* values = objectForKey("Values")) multipleValuesDict_["Values"] = *values;
    if (auto* titles = objectForKey("Titles")) multipleValuesDict_["Titles"] = *titles;
}

const Value* STSpecifier::objectForKey(const std::string& key) const {
    auto found = specifierDict_.find(key);
    return found == specifierDict_.end() ? nullptr : &found->second;
}

std::optional<Value> STSpecifier::valueForKey(const std::string& key) const {
    if (auto* value = objectForKey(key)) return *value;
    return std::nullopt;
}

std::optional<std::string> STSpecifier::stringForKey(const std::string& key) const {
    auto* value = objectForKey(key);
    if (!value || !value->string()) return std::nullopt;
    return *value->string();
}

std::string STSpecifier::localizedObjectForKey(const std::string& key) const {
    auto text = stringForKey(key);
    if (auto reader = settingsReader()) return reader->titleForStringId(text);
    return text.value_or(std::string());
}

std::optional<Value> STSpecifier::defaultValue() const { return valueForKey("DefaultValue"); }
std::optional<Value> STSpecifier::trueValue() const { return valueForKey("TrueValue"); }
std::optional<Value> STSpecifier::falseValue() const { return valueForKey("FalseValue"); }

std::string STSpecifier::defaultStringValue() const {
    auto value = defaultValue();
    return value ? value->description() : std::string();
}

bool STSpecifier::defaultBoolValue() const {
    auto value = defaultValue();
    if (!value) return false;
    if (auto yes = trueValue(); yes && *value == *yes) return true;
    if (auto no = falseValue(); no && *value == *no) return false;
    return value->boolValue();
}

float STSpecifier::minimumValue() const {
    auto* value = objectForKey("MinimumValue");
    return value ? static_cast<float>(value->doubleValue()) : 0.0f;
}

float STSpecifier::maximumValue() const {
    auto* value = objectForKey("MaximumValue");
    return value ? static_cast<float>(value->doubleValue()) : 0.0f;
}

bool STSpecifier::isSecure() const {
    auto* value = objectForKey("IsSecure");
    return value && value->boolValue();
}

TextField::KeyboardType STSpecifier::keyboardType() const {
    const auto name = stringForKey("KeyboardType").value_or(std::string());
    if (name == "Alphabet") return TextField::KeyboardTypeASCIICapable;
    if (name == "NumbersAndPunctuation") return TextField::KeyboardTypeNumbersAndPunctuation;
    if (name == "NumberPad") return TextField::KeyboardTypeNumberPad;
    if (name == "DecimalPad")
        return CoreFoundationVersion::number() >= CoreFoundationVersion::kDecimalPadVersion
                   ? TextField::KeyboardTypeDecimalPad
                   : TextField::KeyboardTypeNumbersAndPunctuation;
    if (name == "URL") return TextField::KeyboardTypeURL;
    if (name == "EmailAddress") return TextField::KeyboardTypeEmailAddress;
    return TextField::KeyboardTypeDefault;
}

TextField::AutocapitalizationType STSpecifier::autocapitalizationType() const {
    const auto name = stringForKey("AutocapitalizationType").value_or(std::string());
    if (name == "Sentences") return TextField::AutocapitalizationSentences;
    if (name == "Words") return TextField::AutocapitalizationWords;
    if (name == "AllCharacters") return TextField::AutocapitalizationAllCharacters;
    return TextField::AutocapitalizationNone;
}

TextField::AutocorrectionType STSpecifier::autoCorrectionType() const {
    const auto name = stringForKey("AutocorrectionType").value_or(std::string());
    if (name == "No") return TextField::AutocorrectionNo;
    if (name == "Yes") return TextField::AutocorrectionYes;
    return TextField::AutocorrectionDefault;
}

const Value::Array* STSpecifier::multipleValues() const {
    auto found = multipleValuesDict_.find("Values");
    return found == multipleValuesDict_.end() ? nullptr : found->second.array();
}

const Value::Array* STSpecifier::multipleTitles() const {
    auto found = multipleValuesDict_.find("Titles");
    return found == multipleValuesDict_.end() ? nullptr : found->second.array();
}

std::size_t STSpecifier::multipleValuesCount() const {
    auto* values = multipleValues();
    return values ? values->size() : 0;
}

std::optional<std::size_t> STSpecifier::indexOfValue(const Value& value) const {
    auto* values = multipleValues();
    if (!values) return std::nullopt;
    for (std::size_t i = 0; i < values->size(); ++i)
        if ((*values)[i] == value) return i;
    return std::nullopt;
}

std::optional<std::string> STSpecifier::titleForCurrentValue(const Value& value) const {
    auto* values = multipleValues();
    auto* titles = multipleTitles();
    const std::size_t valueCount = values ? values->size() : 0;
    const std::size_t titleCount = titles ? titles->size() : 0;
    if (valueCount != titleCount) return std::nullopt;
    auto index = indexOfValue(value);
    if (!index) return std::nullopt;
    const Value& title = (*titles)[*index];
    std::optional<std::string> id = title.string() ? std::optional<std::string>(*title.string()) : std::nullopt;
    if (!id) return std::nullopt;  // a title that is no text has nothing to show
    if (auto reader = settingsReader()) return reader->titleForStringId(id);
    return id;
}

}  // namespace clipora
