#include "tools/standin/StandinData.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "platform/foundation/Base64.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "tools/standin/StandinJson.h"

namespace clipora::standin {

namespace {

// The text form of a scalar: numbers in plain digits, strings as they are.
std::string textOf(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer() || value.is_number_unsigned() || value.is_number_float()) return value.dump();
    if (value.is_boolean()) return value.get<bool>() ? "1" : "0";
    return {};
}

constexpr int kStateVersion = 1;

}  // namespace

StandinData::StandinData(StandinHosts hosts) : hosts_(std::move(hosts)), random_(std::random_device{}()) {}

double StandinData::now() { return platform::Date::now().timeIntervalSince1970(); }

void StandinData::load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("stand-in: cannot read the data set " + file.string());
    std::stringstream text;
    text << in.rdbuf();
    loadText(text.str());
}

void StandinData::loadText(const std::string& text) {
    Json root = StandinJson::parse(text);
    if (root.is_discarded() || !root.is_object() || !root.contains("tables") || !root["tables"].is_object()) {
        throw std::runtime_error("stand-in: the data set is not a JSON object with \"tables\"");
    }
    std::string digestInput = text;
    // The maker's host is in no table: state files written before it was
    // played still belong to the same data set.
    for (StandinHost role : StandinHosts::kAll)
        if (role != StandinHost::Maker) digestInput += "\n" + hosts_.baseURL(role);
    const platform::Data digest = platform::Digest::sha1(digestInput);
    double loadTime = now();
    expand(root, loadTime);
    for (auto& [name, rows] : root["tables"].items()) {
        if (!rows.is_array()) throw std::runtime_error("stand-in: table " + name + " is not an array");
        for (const auto& row : rows) {
            if (!row.is_object())
                throw std::runtime_error("stand-in: table " + name + " has a row that is not an object");
        }
    }

    std::lock_guard lock(mutex_);
    tables_ = root["tables"];
    me_ = root.contains("me") ? textOf(root["me"]) : std::string();
    logins_.clear();
    if (root.contains("logins") && root["logins"].is_array()) {
        for (const auto& login : root["logins"]) {
            if (!login.is_object()) continue;
            logins_.push_back({textOf(login.value("email", Json())),
                               {textOf(login.value("password", Json())), textOf(login.value("uid", Json()))}});
        }
    }
    tokens_.clear();
    if (root.contains("tokens") && root["tokens"].is_array()) {
        for (const auto& entry : root["tokens"]) {
            if (!entry.is_object()) continue;
            Token token;
            token.accessToken = textOf(entry.value("access_token", Json()));
            token.uid = textOf(entry.value("uid", Json()));
            token.pageId = textOf(entry.value("page_id", Json()));
            if (entry.contains("expires_at") && entry["expires_at"].is_number()) {
                token.expiresAt = entry["expires_at"].get<double>();
            }
            if (!token.accessToken.empty()) tokens_[token.accessToken] = token;
        }
    }
    sessions_.clear();
    files_.clear();
    maker_ = root.contains("maker") && root["maker"].is_object() ? root["maker"] : Json::object();
    dataSetDigest_ = platform::Digest::hex(digest);
}

void StandinData::setStateFile(const std::filesystem::path& file) {
    std::lock_guard saving(saveMutex_);
    {
        std::lock_guard lock(mutex_);
        stateFile_ = file;
    }
    if (file.empty()) return;
    std::error_code code;
    if (!std::filesystem::exists(file, code)) return;
    std::string problem;
    std::optional<platform::Error> error;
    if (auto bytes = platform::FileManager::contentsOfFile(file, &error)) {
        Json state = StandinJson::parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
        if (state.is_discarded()) {
            problem = "it is not JSON";
        } else {
            applyState(state, problem);
        }
    } else {
        problem = "it cannot be read";
    }
    if (!problem.empty())
        platform::Log::format("stand-in: the state file %@ is damaged (%@); starting without it", file.string(),
                              problem);
}

std::filesystem::path StandinData::stateFile() const {
    std::lock_guard lock(mutex_);
    return stateFile_;
}

