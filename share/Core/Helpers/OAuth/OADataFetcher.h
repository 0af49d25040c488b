#pragma once

#include <memory>

#include "share/Core/Helpers/OAuth/OAAsynchronousDataFetcher.h"

namespace clipora {

class OAMutableURLRequest;

// The same contract as OAAsynchronousDataFetcher, on the calling thread:
// signs, sends, waits, then calls the finish or the failure operation.
class OADataFetcher {
public:
    OADataFetcher() = delete;

    static void fetchDataWithRequestDelegateDidFinishSelectorDidFailSelector(
        const std::shared_ptr<OAMutableURLRequest>& request, const OAAsynchronousDataFetcher::FinishSelector& didFinish,
        const OAAsynchronousDataFetcher::FailSelector& didFail);
};

}  // namespace clipora
