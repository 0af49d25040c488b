#include "tests/support/TestCA.h"

#include <utility>

#include "platform/cfnetwork/TLSTrust.h"

namespace clipora::test {

TestCA::~TestCA() { untrust(); }

void TestCA::trust() {
    if (trusted_) return;
    previousCAFile_ = platform::TLSTrust::setExtraCAFile(caFile().string());
    trusted_ = true;
}

void TestCA::untrust() {
    if (!trusted_) return;
    platform::TLSTrust::setExtraCAFile(std::exchange(previousCAFile_, std::nullopt));
    trusted_ = false;
}

}  // namespace clipora::test
