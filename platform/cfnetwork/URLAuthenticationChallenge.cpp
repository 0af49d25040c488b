#include "platform/cfnetwork/URLAuthenticationChallenge.h"

#include <utility>

namespace clipora::platform {

URLAuthenticationChallenge::URLAuthenticationChallenge(URLProtectionSpace protectionSpace,
                                                       std::optional<URLCredential> proposedCredential,
                                                       int previousFailureCount,
                                                       std::shared_ptr<HTTPURLResponse> failureResponse,
                                                       std::optional<Error> error,
                                                       std::shared_ptr<URLAuthenticationChallengeSender> sender)
    : protectionSpace_(std::move(protectionSpace)), proposedCredential_(std::move(proposedCredential)),
      previousFailureCount_(previousFailureCount), failureResponse_(std::move(failureResponse)),
      error_(std::move(error)), sender_(std::move(sender)) {}

}  // namespace clipora::platform