bool StandinData::applyState(const Json& state, std::string& problem) {
    // Everything is checked before anything is taken, so a damaged file
    // leaves the data set as it was loaded.
    auto fail = [&problem](std::string why) {
        problem = std::move(why);
        return false;
    };
    if (!state.is_object()) return fail("not an object");
    if (state.value("version", Json()) != Json(kStateVersion)) return fail("unknown version");
    const Json& tokens = state.value("tokens", Json::array());
    const Json& sessions = state.value("sessions", Json::object());
    if (!tokens.is_array() || !sessions.is_object()) return fail("tokens or sessions of the wrong kind");
    std::map<std::string, Token> takenTokens;
    for (const auto& entry : tokens) {
        if (!entry.is_object() || !entry.value("access_token", Json()).is_string() ||
            !entry.value("uid", Json("")).is_string() || !entry.value("page_id", Json("")).is_string() ||
            !entry.value("expires_at", Json(0)).is_number())
            return fail("a token of the wrong kind");
        Token token;
        token.accessToken = entry["access_token"].get<std::string>();
        token.uid = entry.value("uid", std::string());
        token.pageId = entry.value("page_id", std::string());
        token.expiresAt = entry.value("expires_at", 0.0);
        if (token.accessToken.empty()) return fail("a token without text");
        takenTokens[token.accessToken] = token;
    }
    std::map<std::string, std::string> takenSessions;
    for (const auto& [xs, uid] : sessions.items()) {
        if (!uid.is_string()) return fail("a session of the wrong kind");
        takenSessions[xs] = uid.get<std::string>();
    }

    const bool sameDataSet = state.value("data_set", Json()) == Json(dataSetDigest_);
    Json tables;
    std::map<std::string, UploadedFile> takenFiles;
    std::uint64_t nextId = 0;
    if (sameDataSet) {
        tables = state.value("tables", Json());
        if (!tables.is_object()) return fail("no tables");
        for (const auto& [name, rows] : tables.items()) {
            if (!rows.is_array()) return fail("table " + name + " is not an array");
            for (const auto& row : rows)
                if (!row.is_object()) return fail("table " + name + " has a row that is not an object");
        }
        const Json& files = state.value("files", Json::object());
        if (!files.is_object()) return fail("files of the wrong kind");
        for (const auto& [name, entry] : files.items()) {
            if (!entry.is_object() || !entry.value("content_type", Json()).is_string() ||
                !entry.value("data", Json()).is_string())
                return fail("file " + name + " of the wrong kind");
            auto bytes = platform::Base64::decode(entry["data"].get<std::string>());
            if (!bytes) return fail("file " + name + " is not Base64");
            takenFiles[name] = {entry["content_type"].get<std::string>(), std::string(bytes->begin(), bytes->end())};
        }
        const Json& id = state.value("next_id", Json());
        if (!id.is_number_unsigned()) return fail("no next id");
        nextId = id.get<std::uint64_t>();
    }

    std::lock_guard lock(mutex_);
    for (auto& [text, token] : takenTokens) tokens_[text] = std::move(token);
    for (auto& [xs, uid] : takenSessions) sessions_[xs] = std::move(uid);
    if (sameDataSet) {
        tables_ = std::move(tables);
        files_ = std::move(takenFiles);
        nextId_ = std::max(nextId_, nextId);
    } else if (state.contains("tables")) {
        platform::Log::write("stand-in: the data set changed since the state file was written; its posts are dropped");
    }
    return true;
}

Json StandinData::stateLocked() const {
    Json state = Json::object();
    state["version"] = kStateVersion;
    state["data_set"] = dataSetDigest_;
    Json tokens = Json::array();
    for (const auto& [text, token] : tokens_) {
        tokens.push_back({{"access_token", token.accessToken},
                          {"uid", token.uid},
                          {"page_id", token.pageId},
                          {"expires_at", token.expiresAt}});
    }
    state["tokens"] = std::move(tokens);
    Json sessions = Json::object();
    for (const auto& [xs, uid] : sessions_) sessions[xs] = uid;
    state["sessions"] = std::move(sessions);
    state["tables"] = tables_;
    Json files = Json::object();
    for (const auto& [name, file] : files_)
        files[name] = {{"content_type", file.contentType}, {"data", platform::Base64::encode(file.data)}};
    state["files"] = std::move(files);
    state["next_id"] = nextId_;
    return state;
}

