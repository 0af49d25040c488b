#include <gtest/gtest.h>

#include "platform/media/MailComposeViewController.h"
#include "platform/media/MessageComposeViewController.h"
#include "platform/media/TweetComposeViewController.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"
#include "tests/platform/media/OnScreen.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

class ComposerTest : public test::PlatformTest {
protected:
    void TearDown() override {
        MailComposeViewController::setCanSendMail(true);
        MailComposeViewController::clearSentMessages();
        MessageComposeViewController::setCanSendText(true);
        MessageComposeViewController::clearSentMessages();
        TweetComposeViewController::setAvailable(true);
        TweetComposeViewController::setCanSendTweet(true);
        TweetComposeViewController::clearSentTweets();
        test::PlatformTest::TearDown();
    }
};

struct MailDelegate : MailComposeViewControllerDelegate {
    std::vector<MailComposeResult> results;
    std::optional<Error> error;
    void mailComposeControllerDidFinishWithResultError(const std::shared_ptr<MailComposeViewController>& controller,
                                                       MailComposeResult result,
                                                       const std::optional<Error>& e) override {
        results.push_back(result);
        error = e;
        controller->dismissModalViewControllerAnimated(true);  // as every presenter does
    }
};

TEST_F(ComposerTest, MailIsHeldUntilSentThenRecordedAndTheDelegateToldOnce) {
    auto presenter = std::make_shared<ViewController>();
    auto delegate = std::make_shared<MailDelegate>();
    auto composer = MailComposeViewController::create();
    ASSERT_NE(composer, nullptr);
    composer->setMailComposeDelegate(delegate);
    composer->setSubject("Check out this video on Facebook!");
    composer->setToRecipients({"a@example.com"});
    composer->setCcRecipients({"b@example.com"});
    composer->setBccRecipients({"c@example.com"});
    composer->setMessageBodyIsHTML("<p>hi</p>", true);
    composer->addAttachmentDataMimeTypeFileName(Data{1, 2, 3}, "image/jpeg", "Image.jpg");
    presenter->presentModalViewControllerAnimated(composer, true);

    EXPECT_TRUE(MailComposeViewController::sentMessages().empty());
    ASSERT_EQ(MailComposeViewController::openComposers().size(), 1u);
    EXPECT_EQ(MailComposeViewController::openComposers()[0], composer);
    EXPECT_TRUE(delegate->results.empty());

    composer->send();
    composer->cancel();  // too late: it has ended
    EXPECT_EQ(delegate->results, std::vector<MailComposeResult>{MailComposeResultSent});
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(presenter->presentedViewController(), nullptr);
    EXPECT_TRUE(MailComposeViewController::openComposers().empty());
    auto sent = MailComposeViewController::sentMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].subject, "Check out this video on Facebook!");
    EXPECT_EQ(sent[0].toRecipients, std::vector<std::string>{"a@example.com"});
    EXPECT_EQ(sent[0].bccRecipients, std::vector<std::string>{"c@example.com"});
    EXPECT_TRUE(sent[0].isHTML);
    ASSERT_EQ(sent[0].attachments.size(), 1u);
    EXPECT_EQ(sent[0].attachments[0].fileName, "Image.jpg");
    EXPECT_EQ(sent[0].attachments[0].data, (Data{1, 2, 3}));
}

TEST_F(ComposerTest, CancelledOrFailedMailIsNotSentAndNoMailMeansNoComposer) {
    auto delegate = std::make_shared<MailDelegate>();
    auto cancelled = MailComposeViewController::create();
    cancelled->setMailComposeDelegate(delegate);
    cancelled->cancel();
    auto failed = MailComposeViewController::create();
    failed->setMailComposeDelegate(delegate);
    failed->fail(Error::withDescription("mail", 5, "no connection"));
    EXPECT_EQ(delegate->results, (std::vector<MailComposeResult>{MailComposeResultCancelled, MailComposeResultFailed}));
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), 5);
    EXPECT_TRUE(MailComposeViewController::sentMessages().empty());

    MailComposeViewController::setCanSendMail(false);
    EXPECT_FALSE(MailComposeViewController::canSendMail());
    EXPECT_EQ(MailComposeViewController::create(), nullptr);
}

