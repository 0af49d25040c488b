#include "share/Core/Helpers/OAuth/OADataFetcher.h"

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "share/Core/Helpers/OAuth/OAMutableURLRequest.h"

namespace clipora {

void OADataFetcher::fetchDataWithRequestDelegateDidFinishSelectorDidFailSelector(
    const std::shared_ptr<OAMutableURLRequest>& request, const OAAsynchronousDataFetcher::FinishSelector& didFinish,
    const OAAsynchronousDataFetcher::FailSelector& didFail) {
    request->prepare();
    std::shared_ptr<platform::HTTPURLResponse> response;
    std::optional<platform::Error> error;
    auto data = platform::URLConnection::sendSynchronousRequest(*request, &response, &error);
    if (response && data && !error) {
        if (didFinish) didFinish(OAServiceTicket(request, response, data, response->statusCode() < 400), *data);
    } else if (didFail) {
        didFail(OAServiceTicket(request, response, std::nullopt, false), error);
    }
}

}  // namespace clipora
