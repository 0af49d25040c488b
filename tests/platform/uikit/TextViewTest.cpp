#include "platform/uikit/TextView.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/Keyboard.h"
#include "platform/uikit/TextField.h"
#include "tests/platform/uikit/UIKitTest.h"

using namespace clipora::platform;

namespace clipora::test {
namespace {

class ViewLog : public TextViewDelegate {
public:
    bool textViewShouldBeginEditing(const std::shared_ptr<TextView>&) override {
        log.push_back("shouldBegin");
        return allowBegin;
    }
    void textViewDidBeginEditing(const std::shared_ptr<TextView>&) override { log.push_back("didBegin"); }
    void textViewDidChange(const std::shared_ptr<TextView>& view) override { log.push_back("change " + view->text()); }
    void textViewDidEndEditing(const std::shared_ptr<TextView>& view) override {
        log.push_back("didEnd " + view->text());
    }
    std::vector<std::string> log;
    bool allowBegin = true;
};

using TextViewTest = UIKitTest;

TEST_F(TextViewTest, TypingGoesThroughTheDelegateCharacterByCharacter) {
    auto view = std::make_shared<TextView>(Rect{0, 0, 320, 200});
    auto delegate = std::make_shared<ViewLog>();
    view->setDelegate(delegate);

    delegate->allowBegin = false;
    EXPECT_FALSE(view->typeText("x"));
    EXPECT_EQ(view->text(), "");
    delegate->allowBegin = true;
    delegate->log.clear();

    // An emoji is one character: typed, and deleted, whole.
    EXPECT_TRUE(view->typeText("a\U0001F600"));
    EXPECT_TRUE(Keyboard::isVisible());
    EXPECT_TRUE(view->deleteBackward());
    EXPECT_EQ(view->text(), "a");
    view->setText("set by code");  // tells nobody
    EXPECT_TRUE(view->resignFirstResponder());
    EXPECT_FALSE(Keyboard::isVisible());
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"shouldBegin", "didBegin", "change a", "change a\U0001F600",
                                                       "change a", "didEnd set by code"}));
    EXPECT_FALSE(view->deleteBackward());  // not editing

    // A field taking the keyboard over ends the view's editing.
    view->becomeFirstResponder();
    auto field = std::make_shared<TextField>();
    EXPECT_TRUE(field->tap());
    EXPECT_FALSE(view->isEditing());
    EXPECT_TRUE(Keyboard::isVisible());
}

}  // namespace
}  // namespace clipora::test