struct TextDelegate : MessageComposeViewControllerDelegate {
    std::vector<MessageComposeResult> results;
    void messageComposeViewControllerDidFinishWithResult(const std::shared_ptr<MessageComposeViewController>&,
                                                         MessageComposeResult result) override {
        results.push_back(result);
    }
};

TEST_F(ComposerTest, TextMessageIsHeldUntilSent) {
    auto delegate = std::make_shared<TextDelegate>();
    auto composer = MessageComposeViewController::create();
    ASSERT_NE(composer, nullptr);
    composer->setMessageComposeDelegate(delegate);
    composer->setBody("look<br/><br/>http://x.example/");
    EXPECT_TRUE(MessageComposeViewController::sentMessages().empty());
    composer->send();
    EXPECT_EQ(delegate->results, std::vector<MessageComposeResult>{MessageComposeResultSent});
    ASSERT_EQ(MessageComposeViewController::sentMessages().size(), 1u);
    EXPECT_EQ(MessageComposeViewController::sentMessages()[0].body, "look<br/><br/>http://x.example/");
    MessageComposeViewController::setCanSendText(false);
    EXPECT_EQ(MessageComposeViewController::create(), nullptr);
}

TEST_F(ComposerTest, TweetSheetTakesTextLinksAndPicturesUntilShownAndReportsItsResult) {
    test::OnScreen screenOn;
    auto presenter = screenOn.presenter;
    auto sheet = std::make_shared<TweetComposeViewController>();
    EXPECT_FALSE(sheet->setInitialText(std::string(141, 'x')));
    EXPECT_TRUE(sheet->setInitialText(std::string(139, 'x') + "\xC3\xA9"));  // 140 characters, 141 bytes
    EXPECT_TRUE(sheet->setInitialText("Check out this cool video!"));
    EXPECT_TRUE(sheet->addURL(*URL::fromString("http://www.facebook.com/video/video.php?v=1")));
    EXPECT_FALSE(sheet->addImage(nullptr));
    EXPECT_TRUE(sheet->addImage(Image::imageWithBitmap(Bitmap::make(1, 1))));
    std::vector<TweetComposeViewController::Result> results;
    sheet->setCompletionHandler([&](TweetComposeViewController::Result r) {
        results.push_back(r);
        presenter->dismissModalViewControllerAnimated(true);
    });
    presenter->presentModalViewControllerAnimated(sheet, true);
    EXPECT_FALSE(sheet->setInitialText("too late"));
    EXPECT_TRUE(TweetComposeViewController::sentTweets().empty());

    sheet->send();
    EXPECT_EQ(results, std::vector<TweetComposeViewController::Result>{TweetComposeViewController::ResultDone});
    EXPECT_EQ(presenter->presentedViewController(), nullptr);
    auto tweets = TweetComposeViewController::sentTweets();
    ASSERT_EQ(tweets.size(), 1u);
    EXPECT_EQ(tweets[0].text, "Check out this cool video!");
    EXPECT_EQ(tweets[0].urls, std::vector<std::string>{"http://www.facebook.com/video/video.php?v=1"});
    EXPECT_EQ(tweets[0].imageCount, 1u);

    auto cancelled = std::make_shared<TweetComposeViewController>();
    std::optional<TweetComposeViewController::Result> result;
    cancelled->setCompletionHandler([&](TweetComposeViewController::Result r) { result = r; });
    cancelled->cancel();
    EXPECT_EQ(result, TweetComposeViewController::ResultCancelled);
    EXPECT_EQ(TweetComposeViewController::sentTweets().size(), 1u);
}

}  // namespace
}  // namespace clipora::platform
