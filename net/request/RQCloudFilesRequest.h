#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/request/RQCloudFilesContainer.h"
#include "net/request/RQHTTPRequest.h"
#include "net/request/RQLockedProperty.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"

namespace clipora {

class RQCloudFilesContainerXMLParserDelegate;

// A request to the cloud-files storage service. The account signs in once
// with a user name and an API key (authenticate); the answer gives the token
// every later request carries ("X-Auth-Token") and the two endpoints: the
// storage URL (account, containers, objects) and the CDN-management URL
// (publishing containers). The subclasses' class operations only build
// requests; callers start them like any request and read the results from
// the finished request. As with every request of the engine, a 4xx or 5xx
// answer finishes the request: callers read responseStatusCode().
//
// Container names, object paths and every query value are percent-escaped
// (a "/" inside an object path stays a separator), so no name can end the
// path, start a query or add a parameter. A name with a "." or ".." segment,
// or metadata that cannot travel as a header, fails the request before it is
// sent, with an error (code 5) naming the segment or entry.
class RQCloudFilesRequest : public RQHTTPRequest {
public:
    // The authentication endpoint is "https://<host>/v1.0"; the host is
    // configuration.
    static constexpr const char* kDefaultAuthenticationHost = "auth.files.test";

    using RQHTTPRequest::RQHTTPRequest;

    // --- Class-wide credentials and endpoints (safe from any thread) ---
    static void setUsername(std::optional<std::string> username);
    static std::optional<std::string> username();
    static void setApiKey(std::optional<std::string> apiKey);
    static std::optional<std::string> apiKey();
    static std::optional<std::string> authToken();
    static std::optional<std::string> storageURL();
    static std::optional<std::string> cdnManagementURL();
    static void setAuthenticationHost(std::string host);
    static std::string authenticationHost();

    // A GET of the authentication endpoint with the user name and API key.
    static std::shared_ptr<RQHTTPRequest> authenticationRequest();
    // Runs the authentication request on the calling thread and keeps the
    // token and the two endpoints it answers. Request building elsewhere
    // waits meanwhile. On failure (the exchange failed, or the service
    // refused the credentials or left out the token or the storage URL) the
    // token and endpoints stay as they were and the error is returned.
    static std::optional<platform::Error> authenticate();

    // The dates of object listings ("2012-06-01T12:00:00.123456", UTC).
    std::optional<platform::Date> dateFromString(const std::string& text) const;

    // The container and the account the request is about (object and CDN
    // requests); the account name is not sent.
    std::string containerName() const { return containerName_.get(); }
    void setContainerName(std::string name) { containerName_.set(std::move(name)); }
    std::string accountName() const { return accountName_.get(); }
    void setAccountName(std::string name) { accountName_.set(std::move(name)); }

    // For tests: forgets the credentials, token and endpoints and restores
    // the default authentication host.
    static void resetClassStateForTesting();

protected:
    // A request of class `Request` for `address` with the method and the
    // token.
    template <class Request>
    static std::shared_ptr<Request> requestWithMethodAddress(const std::string& method, const std::string& address) {
        auto request = std::make_shared<Request>(platform::URL::fromString(address));
        request->setRequestMethod(method);
        if (auto token = authToken()) request->addRequestHeaderValue("X-Auth-Token", *token);
        return request;
    }
    // "<base>/<container>[/<object path>]", each part escaped.
    static std::string addressInContainer(const std::string& base, const std::string& container,
                                          const std::optional<std::string>& objectPath = std::nullopt);
    // Why a container name or object path may not be sent: a segment "." or
    // "..", which a server or proxy that normalises paths would resolve to
    // another container or object. std::nullopt when it may.
    static std::optional<platform::Error> refusalOfPath(const std::string& container,
                                                        const std::optional<std::string>& objectPath = std::nullopt);
    // Makes the request fail when it is started, before anything is sent,
    // with `reason` (the first reason given is kept). For what the class
    // operations cannot send as asked: sending it otherwise would act on
    // something else or lose part of what was asked.
    void refuseBeforeSending(std::optional<platform::Error> reason);
    void buildRequestHeaders() override;
    // "&<name>=<value>" with the value escaped.
    static std::string queryParameter(const std::string& name, const std::string& value);
    // A listing's query: "?format=xml", then the limit (when not 0) and the
    // marker (when not empty).
    static std::string listingQuery(std::uint32_t limit, const std::string& marker);
    // A response header read as an integer (0 when absent).
    std::uint64_t responseHeaderInteger(const std::string& name) const;
    // The container records of a listing reply, parsed once.
    std::vector<RQCloudFilesContainer> containersFromResponse();
    std::shared_ptr<RQHTTPRequest> makeRequestOfSameClass(std::optional<platform::URL> url) const override;
    virtual std::shared_ptr<RQCloudFilesRequest> makeEmpty(std::optional<platform::URL> url) const;

private:
    RQLockedProperty<std::string> containerName_{propertyMutex()};
    RQLockedProperty<std::string> accountName_{propertyMutex()};
    RQLockedProperty<std::optional<platform::Error>> refusal_{propertyMutex()};
    std::mutex parseMutex_;
    std::shared_ptr<RQCloudFilesContainerXMLParserDelegate> xmlParserDelegate_;
};

}  // namespace clipora
