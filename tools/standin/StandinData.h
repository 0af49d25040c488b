#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/standin/StandinHosts.h"

namespace clipora::standin {

using Json = nlohmann::ordered_json;

// The stand-in's data set: the tables FQL queries and graph paths read
// (users, friends, pages, groups, videos, albums, photos, tags, comments,
// likes, posts), the accounts that can sign in, the access tokens, and the
// files uploaded. Loaded from a JSON file (tools/standin/data.json) and
// changed by the posting and upload calls. Safe from any thread.
//
// With a state file (setStateFile) what one life of the stand-in issued
// outlives it: the tokens, the browser sessions, the tables as the posting
// calls left them and the uploaded files are written to that file after
// every change (atomically, readable by its owner only) and read back by
// the next stand-in, so a client that kept a token is still signed in.
class StandinData {
public:
    struct Token {
        std::string accessToken;
        std::string uid;       // the user the token speaks for, or
        std::string pageId;    // the page (a page's own token)
        double expiresAt = 0;  // seconds since 1970; 0: never
    };
    enum class TokenCheck { Valid, Missing, Unknown, Expired };
    struct UploadedFile {
        std::string contentType;
        std::string data;
    };

    explicit StandinData(StandinHosts hosts);

    // Replaces the data with that of the file / text. Throws
    // std::runtime_error for a file that cannot be read or is not a data set.
    void load(const std::filesystem::path& file);
    void loadText(const std::string& text);

    // Takes in what an earlier life left in `file` and keeps it there from
    // now on. Tokens and sessions are always taken; the tables, files and
    // ids only when the file was written for the same data set and host
    // names (else the data set as loaded stands). A missing file is an empty
    // state; a damaged one too, with a log line, and is replaced at the next
    // change. Call after load().
    void setStateFile(const std::filesystem::path& file);
    std::filesystem::path stateFile() const;

    // Seconds since 1970 by the platform clock (which tests may set).
    static double now();

    std::string meUid() const;
    // A copy of every table (name -> array of rows).
    Json tables() const;
    Json table(const std::string& name) const;
    // The first row of the table whose field equals the value (compared as
    // text, so 100001 matches "100001").
    std::optional<Json> findRow(const std::string& table, const std::string& field, const std::string& value) const;
    void insertRow(const std::string& table, Json row);
    // Removes the rows for which `match` holds; answers how many.
    std::size_t removeRows(const std::string& table, const std::function<bool(const Json&)>& match);
    // Changes the rows for which `match` holds; answers how many.
    std::size_t updateRows(const std::string& table, const std::function<bool(const Json&)>& match,
                           const std::function<void(Json&)>& change);
    // A fresh numeric id, as text.
    std::string newId();

    // --- Tokens ---
    TokenCheck checkToken(const std::string& accessToken, Token* token = nullptr) const;
    // A new token for a user (or a page, with `pageId`); `lifetime` seconds
    // (nullopt: the current token lifetime; 0: never expires).
    std::string issueToken(const std::string& uid, std::optional<double> lifetime = std::nullopt,
                           const std::string& pageId = {});
    void revokeToken(const std::string& accessToken);
    void revokeAllTokens();
    // The lifetime given to new tokens ("expires_in"); 0: they never expire.
    double tokenLifetime() const;
    void setTokenLifetime(double seconds);
    // The token a page's administrator gets for it in "me/accounts".
    std::string pageToken(const std::string& pageId) const;

    // --- Sign-in ---
    std::optional<std::string> checkLogin(const std::string& email, const std::string& password) const;
    // A new browser session for the user: the secret of its "xs" cookie.
    std::string openSession(const std::string& uid);
    // The user of a session whose cookies are these, if it is open.
    std::optional<std::string> sessionUser(const std::string& cUser, const std::string& xs) const;
    void closeAllSessions();

    // --- The maker's remote lists (the "maker" object of the data set) ---
    // "versions": version text -> array of note texts; "news": the content
    // list ("ShowAds", "News", "FullApp", ...). An empty object when the data
    // set has none.
    Json makerList(const std::string& name) const;
    // Replaces one list (a test announces a new version this way).
    void setMakerList(const std::string& name, Json list);

    // --- Uploaded files, served back under /files/uploads/<name> ---
    void storeFile(const std::string& name, UploadedFile file);
    std::optional<UploadedFile> file(const std::string& name) const;

    const StandinHosts& hosts() const { return hosts_; }

private:
    void expand(Json& value, double loadTime) const;
    // The state as written to the state file; under mutex_.
    Json stateLocked() const;
    // Applies a state read back; false (nothing applied) when it is not one.
    bool applyState(const Json& state, std::string& problem);
    // Writes the state file when there is one.
    void saveState();
    std::string randomHex(std::size_t bytes);

    StandinHosts hosts_;
    mutable std::mutex mutex_;
    Json tables_ = Json::object();
    std::string me_;
    std::vector<std::pair<std::string, std::pair<std::string, std::string>>> logins_;  // email -> (password, uid)
    std::map<std::string, Token> tokens_;
    std::map<std::string, std::string> sessions_;  // xs -> uid
    std::map<std::string, UploadedFile> files_;
    Json maker_ = Json::object();
    double tokenLifetime_ = 60.0 * 86400;
    std::uint64_t nextId_ = 900001;
    std::mt19937_64 random_;
    // Tells the data set (and the host names it was expanded with) that a
    // state file's tables belong to.
    std::string dataSetDigest_;
    std::filesystem::path stateFile_;
    // Held from taking the snapshot to its write, so a later snapshot is
    // never overwritten by an earlier one. Taken before mutex_.
    std::mutex saveMutex_;
};

}  // namespace clipora::standin
