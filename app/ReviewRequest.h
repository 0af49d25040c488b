#pragma once

namespace clipora {

// Decides when to ask the user to rate the application and shows the
// question. Its state is four values in the standard user defaults; "now" is
// the process clock's.
class ReviewRequest {
public:
    static constexpr const char* kDontAskKey = "ReviewRequestDontAsk";
    static constexpr const char* kReviewedForVersionKey = "ReviewRequestReviewedForVersion";
    static constexpr const char* kNextTimeToAskKey = "ReviewRequestNextTimeToAsk";
    static constexpr const char* kSessionCountKey = "ReviewRequestSessionCountSinceLastAsked";
    // A fresh installation waits 46 hours; "Remind me later" 23 hours.
    static constexpr double kFirstDelay = 165600;
    static constexpr double kRemindDelay = 82800;
    // Launches counted beyond this many are the ones that ask.
    static constexpr long long kLaunchesBeforeAsking = 11;

    ReviewRequest() = delete;

    // Eligible now. The first call ever only sets the time to ask (46 hours
    // ahead) and answers false.
    static bool shouldAskForReview();
    // Eligible, and counts the launch: true only past the twelfth eligible
    // launch since the last answer.
    static bool shouldAskForReviewAtLaunch();
    // Shows the prompt at once.
    static void askForReview();
};

}  // namespace clipora
