#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Slider.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/TextField.h"
#include "tests/platform/uikit/UIKitTest.h"

using namespace clipora::platform;
using clipora::test::UIKitTest;

namespace {

using Log = std::vector<std::string>;

class ControlsTest : public UIKitTest {
protected:
    void TearDown() override {
        NotificationCenter::defaultCenter().removeObserver(this);
        UIKitTest::TearDown();
    }
};

struct Target {
    Log log;
    void pressed(const std::shared_ptr<Control>& sender) { log.push_back(sender ? "pressed" : "pressed null"); }
    void plain() { log.push_back("plain"); }
    void asSwitch(const std::shared_ptr<Switch>& sender) { log.push_back(sender ? "switch" : "not a switch"); }
};

class FieldDelegate : public TextFieldDelegate {
public:
    Log log;
    bool allowBegin = true;
    bool textFieldShouldBeginEditing(const std::shared_ptr<TextField>&) override {
        log.push_back("shouldBegin");
        return allowBegin;
    }
    void textFieldDidBeginEditing(const std::shared_ptr<TextField>&) override { log.push_back("didBegin"); }
    void textFieldDidEndEditing(const std::shared_ptr<TextField>& f) override { log.push_back("didEnd " + f->text()); }
    // Digits are refused.
    bool textFieldShouldChangeCharactersInRangeReplacementString(const std::shared_ptr<TextField>&, TextRange range,
                                                                 const std::string& s) override {
        log.push_back("change " + std::to_string(range.location) + "," + std::to_string(range.length) + " '" + s + "'");
        return s.empty() || !(s[0] >= '0' && s[0] <= '9');
    }
    bool textFieldShouldReturn(const std::shared_ptr<TextField>& f) override {
        log.push_back("shouldReturn");
        f->resignFirstResponder();
        return true;
    }
};

}  // namespace

TEST_F(ControlsTest, TargetActionSkipsATargetThatWentAway) {
    auto button = Button::buttonWithType(Button::ButtonTypeRoundedRect);
    auto target = std::make_shared<Target>();
    button->addTargetActionForControlEvents(target, &Target::pressed, Control::EventTouchUpInside);
    button->addTargetActionForControlEvents(target, &Target::plain, Control::EventTouchDown);
    button->addTargetActionForControlEvents(target, &Target::asSwitch, Control::EventTouchUpInside);
    EXPECT_TRUE(button->tap());
    EXPECT_EQ(target->log, (Log{"plain", "pressed", "not a switch"}));
    EXPECT_EQ(button->allTargets().size(), 1u);

    button->removeTargetForControlEvents(target.get(), Control::EventTouchDown);
    EXPECT_EQ(button->actionCountForControlEvents(Control::EventTouchDown), 0u);
    button->setEnabled(false);
    EXPECT_FALSE(button->tap());
    button->setEnabled(true);

    std::weak_ptr<Target> weak = target;
    target.reset();
    EXPECT_TRUE(weak.expired());  // the button does not own its target
    EXPECT_TRUE(button->tap());
    EXPECT_TRUE(button->allTargets().empty());
}

TEST_F(ControlsTest, ButtonContentFollowsTheState) {
    auto button = std::make_shared<Button>(Rect{0, 0, 81, 29});
    button->setTitleForState(std::string("Log in"), Control::StateNormal);
    button->setTitleForState(std::string("Log out"), Control::StateSelected);
    button->setTitleColorForState(Color::whiteColor(), Control::StateNormal);
    EXPECT_EQ(button->titleLabel()->text(), "Log in");
    button->setSelected(true);
    EXPECT_EQ(button->currentTitle(), "Log out");
    EXPECT_EQ(button->titleLabel()->text(), "Log out");
    // Highlighted while selected falls back to the selected title, then normal.
    EXPECT_EQ(button->titleForState(Control::StateSelected | Control::StateHighlighted), "Log out");
    EXPECT_EQ(button->titleForState(Control::StateDisabled), "Log in");
    EXPECT_EQ(button->titleColorForState(Control::StateHighlighted), Color::whiteColor());
    EXPECT_EQ(button->currentImage(), nullptr);
}

