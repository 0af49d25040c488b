#include "app/settings/STClassRegistry.h"

#include <map>

#include "app/settings/STAppSettingsWebViewController.h"

namespace clipora {

using namespace platform;

namespace {

struct Registry {
    std::map<std::string, STClassRegistry::ScreenFactory> screens;
    std::map<std::pair<std::string, std::string>, STClassRegistry::ButtonAction> buttons;
};

Registry& registry() {
    static Registry* shared = [] {
        auto* r = new Registry();
        // The kit's own web pane.
        r->screens[STAppSettingsWebViewController::kClassName] = &STAppSettingsWebViewController::makeForSelector;
        return r;
    }();
    return *shared;
}

}  // namespace

void STClassRegistry::registerScreenClass(const std::string& className, ScreenFactory factory) {
    registry().screens[className] = std::move(factory);
}

std::shared_ptr<ViewController> STClassRegistry::makeScreen(const std::string& className,
                                                            const std::optional<std::string>& selector,
                                                            const std::optional<std::string>& file,
                                                            const std::optional<std::string>& key) {
    auto found = registry().screens.find(className);
    if (found == registry().screens.end() || !found->second) return nullptr;
    return found->second(selector, file, key);
}

void STClassRegistry::registerButtonAction(const std::string& className, const std::string& selector,
                                           ButtonAction action) {
    registry().buttons[{className, selector}] = std::move(action);
}

STClassRegistry::ButtonAction STClassRegistry::buttonAction(const std::string& className, const std::string& selector) {
    auto found = registry().buttons.find({className, selector});
    return found == registry().buttons.end() ? ButtonAction() : found->second;
}

void STClassRegistry::unregisterClass(const std::string& className) {
    registry().screens.erase(className);
    std::erase_if(registry().buttons, [&](const auto& entry) { return entry.first.first == className; });
}

}  // namespace clipora
