#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

// The photo service's application key and shared secret, the user's
// authentication token and the service's endpoints; signs argument lists.
class PSFlickrAPIContext {
public:
    using Arguments = std::map<std::string, std::string>;
    using Components = std::vector<std::pair<std::string, std::string>>;

    static constexpr const char* kDefaultRESTAPIEndpoint = "https://api.flickr.com/services/rest/";
    static constexpr const char* kDefaultPhotoSource = "https://static.flickr.com/";
    static constexpr const char* kDefaultPhotoWebPageSource = "https://www.flickr.com/photos/";
    static constexpr const char* kDefaultAuthEndpoint = "https://www.flickr.com/services/auth/";
    static constexpr const char* kDefaultUploadEndpoint = "https://api.flickr.com/services/upload/";

    PSFlickrAPIContext(std::string key, std::string sharedSecret);

    const std::string& key() const { return key_; }
    const std::string& sharedSecret() const { return sharedSecret_; }
    const std::string& authToken() const { return authToken_; }
    void setAuthToken(std::string token) { authToken_ = std::move(token); }

    const std::string& RESTAPIEndpoint() const { return RESTAPIEndpoint_; }
    void setRESTAPIEndpoint(std::string endpoint) { RESTAPIEndpoint_ = std::move(endpoint); }
    const std::string& photoSource() const { return photoSource_; }
    // Only an "http://" or "https://" address is taken.
    void setPhotoSource(const std::string& source);
    const std::string& photoWebPageSource() const { return photoWebPageSource_; }
    void setPhotoWebPageSource(const std::string& source);
    const std::string& authEndpoint() const { return authEndpoint_; }
    void setAuthEndpoint(std::string endpoint) { authEndpoint_ = std::move(endpoint); }
    const std::string& uploadEndpoint() const { return uploadEndpoint_; }
    void setUploadEndpoint(std::string endpoint) { uploadEndpoint_ = std::move(endpoint); }

    // A photo's image address: the photo source's scheme, "farm<n>." before
    // its host when the photo has a farm, then "<server>/<id>_<secret>" and
    // "_<size>.jpg" (or ".jpg").
    std::optional<platform::URL> photoSourceURLFromDictionarySize(const platform::Value& photo,
                                                                  const std::optional<std::string>& size) const;
    std::optional<platform::URL> photoWebPageURLFromDictionary(const platform::Value& photo) const;
    // The login page, with the frob of the reply (if any) and the permission.
    std::optional<platform::URL> loginURLFromFrobDictionaryRequestedPermission(const platform::Value& frobReply,
                                                                               const std::string& permission) const;

    // The arguments with "api_key" and "auth_token" added (when set) in
    // ascending name order, the values escaped when asked, and "api_sig"
    // (MD5 of the secret and every unescaped name and value) last.
    Components signedArgumentComponentsFromArgumentsUseURIEscape(const Arguments& arguments, bool escape) const;
    std::string signedQueryFromArguments(const Arguments& arguments) const;

private:
    std::string key_;
    std::string sharedSecret_;
    std::string authToken_;
    std::string RESTAPIEndpoint_ = kDefaultRESTAPIEndpoint;
    std::string photoSource_ = kDefaultPhotoSource;
    std::string photoWebPageSource_ = kDefaultPhotoWebPageSource;
    std::string authEndpoint_ = kDefaultAuthEndpoint;
    std::string uploadEndpoint_ = kDefaultUploadEndpoint;
};

}  // namespace clipora