void StandinData::saveState() {
    std::lock_guard saving(saveMutex_);
    std::string text;
    std::filesystem::path file;
    {
        std::lock_guard lock(mutex_);
        if (stateFile_.empty()) return;
        file = stateFile_;
        text = stateLocked().dump();
    }
    std::error_code code;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), code);
    std::optional<platform::Error> error;
    if (!platform::FileManager::writePrivateData(file, platform::Data(text.begin(), text.end()), &error))
        platform::Log::format("stand-in: cannot write the state file %@: %@", file.string(),
                              error ? error->localizedDescription() : std::string());
}

void StandinData::expand(Json& value, double loadTime) const {
    if (value.is_object() || value.is_array()) {
        for (auto& child : value) expand(child, loadTime);
        return;
    }
    if (!value.is_string()) return;
    std::string text = value.get<std::string>();
    if (text == "now" || ((text.rfind("now-", 0) == 0 || text.rfind("now+", 0) == 0) && text.size() > 4 &&
                          text.find_first_not_of("0123456789", 4) == std::string::npos)) {
        std::int64_t offset = text.size() > 4 ? std::stoll(text.substr(4)) : 0;
        if (text[3] == '-') offset = -offset;
        value = static_cast<std::int64_t>(loadTime) + offset;
        return;
    }
    for (StandinHost role : StandinHosts::kAll) {
        std::string key = "{" + std::string(StandinHosts::label(role)) + "}";
        std::string base = hosts_.baseURL(role);
        base.pop_back();  // no final slash
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + base.size())) {
            text.replace(at, key.size(), base);
        }
    }
    value = text;
}

std::string StandinData::meUid() const {
    std::lock_guard lock(mutex_);
    return me_;
}

Json StandinData::tables() const {
    std::lock_guard lock(mutex_);
    return tables_;
}

Json StandinData::table(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = tables_.find(name);
    return it == tables_.end() ? Json::array() : *it;
}

std::optional<Json> StandinData::findRow(const std::string& table, const std::string& field,
                                         const std::string& value) const {
    std::lock_guard lock(mutex_);
    auto it = tables_.find(table);
    if (it == tables_.end()) return std::nullopt;
    for (const auto& row : *it) {
        auto cell = row.find(field);
        if (cell != row.end() && !cell->is_null() && textOf(*cell) == value) return row;
    }
    return std::nullopt;
}

void StandinData::insertRow(const std::string& table, Json row) {
    {
        std::lock_guard lock(mutex_);
        Json& rows = tables_[table];
        if (!rows.is_array()) rows = Json::array();
        rows.push_back(std::move(row));
    }
    saveState();
}

std::size_t StandinData::removeRows(const std::string& table, const std::function<bool(const Json&)>& match) {
    std::size_t removed = 0;
    {
        std::lock_guard lock(mutex_);
        auto it = tables_.find(table);
        if (it == tables_.end()) return 0;
        Json kept = Json::array();
        for (auto& row : *it) {
            if (match(row)) {
                ++removed;
            } else {
                kept.push_back(std::move(row));
            }
        }
        *it = std::move(kept);
    }
    if (removed > 0) saveState();
    return removed;
}

std::size_t StandinData::updateRows(const std::string& table, const std::function<bool(const Json&)>& match,
                                    const std::function<void(Json&)>& change) {
    std::size_t changed = 0;
    {
        std::lock_guard lock(mutex_);
        auto it = tables_.find(table);
        if (it == tables_.end()) return 0;
        for (auto& row : *it) {
            if (match(row)) {
                change(row);
                ++changed;
            }
        }
    }
    if (changed > 0) saveState();
    return changed;
}

