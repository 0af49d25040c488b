#include "platform/system/Keychain.h"

#include <charconv>
#include <filesystem>
#include <mutex>
#include <span>
#include <sstream>

#include "platform/foundation/Base64.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

// One header line, then one line per item of tab-separated fields: the four
// texts in base64 (so no secret byte can break the layout), a flag for a
// present secret, and the two dates.
constexpr std::string_view kHeader = "clipora-keychain 1";

std::mutex& storeMutex() {
    static std::mutex mutex;
    return mutex;
}

struct Injection {
    Keychain::Status status = Keychain::kSuccess;
    int remaining = 0;
};

Injection& injection() {
    static Injection value;
    return value;
}

// Called with the store mutex held: the injected status for this call, if any.
std::optional<Keychain::Status> takeInjectedFailure() {
    Injection& inj = injection();
    if (inj.remaining <= 0) return std::nullopt;
    --inj.remaining;
    return inj.status;
}

bool matches(const Keychain::Query& q, const Keychain::Item& item) {
    return (!q.service || *q.service == item.service) && (!q.account || *q.account == item.account) &&
           (!q.label || *q.label == item.label);
}

std::string encodeText(const std::string& text) { return Base64::encode(std::string_view(text)); }

std::optional<std::string> decodeText(std::string_view field) {
    auto bytes = Base64::decode(field);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

std::optional<double> parseDouble(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0;
    in >> value;
    if (in.fail()) return std::nullopt;
    return value;
}

std::string formatDouble(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(17);
    out << value;
    return out.str();
}

// Loads the store: an absent file is an empty store.
Keychain::Status load(std::vector<Keychain::Item>& items) {
    items.clear();
    const std::string path = Keychain::storePath();
    if (!FileManager::fileExists(path)) return Keychain::kSuccess;
    auto bytes = FileManager::contentsOfFile(path);
    if (!bytes) return Keychain::kIO;
    std::string text(bytes->begin(), bytes->end());
    auto lines = Text::split(text, "\n");
    if (lines.empty() || lines[0] != kHeader) return Keychain::kDecode;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        auto fields = Text::split(lines[i], "\t");
        if (fields.size() != 7) return Keychain::kDecode;
        Keychain::Item item;
        auto service = decodeText(fields[0]);
        auto account = decodeText(fields[1]);
        auto label = decodeText(fields[2]);
        auto value = Base64::decode(fields[3]);
        auto created = parseDouble(fields[5]);
        auto modified = parseDouble(fields[6]);
        if (!service || !account || !label || !value || !created || !modified ||
            (fields[4] != "1" && fields[4] != "0")) {
            return Keychain::kDecode;
        }
        item.service = std::move(*service);
        item.account = std::move(*account);
        item.label = std::move(*label);
        if (fields[4] == "1") item.value = std::move(*value);
        item.creationDate = Date(*created);
        item.modificationDate = Date(*modified);
        items.push_back(std::move(item));
    }
    return Keychain::kSuccess;
}

Keychain::Status save(const std::vector<Keychain::Item>& items) {
    std::string text(kHeader);
    text += '\n';
    for (const auto& item : items) {
        text += encodeText(item.service) + '\t' + encodeText(item.account) + '\t' + encodeText(item.label) + '\t';
        text += item.value ? Base64::encode(std::span<const std::uint8_t>(*item.value)) : std::string();
        text += item.value ? "\t1\t" : "\t0\t";
        text += formatDouble(item.creationDate.timeIntervalSinceReferenceDate()) + '\t' +
                formatDouble(item.modificationDate.timeIntervalSinceReferenceDate()) + '\n';
    }
    const std::filesystem::path path = Keychain::storePath();
    const auto folder = path.parent_path();
    if (!FileManager::isDirectory(folder)) {
        if (!FileManager::createDirectory(folder, true)) return Keychain::kIO;
        FileManager::setPermissions(folder, 0700);
    }
    if (!FileManager::writePrivateData(path, Data(text.begin(), text.end()))) return Keychain::kIO;
    return Keychain::kSuccess;
}

}  // namespace

std::string Keychain::storePath() {
    return (std::filesystem::path(FileManager::libraryDirectory()) / "Keychains" / "keychain.db").string();
}

void Keychain::injectFailure(Status status, int count) {
    std::lock_guard lock(storeMutex());
    injection() = {status, count};
}

void Keychain::clearInjectedFailures() {
    std::lock_guard lock(storeMutex());
    injection() = {};
}

Keychain::Status Keychain::add(const Item& item) {
    std::lock_guard lock(storeMutex());
    if (auto failure = takeInjectedFailure()) return *failure;
    if (item.service.empty() && item.account.empty()) return kParam;
    std::vector<Item> items;
    if (Status s = load(items); s != kSuccess) return s;
    for (const auto& existing : items) {
        if (existing.service == item.service && existing.account == item.account) return kDuplicateItem;
    }
    Item added = item;
    added.creationDate = added.modificationDate = Date::now();
    items.push_back(std::move(added));
    return save(items);
}

Keychain::Status Keychain::update(const Query& query, const Data& value, const std::optional<std::string>& label) {
    std::lock_guard lock(storeMutex());
    if (auto failure = takeInjectedFailure()) return *failure;
    std::vector<Item> items;
    if (Status s = load(items); s != kSuccess) return s;
    bool found = false;
    for (auto& item : items) {
        if (!matches(query, item)) continue;
        found = true;
        item.value = value;
        if (label) item.label = *label;
        item.modificationDate = Date::now();
    }
    if (!found) return kItemNotFound;
    return save(items);
}

Keychain::Status Keychain::find(const Query& query, Item* item) {
    std::vector<Item> all;
    Status s = findAll(query, &all);
    if (s == kSuccess && item) *item = std::move(all.front());
    return s;
}

Keychain::Status Keychain::findAll(const Query& query, std::vector<Item>* result) {
    std::lock_guard lock(storeMutex());
    if (auto failure = takeInjectedFailure()) return *failure;
    std::vector<Item> items;
    if (Status s = load(items); s != kSuccess) return s;
    std::vector<Item> found;
    for (auto& item : items) {
        if (matches(query, item)) found.push_back(std::move(item));
    }
    if (found.empty()) return kItemNotFound;
    if (result) *result = std::move(found);
    return kSuccess;
}

Keychain::Status Keychain::remove(const Query& query) {
    std::lock_guard lock(storeMutex());
    if (auto failure = takeInjectedFailure()) return *failure;
    std::vector<Item> items;
    if (Status s = load(items); s != kSuccess) return s;
    auto removed = std::erase_if(items, [&](const Item& item) { return matches(query, item); });
    if (removed == 0) return kItemNotFound;
    return save(items);
}

std::optional<std::string> Keychain::passwordForServiceAccount(const std::string& service, const std::string& account) {
    Item item;
    if (find(Query{service, account, std::nullopt}, &item) != kSuccess || !item.value) return std::nullopt;
    return std::string(item.value->begin(), item.value->end());
}

Keychain::Status Keychain::setPasswordForServiceAccount(const std::string& password, const std::string& service,
                                                        const std::string& account) {
    Data value(password.begin(), password.end());
    Status s = update(Query{service, account, std::nullopt}, value);
    if (s != kItemNotFound) return s;
    return add(Item{service, account, service, value, {}, {}});
}

}  // namespace clipora::platform