TEST_F(ControlsTest, SwitchSliderAndSpinner) {
    auto toggle = std::make_shared<Switch>(Rect{10, 10, 200, 200});
    EXPECT_EQ(toggle->frame().size, (Size{Switch::kWidth, Switch::kHeight}));
    int changes = 0;
    toggle->addActionForControlEvents([&](const std::shared_ptr<Control>&) { ++changes; }, Control::EventValueChanged);
    toggle->setOn(true);
    EXPECT_EQ(changes, 0);  // from code: no event
    EXPECT_TRUE(toggle->tap());
    EXPECT_FALSE(toggle->isOn());
    EXPECT_EQ(changes, 1);
    toggle->setUserInteractionEnabled(false);
    EXPECT_FALSE(toggle->tap());

    auto slider = std::make_shared<Slider>();
    slider->setMaximumValue(10);
    int moved = 0;
    slider->addActionForControlEvents([&](const std::shared_ptr<Control>&) { ++moved; }, Control::EventValueChanged);
    EXPECT_TRUE(slider->slideTo(25));
    EXPECT_EQ(slider->value(), 10);
    EXPECT_TRUE(slider->slideTo(10));
    EXPECT_EQ(moved, 1);  // no change, no event
    slider->setMaximumValue(5);
    EXPECT_EQ(slider->value(), 5);

    auto spinner = std::make_shared<ActivityIndicatorView>(ActivityIndicatorView::StyleWhiteLarge);
    EXPECT_EQ(spinner->frame().size, (Size{37, 37}));
    EXPECT_TRUE(spinner->isHidden());
    spinner->startAnimating();
    EXPECT_FALSE(spinner->isHidden());
    spinner->setHidesWhenStopped(false);
    spinner->stopAnimating();
    EXPECT_FALSE(spinner->isHidden());
}

TEST_F(ControlsTest, TextFieldEditingGoesThroughTheDelegateAndShowsTheKeyboard) {
    Log notes;
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(
        Keyboard::kWillShowNotification,
        [&](const Notification& n) {
            auto end = GeometryValue::rectFrom(*n.userInfo.find(Keyboard::kFrameEndUserInfoKey));
            notes.push_back("keyboard show " + (end ? end->description() : std::string("?")));
        },
        this);
    center.addObserver(
        Keyboard::kWillHideNotification, [&](const Notification&) { notes.push_back("keyboard hide"); }, this);
    center.addObserver(
        TextField::kTextDidChangeNotification, [&](const Notification&) { notes.push_back("changed"); }, this);

    auto field = std::make_shared<TextField>(Rect{0, 0, 200, 31});
    auto delegate = std::make_shared<FieldDelegate>();
    field->setDelegate(delegate);
    field->setSecureTextEntry(true);
    field->setReturnKeyType(TextField::ReturnKeyDone);

    delegate->allowBegin = false;
    EXPECT_FALSE(field->becomeFirstResponder());
    EXPECT_FALSE(field->typeText("x"));
    EXPECT_TRUE(notes.empty());
    delegate->allowBegin = true;
    delegate->log.clear();

    EXPECT_TRUE(field->typeText("a1b"));
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(Keyboard::isVisible());
    EXPECT_EQ(field->text(), "ab");
    EXPECT_EQ(field->displayedText(), "\u2022\u2022");
    EXPECT_EQ(delegate->log, (Log{"shouldBegin", "didBegin", "change 0,0 'a'", "change 1,0 '1'", "change 1,0 'b'"}));
    EXPECT_EQ(notes, (Log{"keyboard show {{0, 264}, {320, 216}}", "changed", "changed"}));
    EXPECT_TRUE(field->deleteBackward());
    EXPECT_EQ(field->text(), "a");
    delegate->log.clear();

    EXPECT_TRUE(field->pressReturn());
    EXPECT_EQ(delegate->log, (Log{"shouldReturn", "didEnd a"}));
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(Keyboard::isVisible());
    EXPECT_EQ(notes.back(), "keyboard hide");
}

TEST_F(ControlsTest, MovingBetweenFieldsKeepsTheKeyboardUp) {
    int shows = 0, hides = 0;
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(
        Keyboard::kWillShowNotification, [&](const Notification&) { ++shows; }, this);
    center.addObserver(
        Keyboard::kWillHideNotification, [&](const Notification&) { ++hides; }, this);
    auto user = std::make_shared<TextField>();
    auto password = std::make_shared<TextField>();
    EXPECT_TRUE(user->tap());
    EXPECT_TRUE(password->tap());
    EXPECT_FALSE(user->isEditing());
    EXPECT_TRUE(password->isEditing());
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(hides, 0);
    password->resignFirstResponder();
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(Responder::firstResponder(), nullptr);
}
