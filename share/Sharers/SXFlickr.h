#pragma once

#include <memory>
#include <optional>
#include <string>

#include "share/Core/SXSharer.h"
#include "share/Sharers/photo/PSFlickrAPIRequestDelegate.h"
#include "share/UI/SXOAuthViewDelegate.h"

namespace clipora {

class PSFlickrAPIContext;
class PSFlickrAPIRequest;

// Shares a picture to the photo service: web login in the framework's web
// view, the returned frob exchanged for a token kept in the keychain, a
// token check that learns the user name, then the upload with title,
// description, tags and the three privacy switches.
class SXFlickr : public SXSharer, public PSFlickrAPIRequestDelegate, public SXOAuthViewDelegate {
public:
    static constexpr const char* kAuthTokenKey = "FlickrAuthToken";
    static constexpr const char* kGetAuthTokenStep = "kGetAuthTokenStep";
    static constexpr const char* kCheckTokenStep = "kCheckTokenStep";
    static constexpr const char* kUploadImageStep = "kUploadImageStep";
    static constexpr double kRequestTimeout = 60;
    // Configuration keys of the service's endpoints (the service's own
    // addresses when not set).
    static constexpr const char* kRESTAPIEndpointKey = "flickrRESTAPIEndpoint";
    static constexpr const char* kUploadEndpointKey = "flickrUploadEndpoint";
    static constexpr const char* kAuthEndpointKey = "flickrAuthEndpoint";

    std::string sharerTitle() const override { return "Flickr"; }
    std::string sharerId() const override { return "SXFlickr"; }
    bool canShareImage() const override { return true; }
    bool canShare() const override { return true; }
    bool isAuthorized() override;
    void logout() override;

    void authorizationFormShow() override;
    std::vector<std::shared_ptr<SXFormFieldSettings>> shareFormFieldsForType(int type) override;
    bool send() override;
    void sendPhoto();
    // A non-empty token is used and kept; none logs out.
    void setAndStoreFlickrAuthToken(const std::optional<std::string>& token);

    const std::shared_ptr<PSFlickrAPIContext>& flickrContext();
    const std::shared_ptr<PSFlickrAPIRequest>& flickrRequest();
    const std::optional<std::string>& flickrUserName() const { return flickrUserName_; }

    void flickrAPIRequestDidCompleteWithResponse(PSFlickrAPIRequest& request, const platform::Value& response) override;
    void flickrAPIRequestDidFailWithError(PSFlickrAPIRequest& request, const platform::Error& error) override;

    void tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(const std::shared_ptr<SXOAuthView>& view, bool success,
                                                                const std::optional<QueryParams>& queryParams,
                                                                const std::optional<platform::Error>& error) override;
    void tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>& view) override;
    std::optional<platform::URL> authorizeCallbackURL() const override;

private:
    std::string step() const;
    bool call(const char* method, const char* step, const std::optional<std::map<std::string, std::string>>& arguments);

    std::shared_ptr<PSFlickrAPIContext> flickrContext_;
    std::shared_ptr<PSFlickrAPIRequest> flickrRequest_;
    std::optional<std::string> flickrUserName_;
};

}  // namespace clipora
