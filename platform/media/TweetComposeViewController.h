#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

class Image;

// The system tweet sheet: initial text, links and pictures, and a completion
// handler told "done" or "cancelled". Nothing is posted: the sheet holds its
// tweet until a command ends it (send, cancel); sent tweets go to a
// process-wide record. The presenter dismisses the sheet.
class TweetComposeViewController : public ViewController {
public:
    enum Result : int {
        ResultCancelled = 0,
        ResultDone = 1,
    };
    // Longest initial text the sheet takes, in characters.
    static constexpr std::size_t kMaximumTextLength = 140;

    struct Tweet {
        std::string text;
        std::vector<std::string> urls;  // absolute strings
        std::size_t imageCount = 0;
    };

    // Whether the platform has the sheet at all (true unless a test plays an
    // older system without it).
    static bool isAvailable();
    static void setAvailable(bool available);
    // Whether an account is set up to tweet with (settable; true by default).
    static bool canSendTweet();
    static void setCanSendTweet(bool can);

    TweetComposeViewController();
    ~TweetComposeViewController() override;

    // False (and nothing changes) once the sheet is on screen, or when the
    // text is longer than kMaximumTextLength characters.
    bool setInitialText(std::string text);
    // False once the sheet is on screen, or for a null image.
    bool addImage(std::shared_ptr<Image> image);
    bool removeAllImages();
    bool addURL(const URL& url);
    bool removeAllURLs();
    const std::string& initialText() const { return tweet_.text; }
    const std::vector<std::shared_ptr<Image>>& images() const { return images_; }
    const std::vector<URL>& urls() const { return urls_; }

    void setCompletionHandler(std::function<void(Result)> handler) { completion_ = std::move(handler); }

    // --- The user's choices (each ends the sheet; later ones do nothing) ---
    void send();
    void cancel();
    bool isFinished() const { return result_.has_value(); }
    std::optional<Result> result() const { return result_; }

    // --- Process-wide record ---
    static std::vector<Tweet> sentTweets();
    static void clearSentTweets();

    void viewDidAppear(bool animated) override;
    std::string description() const override;

private:
    void finish(Result result);

    Tweet tweet_;
    std::vector<std::shared_ptr<Image>> images_;
    std::vector<URL> urls_;
    std::function<void(Result)> completion_;
    std::optional<Result> result_;
    bool shown_ = false;
};

}  // namespace clipora::platform
