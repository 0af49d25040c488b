#include "share/Core/SX.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "net/reachability/Reachability.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Window.h"
#include "share/Core/KCKeychainUtils.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXItem.h"
#include "share/Core/SXOfflineSharer.h"
#include "share/Core/SXSharer.h"
#include "share/Core/SXSharerRegistry.h"

namespace clipora {

using platform::FileManager;
using platform::Text;
using platform::UserDefaults;
using platform::Value;
using platform::ViewController;

namespace {

// Seconds from 1970 to the platform's reference date (2001).
constexpr double kUnixToReferenceDate = 978307200;

std::shared_ptr<SX>& hub() {
    static auto* shared = new std::shared_ptr<SX>;
    return *shared;
}

std::map<std::string, Value::Dictionary>& sharerLists() {
    static auto* lists = new std::map<std::string, Value::Dictionary>;
    return *lists;
}

std::string favoritesKey(int type) { return Text::format("%@%i", SXConfiguration::stringValue("favsPrefixKey"), type); }

std::string authService(const std::string& sharerId) {
    return Text::format("%@%@", SXConfiguration::stringValue("authPrefix"), sharerId);
}

std::vector<std::string> defaultFavorites(int type) {
    switch (type) {
    case 1: return {"SXTwitter", "SXFacebook", "SXReadItLater", "SXVkontakte"};
    case 2: return {"SXMail", "SXTwitter", "SXFacebook", "SXVkontakte", "SXLinkedIn"};
    case 3: return {"SXMail", "SXFacebook", "SXCopy", "SXVkontakte"};
    case 4: return {"SXMail", "SXEvernote"};
    default: return {};
    }
}

Value toArray(const std::vector<std::string>& list) {
    Value::Array array;
    for (const auto& id : list) array.emplace_back(id);
    return Value(std::move(array));
}

}  // namespace

std::shared_ptr<SX> SX::currentHelper() {
    if (!hub()) hub() = std::make_shared<SX>();
    return hub();
}

void SX::reset() {
    if (hub() && hub()->pendingTimer_) hub()->pendingTimer_->invalidate();
    hub().reset();
    sharerLists().clear();
}

void SX::setRootViewController(const std::shared_ptr<ViewController>& controller) {
    currentHelper()->rootViewController_ = controller;
}

int SX::barStyle() {
    auto style = SXConfiguration::stringValue("barStyle");
    if (style == "UIBarStyleBlack" || style == "UIBarStyleBlackOpaque") return 1;
    if (style == "UIBarStyleBlackTranslucent") return 2;
    return 0;
}

int SX::modalPresentationStyle() {
    auto style = SXConfiguration::stringValue("modalPresentationStyle");
    if (style == "UIModalPresentationFullScreen") return 0;
    if (style == "UIModalPresentationPageSheet") return 1;
    if (style == "UIModalPresentationFormSheet") return 2;
    return 3;
}

int SX::modalTransitionStyle() {
    auto style = SXConfiguration::stringValue("modalTransitionStyle");
    if (style == "UIModalTransitionStyleFlipHorizontal") return 1;
    if (style == "UIModalTransitionStyleCrossDissolve") return 2;
    if (style == "UIModalTransitionStylePartialCurl") return 3;
    return 0;
}

// --- Favourites ---

std::vector<std::string> SX::favoriteSharersForType(int type) {
    auto defaults = UserDefaults::standardUserDefaults();
    auto key = favoritesKey(type);
    std::vector<std::string> list;
    if (auto stored = defaults->arrayForKey(key)) {
        for (const auto& id : *stored) {
            if (id.isString()) list.push_back(*id.string());
        }
    } else {
        list = defaultFavorites(type);
        defaults->setObject(toArray(list), key);
    }
    if (auto excluded = defaults->dictionaryForKey(kExcludedKey)) {
        std::erase_if(list, [&](const std::string& id) { return excluded->contains(id); });
        defaults->setObject(toArray(list), key);
    }
    return list;
}

void SX::pushOnFavoritesForType(const std::string& sharerId, int type) {
    auto list = favoriteSharersForType(type);
    std::erase(list, sharerId);
    list.insert(list.begin(), sharerId);
    auto max = static_cast<std::size_t>(std::max<std::int64_t>(0, SXConfiguration::integerValue("maxFavCount")));
    while (list.size() > max) list.pop_back();
    setFavoritesForType(list, type);
}

void SX::setFavoritesForType(const std::vector<std::string>& list, int type) {
    UserDefaults::standardUserDefaults()->setObject(toArray(list), favoritesKey(type));
}

std::optional<Value> SX::getUserExclusions() {
    return UserDefaults::standardUserDefaults()->objectForKey(
        Text::format("%@Exclusions", SXConfiguration::stringValue("favsPrefixKey")));
}

void SX::setUserExclusions(const Value& exclusions) {
    UserDefaults::standardUserDefaults()->setObject(
        exclusions, Text::format("%@Exclusions", SXConfiguration::stringValue("favsPrefixKey")));
}

// --- Credentials ---

std::optional<std::string> SX::getAuthValueForKeyForSharer(const std::string& key, const std::string& sharerId) {
    return KCKeychainUtils::getPasswordForUsernameAndServiceNameError(key, authService(sharerId), nullptr);
}

void SX::setAuthValueForKeyForSharer(const std::optional<std::string>& value, const std::string& key,
                                     const std::string& sharerId) {
    KCKeychainUtils::storeUsernameAndPasswordForServiceNameUpdateExistingError(key, value, authService(sharerId), true,
                                                                               nullptr);
}

void SX::removeAuthValueForKeyForSharer(const std::string& key, const std::string& sharerId) {
    KCKeychainUtils::deleteItemForUsernameAndServiceNameError(key, authService(sharerId), nullptr);
}

const Value::Dictionary& SX::sharersDictionary() {
    auto bundle = platform::Bundle::mainBundle();
    auto name = SXConfiguration::stringValue("sharersPlistName");
    auto cacheKey = bundle->resourcePath() + "\n" + name;
    auto it = sharerLists().find(cacheKey);
    if (it == sharerLists().end()) {
        Value::Dictionary dictionary;
        auto path = std::filesystem::path(bundle->resourcePath()) / name;
        if (auto value = platform::PropertyList::fromFile(path); value && value->isDictionary()) {
            dictionary = *value->dictionary();
        }
        it = sharerLists().emplace(cacheKey, std::move(dictionary)).first;
    }
    return it->second;
}

// --- Offline queue ---

std::string SX::offlineQueuePath() {
    auto path = (std::filesystem::path(FileManager::cachesDirectory()) / "SX").string();
    if (!FileManager::isDirectory(path)) FileManager::createDirectory(path, true);
    return path;
}

std::string SX::offlineQueueListPath() {
    return (std::filesystem::path(offlineQueuePath()) / kOfflineQueueListName).string();
}

std::optional<Value::Array> SX::getOfflineQueueList() {
    auto path = offlineQueueListPath();
    if (!FileManager::fileExists(path)) return std::nullopt;
    auto value = platform::PropertyList::fromFile(path);
    if (value && value->isArray()) return *value->array();
    // Keep what cannot be read for a person to look at; a new list starts
    // beside it rather than over it.
    auto aside = FileManager::moveItemAside(path);
    platform::Log::format("SX: the offline queue list cannot be read; moved to %@",
                          aside ? aside->string() : std::string("nowhere (left in place)"));
    return std::nullopt;
}

bool SX::saveOfflineQueueList(const Value::Array& list) {
    return platform::PropertyList::writeToFile(Value(list), offlineQueueListPath());
}

bool SX::isSafeQueueUid(std::string_view uid) {
    return !uid.empty() && uid != "." && uid != ".." && uid.find('/') == std::string_view::npos;
}

bool SX::addToOfflineQueueForSharer(const SXItem& item, const std::string& sharerId) {
    if (!SXConfiguration::boolValue("allowOffline")) return false;
    auto seconds =
        static_cast<long long>(platform::Clock::now().timeIntervalSinceReferenceDate() + kUnixToReferenceDate);
    auto uid = Text::format("%@-%i-%lld-%i", sharerId, item.shareType(), seconds,
                            static_cast<int>(platform::Digest::random32()));
    if (!isSafeQueueUid(uid)) return false;
    auto dataPath = (std::filesystem::path(offlineQueuePath()) / uid).string();
    if (item.shareType() == SXItem::SXShareTypeImage && item.image()) {
        if (!FileManager::writeData(dataPath, item.image()->jpegRepresentation(1.0f))) return false;
    } else if (item.shareType() == SXItem::SXShareTypeFile && item.data()) {
        if (!FileManager::writeData(dataPath, *item.data())) return false;
    }
    // The data file is the one copy of a picture or file: the list entry
    // stays small however many shares wait.
    auto dictionary = item.dictionaryRepresentation();
    dictionary.erase("data");
    dictionary.erase("image");
    auto list = getOfflineQueueList().value_or(Value::Array{});
    list.push_back(Value::makeDictionary(
        {{"item", Value(std::move(dictionary))}, {"sharer", Value(sharerId)}, {"uid", Value(uid)}}));
    if (!saveOfflineQueueList(list)) {
        FileManager::removeItem(dataPath);
        return false;
    }
    return true;
}

void SX::removeOfflineQueueEntry(const std::string& uid) {
    if (!isSafeQueueUid(uid)) return;
    if (auto list = getOfflineQueueList()) {
        auto before = list->size();
        std::erase_if(*list, [&](const Value& entry) {
            auto found = entry.find("uid");
            return found && found->isString() && *found->string() == uid;
        });
        if (list->size() != before) saveOfflineQueueList(*list);
    }
    auto dataPath = std::filesystem::path(offlineQueuePath()) / uid;
    if (FileManager::fileExists(dataPath.string())) FileManager::removeItem(dataPath.string());
}

void SX::flushOfflineQueue() {
    if (!connected()) return;
    auto list = getOfflineQueueList();
    if (!list) return;
    auto hub = currentHelper();
    if (!hub->offlineQueue_) hub->offlineQueue_ = std::make_shared<platform::OperationQueue>();
    std::vector<std::string> unusable;
    for (const auto& entry : *list) {
        const auto* itemValue = entry.find("item");
        const auto* sharer = entry.find("sharer");
        const auto* uid = entry.find("uid");
        bool usable = itemValue && itemValue->isDictionary() && sharer && sharer->isString() && uid &&
                      uid->isString() && isSafeQueueUid(*uid->string());
        if (!usable) {
            if (uid && uid->isString()) unusable.push_back(*uid->string());
            continue;
        }
        if (!hub->replaying_.insert(*uid->string()).second) continue;
        auto item = SXItem::itemFromDictionary(*itemValue->dictionary());
        hub->offlineQueue_->addOperation(std::make_shared<SXOfflineSharer>(item, *sharer->string(), *uid->string()));
    }
    // Entries that can never be replayed leave the list now.
    auto remaining = getOfflineQueueList().value_or(Value::Array{});
    auto before = remaining.size();
    std::erase_if(remaining, [](const Value& entry) {
        const auto* itemValue = entry.find("item");
        const auto* sharer = entry.find("sharer");
        const auto* uid = entry.find("uid");
        return !(itemValue && itemValue->isDictionary() && sharer && sharer->isString() && uid && uid->isString() &&
                 isSafeQueueUid(*uid->string()));
    });
    if (remaining.size() != before) saveOfflineQueueList(remaining);
    for (const auto& uid : unusable) {
        if (!isSafeQueueUid(uid)) continue;
        auto dataPath = std::filesystem::path(offlineQueuePath()) / uid;
        if (FileManager::fileExists(dataPath.string())) FileManager::removeItem(dataPath.string());
    }
}

void SX::logoutOfAll() {
    const auto* services = sharersDictionary().find("services") != sharersDictionary().end()
                               ? &sharersDictionary().find("services")->second
                               : nullptr;
    if (!services || !services->isArray()) return;
    for (const auto& name : *services->array()) {
        if (name.isString()) logoutOfService(*name.string());
    }
}

void SX::logoutOfService(const std::string& sharerId) {
    if (auto sharer = SXSharerRegistry::create(sharerId)) sharer->logout();
}

bool SX::connected() {
    auto reachability = Reachability::reachabilityForInternetConnection();
    return reachability && reachability->currentReachabilityStatus() != ReachabilityStatus::Unreachable;
}

// --- Presentation ---

std::shared_ptr<ViewController> SX::getCurrentRootViewController() {
    if (auto root = rootViewController_.lock()) return root;
    auto application = platform::Application::sharedApplication();
    auto window = application->keyWindow();
    if (window && window->windowLevel() != 0) {
        window.reset();
        for (const auto& candidate : application->windows()) {
            if (candidate->windowLevel() == 0) {
                window = candidate;
                break;
            }
        }
    }
    if (!window) return nullptr;
    if (auto root = window->rootViewController()) return root;
    if (window->subviews().empty()) return nullptr;
    return std::dynamic_pointer_cast<ViewController>(window->subviews().front()->nextResponder());
}

std::shared_ptr<ViewController> SX::getTopViewController(std::shared_ptr<ViewController> controller) {
    while (controller && controller->modalViewController()) controller = controller->modalViewController();
    return controller;
}

std::shared_ptr<ViewController> SX::rootViewForCustomUIDisplay() {
    return getTopViewController(getCurrentRootViewController());
}

void SX::showViewController(const std::shared_ptr<ViewController>& controller) {
    if (!controller) return;
    auto root = getCurrentRootViewController();
    currentRootViewController_ = root;
    auto top = getTopViewController(root);
    if (currentView_) {
        // One framework screen at a time: the new one waits until the
        // current one reports its dismissal.
        pendingView_ = controller;
        auto current = currentView_;
        if (auto presenter = current->presentingViewController()) {
            presenter->dismissModalViewControllerAnimated(true);
        } else if (auto parent = current->parentViewController()) {
            parent->dismissModalViewControllerAnimated(true);
        }
        return;
    }
    if (!top) {
        platform::Log::write("SX: no window to present the sharing screen in");
        return;
    }
    auto navigation = std::dynamic_pointer_cast<platform::NavigationController>(controller);
    if (!navigation) {
        navigation = std::make_shared<platform::NavigationController>();
        navigation->initWithRootViewController(controller);
        navigation->navigationBar()->setTintColor(SXConfiguration::sharedInstance()->barTintForView(controller));
    }
    navigation->setModalPresentationStyle(
        static_cast<ViewController::ModalPresentationStyle>(modalPresentationStyle()));
    navigation->setModalTransitionStyle(static_cast<ViewController::ModalTransitionStyle>(modalTransitionStyle()));
    currentView_ = navigation;
    top->presentModalViewControllerAnimated(navigation, true);
    navigation->navigationBar()->setBarStyle(static_cast<platform::NavigationBar::BarStyle>(barStyle()));
    navigation->toolbar()->setBarStyle(barStyle());
    pendingView_.reset();
}

void SX::hideCurrentViewControllerAnimated(bool animated) {
    if (isDismissingView_ || !currentView_) return;
    auto current = currentView_;
    if (auto presenter = current->presentingViewController()) {
        isDismissingView_ = true;
        presenter->dismissViewControllerAnimatedCompletion(animated, [] {
            platform::DispatchQueue::main()->async(
                [] { platform::NotificationCenter::defaultCenter().post(kHideCurrentViewFinishedNotification); });
        });
    } else if (auto parent = current->parentViewController()) {
        isDismissingView_ = true;
        parent->dismissModalViewControllerAnimated(animated);
    } else {
        currentView_.reset();
    }
}

void SX::viewWasDismissed() {
    isDismissingView_ = false;
    currentView_.reset();
    currentRootViewController_.reset();
    if (pendingView_) {
        if (pendingTimer_) pendingTimer_->invalidate();
        std::weak_ptr<SX> weak = weak_from_this();
        pendingTimer_ = platform::RunLoop::main()->performAfterDelay(kPendingViewDelay, [weak] {
            if (auto self = weak.lock()) self->showPendingView();
        });
    }
}

void SX::showPendingView() {
    pendingTimer_.reset();
    auto pending = std::move(pendingView_);
    pendingView_.reset();
    if (pending) showViewController(pending);
}

}  // namespace clipora
