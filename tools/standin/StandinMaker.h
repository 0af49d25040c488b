#pragma once

#include "tools/standin/StandinData.h"
#include "tools/standin/StandinReply.h"
#include "tools/standin/StandinRequest.h"

namespace clipora::standin {

// The application maker's file host: the update checker's versions list
// ("/Versions.plist") and the content checker's news list ("/Updates.plist"),
// both XML property lists made from the "maker" object of the data set.
class StandinMaker {
public:
    static constexpr const char* kVersionsPath = "/Versions.plist";
    static constexpr const char* kNewsPath = "/Updates.plist";

    explicit StandinMaker(StandinData& data) : data_(data) {}

    StandinReply handle(const StandinRequest& request);

private:
    StandinData& data_;
};

}  // namespace clipora::standin
