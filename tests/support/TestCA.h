#pragma once

#include <optional>
#include <string>

#include "tools/loopback/TestCA.h"

namespace clipora::test {

// The loopback library's certificate authority (shared with the stand-in),
// which the HTTP core trusts from trust() until untrust() or destruction.
// Trust goes through the platform (TLSTrust::setExtraCAFile), never through
// the environment: a connection left open by an earlier test may configure
// its context on the I/O thread at any moment.
class TestCA : public loopback::TestCA {
public:
    using loopback::TestCA::TestCA;
    ~TestCA();

    // Connections configured from now on also trust caFile().
    void trust();
    // The CA file trusted before trust() comes back.
    void untrust();

private:
    bool trusted_ = false;
    std::optional<std::string> previousCAFile_;
};

}  // namespace clipora::test