std::string StandinData::newId() {
    std::string id;
    {
        std::lock_guard lock(mutex_);
        id = std::to_string(nextId_++);
    }
    saveState();
    return id;
}

StandinData::TokenCheck StandinData::checkToken(const std::string& accessToken, Token* token) const {
    if (accessToken.empty()) return TokenCheck::Missing;
    std::lock_guard lock(mutex_);
    auto it = tokens_.find(accessToken);
    if (it == tokens_.end()) return TokenCheck::Unknown;
    if (token) *token = it->second;
    if (it->second.expiresAt != 0 && it->second.expiresAt <= now()) return TokenCheck::Expired;
    return TokenCheck::Valid;
}

std::string StandinData::issueToken(const std::string& uid, std::optional<double> lifetime, const std::string& pageId) {
    Token token;
    {
        std::lock_guard lock(mutex_);
        double seconds = lifetime.value_or(tokenLifetime_);
        token.uid = uid;
        token.pageId = pageId;
        token.expiresAt = seconds == 0 ? 0 : now() + seconds;
        // The shape of the network's tokens: three pieces joined by "|", the
        // second naming the session.
        token.accessToken = "standin|2." + randomHex(8) + "-" + (pageId.empty() ? uid : pageId) + "|" + randomHex(10);
        tokens_[token.accessToken] = token;
    }
    saveState();
    return token.accessToken;
}

void StandinData::revokeToken(const std::string& accessToken) {
    {
        std::lock_guard lock(mutex_);
        tokens_.erase(accessToken);
    }
    saveState();
}

void StandinData::revokeAllTokens() {
    {
        std::lock_guard lock(mutex_);
        tokens_.clear();
    }
    saveState();
}

double StandinData::tokenLifetime() const {
    std::lock_guard lock(mutex_);
    return tokenLifetime_;
}

void StandinData::setTokenLifetime(double seconds) {
    std::lock_guard lock(mutex_);
    tokenLifetime_ = seconds;
}

std::string StandinData::pageToken(const std::string& pageId) const {
    std::lock_guard lock(mutex_);
    for (const auto& [text, token] : tokens_) {
        if (token.pageId == pageId && (token.expiresAt == 0 || token.expiresAt > now())) return text;
    }
    return {};
}

std::optional<std::string> StandinData::checkLogin(const std::string& email, const std::string& password) const {
    std::lock_guard lock(mutex_);
    for (const auto& [address, credentials] : logins_) {
        if (address == email && credentials.first == password) return credentials.second;
    }
    return std::nullopt;
}

Json StandinData::makerList(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = maker_.find(name);
    return it != maker_.end() && it->is_object() ? *it : Json::object();
}

void StandinData::setMakerList(const std::string& name, Json list) {
    std::lock_guard lock(mutex_);
    maker_[name] = std::move(list);
}

std::string StandinData::openSession(const std::string& uid) {
    std::string xs;
    {
        std::lock_guard lock(mutex_);
        xs = randomHex(16);
        sessions_[xs] = uid;
    }
    saveState();
    return xs;
}

std::optional<std::string> StandinData::sessionUser(const std::string& cUser, const std::string& xs) const {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(xs);
    if (it == sessions_.end() || it->second != cUser) return std::nullopt;
    return it->second;
}

void StandinData::closeAllSessions() {
    {
        std::lock_guard lock(mutex_);
        sessions_.clear();
    }
    saveState();
}

void StandinData::storeFile(const std::string& name, UploadedFile file) {
    {
        std::lock_guard lock(mutex_);
        files_[name] = std::move(file);
    }
    saveState();
}

std::optional<StandinData::UploadedFile> StandinData::file(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = files_.find(name);
    if (it == files_.end()) return std::nullopt;
    return it->second;
}

std::string StandinData::randomHex(std::size_t bytes) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i) {
        auto byte = static_cast<unsigned>(random_() & 0xFF);
        out += hex[byte >> 4];
        out += hex[byte & 15];
    }
    return out;
}

}  // namespace clipora::standin
