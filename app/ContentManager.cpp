#include "app/ContentManager.h"

#include <functional>
#include <mutex>

#include "app/LimitedFetch.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/UserDefaults.h"

namespace clipora {

using namespace platform;

namespace {

std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standardUserDefaults(); }

// The checker's thread only loads. Each change of the user defaults is handed
// to the main thread, and waited for: a change is announced on the writing
// thread, and its observers are screens (the settings panes), which are
// touched on the main thread alone. Inline when already there.
void onMainThread(std::function<void()> work) { Thread::performOnMainThread(std::move(work), true); }

// Remote documents are taken from https addresses only, within a size
// ceiling; anything else reads as nothing.
std::optional<Data> fetchSecurely(const std::string& address, std::size_t limit) {
    auto url = URL::fromString(address);
    if (!url || !Text::equalsCaseInsensitive(url->scheme(), "https")) {
        if (!address.empty()) Log::format("ContentManager: ignoring the address %@ (https only)", address);
        return std::nullopt;
    }
    URLRequest request(*url, URLRequest::CachePolicy::ReloadIgnoringLocalCacheData,
                       URLRequest::defaultTimeoutInterval());
    auto result = LimitedFetch::fetch(request, limit);
    if (result.error || !result.body) {
        if (result.error) Log::format("ContentManager: %@: %@", address, result.error->localizedDescription());
        return std::nullopt;
    }
    const int status = result.statusCode();
    if (status < 200 || status > 299) {
        Log::format("ContentManager: %@ answered status %d", address, status);
        return std::nullopt;
    }
    return std::move(result.body);
}

std::string stringIn(const Value::Dictionary& dictionary, const std::string& key) {
    auto it = dictionary.find(key);
    if (it == dictionary.end() || !it->second.isString()) return std::string();
    return *it->second.string();
}

std::int64_t integerIn(const Value::Dictionary& dictionary, const std::string& key) {
    auto it = dictionary.find(key);
    return it == dictionary.end() ? 0 : it->second.integerValue();
}

}  // namespace

std::shared_ptr<ContentManager> ContentManager::shareContentManager() {
    static std::shared_ptr<ContentManager> shared = std::make_shared<ContentManager>();
    return shared;
}

void ContentManager::checkForNewsUpdate(const std::string& address) {
    auto self = shared_from_this();
    Thread::detach([self, address] { self->checkUpdateHelper(address); }, "ContentManager");
}

Value::Dictionary ContentManager::fetchList(const std::string& address) {
    auto body = fetchSecurely(address, kMaxListBytes);
    if (!body) return {};
    std::optional<Error> error;
    auto list = PropertyList::fromData(*body, &error);
    if (!list || !list->dictionary()) {
        Log::format("ContentManager: unreadable list at %@", address);
        return {};
    }
    return *list->dictionary();
}

void ContentManager::checkUpdateHelper(const std::string& address) {
    // One check at a time: two overlapping checks would both find a counter
    // newer and announce the same news twice.
    static std::mutex checking;
    std::lock_guard<std::mutex> lock(checking);
    const Value::Dictionary list = fetchList(address);
    auto showAds = list.find(kShowAdsKey);
    const bool showsAds = showAds != list.end() && showAds->second.boolValue();
    onMainThread([showsAds] { defaults()->setBool(showsAds, kShowAdsKey); });
    if (isNewerVersion(integerIn(list, kNewsKey), kNewsKey)) postNotification(kNewsUpdateNotification);
    for (const char* which : {kFullApp, kAdsApp}) {
        if (!isNewerVersion(integerIn(list, which), which)) continue;
        auto detail = list.find(std::string(which) + "Detail");
        getDetail(
            detail != list.end() && detail->second.dictionary() ? *detail->second.dictionary() : Value::Dictionary{},
            which);
    }
    onMainThread([] { defaults()->synchronize(); });
    postNotification(kDoneNotification);
}

bool ContentManager::isNewerVersion(std::int64_t value, const std::string& key) {
    bool newer = false;
    onMainThread([&] {
        auto store = defaults();
        if (store->integerForKey(key) >= value) return;
        store->setInteger(value, key);
        newer = true;
    });
    return newer;
}

std::string ContentManager::pictureFolder() { return FileManager::documentsDirectory() + "/AppUpdate"; }

std::string ContentManager::picturePath(const std::string& which) {
    return Text::format("%@/%@%@.png", pictureFolder(), which, "ImageURL");
}

void ContentManager::getDetail(const Value::Dictionary& detail, const std::string& which) {
    const std::string folder = pictureFolder();
    if (!FileManager::isDirectory(folder)) FileManager::createDirectory(folder, false);
    const std::string imageURL = stringIn(detail, "ImageURL");
    if (!imageURL.empty()) {
        // A picture that cannot be had leaves the old one in place.
        if (auto bytes = fetchSecurely(imageURL, kMaxImageBytes); bytes && !bytes->empty())
            FileManager::writeData(picturePath(which), *bytes, true);
    }
    onMainThread([&] {
        auto store = defaults();
        for (const char* field : {"Description", "ButtonText", "LinkURL"}) {
            // A field the list lacks is stored as absent, as setting nil would.
            const std::string key = Text::format("%@%@", which, field);
            auto value = detail.find(field);
            if (value != detail.end() && value->second.isString())
                store->setObject(value->second, key);
            else
                store->removeObjectForKey(key);
        }
    });
}

void ContentManager::postNotification(const std::string& name) {
    Thread::performOnMainThread([name] { NotificationCenter::defaultCenter().post(name); }, false);
}

std::shared_ptr<AppInfo> ContentManager::getAppInfoHelper(const std::string& which) {
    auto store = defaults();
    auto description = store->stringForKey(Text::format("%@%@", which, "Description"));
    if (!description) return nullptr;
    auto buttonText = store->stringForKey(Text::format("%@%@", which, "ButtonText"));
    auto link = store->stringForKey(Text::format("%@%@", which, "LinkURL"));
    return AppInfo::initWithButtonTextLinkImage(*description, buttonText.value_or(std::string()),
                                                link.value_or(std::string()),
                                                Image::imageWithContentsOfFile(picturePath(which)));
}

bool ContentManager::showAds() { return defaults()->boolForKey(kShowAdsKey); }

}  // namespace clipora
