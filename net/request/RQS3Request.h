#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/request/RQHTTPRequest.h"
#include "net/request/RQLockedProperty.h"
#include "net/request/RQXMLReplyReader.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/XMLParser.h"

namespace clipora {

// A request to the S3-style storage service, signed with its "AWS" scheme
// (signature version 2: HMAC-SHA1 of method, content type, date, the
// "x-amz-" headers and the resource). Subclasses build their URL when they
// are sent. XML replies are read when they finish: an error document fails
// the request with code 2 and the service's message, an unreadable reply
// with code 1; the service's "RequestTimeout" sends the request once more on
// a new connection. Only error replies and the documents a request asks for
// are read: the body of a stored object is the user's data, whatever its
// type says.
//
// Requests go over https unless the caller picks "http" (setRequestScheme):
// the signature covers no body digest, so only the transport protects what
// is stored.
class RQS3Request : public RQHTTPRequest, public RQXMLReplyReader {
public:
    static constexpr int kReplyUnreadable = 1;
    static constexpr int kServiceError = 2;
    // The service's own host; buckets are addressed as "<bucket>.<host>".
    static constexpr const char* kDefaultHost = "s3.storage.test";

    // The request, persistent connections kept 20 seconds.
    explicit RQS3Request(std::optional<platform::URL> url);

    // Keys used by requests without keys of their own.
    static void setSharedAccessKey(std::optional<std::string> key);
    static std::optional<std::string> sharedAccessKey();
    static void setSharedSecretAccessKey(std::optional<std::string> key);
    static std::optional<std::string> sharedSecretAccessKey();
    // The service's host (configuration).
    static std::string S3Host();
    static void setS3Host(std::string host);

    std::string accessKey() const { return accessKey_.get(); }
    void setAccessKey(std::string key) { accessKey_.set(std::move(key)); }
    std::string secretAccessKey() const { return secretAccessKey_.get(); }
    void setSecretAccessKey(std::string key) { secretAccessKey_.set(std::move(key)); }
    std::string requestScheme() const { return requestScheme_.get(); }
    void setRequestScheme(std::string scheme) { requestScheme_.set(std::move(scheme)); }
    std::string dateString() const { return dateString_.get(); }
    void setDateString(std::string date) { dateString_.set(std::move(date)); }
    // The "Date" header for the date.
    void setDate(platform::Date date);
    std::string accessPolicy() const { return accessPolicy_.get(); }
    void setAccessPolicy(std::string policy) { accessPolicy_.set(std::move(policy)); }

    // Signature pieces.
    // Builds the URL; a request whose URL cannot be built stays without one
    // and fails with "Unable to create request (bad url?)".
    virtual void buildURL() {}
    virtual std::string canonicalizedResource() const { return "/"; }
    // The "x-amz-" headers to send and sign, by name as sent.
    virtual std::map<std::string, std::string> S3Headers() const;
    virtual std::string stringToSignForHeadersResource(const std::string& headers, const std::string& resource);
    static platform::Data HMACSHA1withKeyForString(const std::string& key, const std::string& text);
    // The path with every character but letters, digits, "-", "." and "_"
    // escaped, "/" kept, and a leading "/": "/" for none.
    static std::string stringByURLEncodingForS3Path(const std::optional<std::string>& path);

    void main() override;
    void buildRequestHeaders() override;

    // --- Reading replies ---
    void parserParseErrorOccurred(platform::XMLParser& parser, const platform::Error& error) override;

protected:
    void requestFinished() override;
    void parseResponseXML();
    // Whether a successful reply is the service's own document (a listing,
    // an access list, a copy's result) rather than stored data. Error
    // replies are always read as documents.
    virtual bool successReplyIsDocument() const { return true; }
    std::shared_ptr<RQHTTPRequest> makeRequestOfSameClass(std::optional<platform::URL> url) const override;
    // Gives a new request of the same class this request's own settings.
    virtual void copyS3SettingsTo(RQS3Request& other) const;
    virtual std::shared_ptr<RQS3Request> makeEmpty(std::optional<platform::URL> url) const;
    // The error document's "Code" and "Message"; subclasses read their own
    // elements first and hand the others on.
    void elementEnded(platform::XMLParser& parser, const std::string& name) override;
    // "<scheme>://<bucket>.<host>", or nothing when the bucket's name is
    // empty or holds a character other than letters, digits, ".", "-" and
    // "_": spliced into the address, a "/", "@", "?" or "#" would send the
    // signed request to another host.
    std::optional<std::string> bucketAddress(const std::string& bucket) const;
    // Parses a date of the replies ("2012-06-01T12:00:00.000Z").
    static std::optional<platform::Date> dateFromReplyString(const std::string& text);

private:
    RQLockedProperty<std::string> accessKey_{propertyMutex()};
    RQLockedProperty<std::string> secretAccessKey_{propertyMutex()};
    RQLockedProperty<std::string> requestScheme_{propertyMutex(), "https"};
    RQLockedProperty<std::string> dateString_{propertyMutex()};
    RQLockedProperty<std::string> accessPolicy_{propertyMutex()};
};

}  // namespace clipora
