#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/uikit/TextField.h"

namespace clipora {

class STSettingsReader;

// One entry of a settings description (a row or a section heading) and the
// readings of its keys. Titles, footers and mail texts are localised through
// the reader that last handed the specifier out; without one they read as
// written.
class STSpecifier {
public:
    // The eleven types of rows the kit draws.
    static constexpr const char* kGroup = "PSGroupSpecifier";
    static constexpr const char* kToggleSwitch = "PSToggleSwitchSpecifier";
    static constexpr const char* kMultiValue = "PSMultiValueSpecifier";
    static constexpr const char* kTitleValue = "PSTitleValueSpecifier";
    static constexpr const char* kTextField = "PSTextFieldSpecifier";
    static constexpr const char* kSlider = "PSSliderSpecifier";
    static constexpr const char* kChildPane = "PSChildPaneSpecifier";
    static constexpr const char* kOpenURL = "STOpenURLSpecifier";
    static constexpr const char* kButton = "STButtonSpecifier";
    static constexpr const char* kMailCompose = "STMailComposeSpecifier";
    static constexpr const char* kCustomView = "STCustomViewSpecifier";

    // initWithSpecifier.
    explicit STSpecifier(platform::Value::Dictionary specifier);

    const platform::Value::Dictionary& specifierDict() const { return specifierDict_; }
    // Only for multi-value and title-value rows: their "Values" and "Titles".
    const platform::Value::Dictionary& multipleValuesDict() const { return multipleValuesDict_; }
    std::shared_ptr<STSettingsReader> settingsReader() const { return settingsReader_.lock(); }
    void setSettingsReader(std::weak_ptr<STSettingsReader> reader) { settingsReader_ = std::move(reader); }

    // The raw value under a key, or null.
    const platform::Value* objectForKey(const std::string& key) const;
    // A string under a key, or std::nullopt.
    std::optional<std::string> stringForKey(const std::string& key) const;
    // The localised text of the string id under the key ("" when absent).
    std::string localizedObjectForKey(const std::string& key) const;

    std::string title() const { return localizedObjectForKey("Title"); }
    std::string footerText() const { return localizedObjectForKey("FooterText"); }
    std::optional<std::string> key() const { return stringForKey("Key"); }
    std::optional<std::string> type() const { return stringForKey("Type"); }
    std::optional<std::string> file() const { return stringForKey("File"); }
    std::optional<platform::Value> defaultValue() const;
    std::optional<platform::Value> trueValue() const;
    std::optional<platform::Value> falseValue() const;
    std::optional<std::string> minimumValueImage() const { return stringForKey("MinimumValueImage"); }
    std::optional<std::string> maximumValueImage() const { return stringForKey("MaximumValueImage"); }
    // Class names and selector names of the screen and button hooks (looked
    // up in STClassRegistry by the screen).
    std::optional<std::string> viewControllerClass() const { return stringForKey("STViewControllerClass"); }
    std::optional<std::string> viewControllerSelector() const { return stringForKey("STViewControllerSelector"); }
    std::optional<std::string> buttonClass() const { return stringForKey("STButtonClass"); }
    std::optional<std::string> buttonAction() const { return stringForKey("STButtonAction"); }

    // The text form of "DefaultValue" ("" when absent).
    std::string defaultStringValue() const;
    // YES when the default is the true value, NO when it is the false value,
    // else the default's boolean reading.
    bool defaultBoolValue() const;
    float minimumValue() const;
    float maximumValue() const;
    bool isSecure() const;
    platform::TextField::KeyboardType keyboardType() const;
    platform::TextField::AutocapitalizationType autocapitalizationType() const;
    platform::TextField::AutocorrectionType autoCorrectionType() const;

    const platform::Value::Array* multipleValues() const;
    const platform::Value::Array* multipleTitles() const;
    std::size_t multipleValuesCount() const;
    // The localised title shown for a value; none when the value is not one
    // of "Values" or the titles do not pair up with the values.
    std::optional<std::string> titleForCurrentValue(const platform::Value& value) const;
    // The index of the first entry of "Values" equal to the value.
    std::optional<std::size_t> indexOfValue(const platform::Value& value) const;

private:
    void reinterpretValues();
    std::optional<platform::Value> valueForKey(const std::string& key) const;

    platform::Value::Dictionary specifierDict_;
    platform::Value::Dictionary multipleValuesDict_;
    std::weak_ptr<STSettingsReader> settingsReader_;
};

}  // namespace clipora
