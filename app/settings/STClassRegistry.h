#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/ViewController.h"

namespace clipora {

class STAppSettingsViewController;

// The screens and button handlers a settings description may name by class
// ("STViewControllerClass", "STButtonClass") and initialiser or action
// selector. A name nobody registered names nothing, so a description can
// never reach code that did not offer itself. Main thread.
class STClassRegistry {
public:
    // Makes the screen for (selector, "File", "Key"); the selector is absent
    // for plain initialisation. Null when the class has no such initialiser.
    using ScreenFactory = std::function<std::shared_ptr<platform::ViewController>(
        const std::optional<std::string>& selector, const std::optional<std::string>& file,
        const std::optional<std::string>& key)>;
    using ButtonAction =
        std::function<void(const std::shared_ptr<STAppSettingsViewController>&, const std::optional<std::string>& key)>;

    STClassRegistry() = delete;

    static void registerScreenClass(const std::string& className, ScreenFactory factory);
    static std::shared_ptr<platform::ViewController> makeScreen(const std::string& className,
                                                                const std::optional<std::string>& selector,
                                                                const std::optional<std::string>& file,
                                                                const std::optional<std::string>& key);
    static void registerButtonAction(const std::string& className, const std::string& selector, ButtonAction action);
    // The action, or an empty function when the class does not answer it.
    static ButtonAction buttonAction(const std::string& className, const std::string& selector);
    static void unregisterClass(const std::string& className);
};

}  // namespace clipora
