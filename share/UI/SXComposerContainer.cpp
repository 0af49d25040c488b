#include "share/UI/SXComposerContainer.h"

#include "share/Core/SX.h"

namespace clipora {

std::shared_ptr<SXComposerContainer> SXComposerContainer::withComposer(
    const std::shared_ptr<platform::ViewController>& composer) {
    auto container = std::make_shared<SXComposerContainer>();
    container->initWithRootViewController(composer);
    container->setNavigationBarHidden(true);
    return container;
}

void SXComposerContainer::viewDidDisappear(bool animated) {
    NavigationController::viewDidDisappear(animated);
    SX::currentHelper()->viewWasDismissed();
}

}  // namespace clipora
