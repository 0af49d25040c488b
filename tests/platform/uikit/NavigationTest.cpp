#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/InvalidArgumentException.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"
#include "tests/platform/uikit/UIKitTest.h"

using namespace clipora::platform;
using clipora::test::UIKitTest;

namespace {

using Log = std::vector<std::string>;

class RecordingController : public ViewController {
public:
    RecordingController(std::string name, std::shared_ptr<Log> log) : name_(std::move(name)), log_(std::move(log)) {
        setTitle(name_);
    }
    void viewDidLoad() override { log_->push_back(name_ + " load"); }
    void viewDidUnload() override { log_->push_back(name_ + " unload"); }
    void viewWillAppear(bool animated) override { log_->push_back(name_ + " willAppear" + flag(animated)); }
    void viewDidAppear(bool animated) override { log_->push_back(name_ + " didAppear" + flag(animated)); }
    void viewWillDisappear(bool animated) override { log_->push_back(name_ + " willDisappear" + flag(animated)); }
    void viewDidDisappear(bool animated) override { log_->push_back(name_ + " didDisappear" + flag(animated)); }

private:
    static std::string flag(bool animated) { return animated ? " animated" : ""; }
    std::string name_;
    std::shared_ptr<Log> log_;
};

class RecordingNavigationDelegate : public NavigationControllerDelegate {
public:
    explicit RecordingNavigationDelegate(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    void navigationControllerWillShowViewControllerAnimated(const std::shared_ptr<NavigationController>&,
                                                            const std::shared_ptr<ViewController>& c, bool) override {
        log_->push_back("delegate willShow " + c->title());
    }
    void navigationControllerDidShowViewControllerAnimated(const std::shared_ptr<NavigationController>&,
                                                           const std::shared_ptr<ViewController>& c, bool) override {
        log_->push_back("delegate didShow " + c->title());
    }

private:
    std::shared_ptr<Log> log_;
};

class NavigationTest : public UIKitTest {
protected:
    void SetUp() override {
        UIKitTest::SetUp();
        log = std::make_shared<Log>();
        window = std::make_shared<Window>();
        root = std::make_shared<RecordingController>("root", log);
        nav = std::make_shared<NavigationController>();
        nav->initWithRootViewController(root);
        delegate = std::make_shared<RecordingNavigationDelegate>(log);
        nav->setDelegate(delegate);
    }
    // Puts the navigation controller on screen the way the launch code does.
    void showOnScreen() {
        window->addSubview(nav->view());
        window->makeKeyAndVisible();
    }
    std::shared_ptr<RecordingController> make(const std::string& name) {
        return std::make_shared<RecordingController>(name, log);
    }

    std::shared_ptr<Log> log;
    std::shared_ptr<Window> window;
    std::shared_ptr<RecordingController> root;
    std::shared_ptr<NavigationController> nav;
    std::shared_ptr<RecordingNavigationDelegate> delegate;
};

}  // namespace

TEST_F(NavigationTest, PushAndPopCallTheLifeCycleInOrder) {
    showOnScreen();
    EXPECT_EQ(*log, (Log{"root load", "root willAppear", "root didAppear"}));
    log->clear();

    auto detail = make("detail");
    nav->pushViewControllerAnimated(detail, true);
    EXPECT_EQ(*log, (Log{"detail load", "delegate willShow detail", "root willDisappear animated",
                         "detail willAppear animated", "root didDisappear animated", "detail didAppear animated",
                         "delegate didShow detail"}));
    EXPECT_EQ(nav->topViewController(), detail);
    EXPECT_EQ(detail->navigationController(), nav);
    EXPECT_EQ(detail->parentViewController(), nav);
    EXPECT_EQ(nav->navigationBar()->shownTitle(), "detail");
    EXPECT_TRUE(detail->view()->isDescendantOfView(nav->view()));
    EXPECT_EQ(root->view()->superview(), nullptr);
    log->clear();

    // The back button on the bar pops, as a finger would.
    EXPECT_EQ(nav->navigationBar()->backButtonTitle(), "root");
    EXPECT_TRUE(nav->navigationBar()->tapBackButton());
    EXPECT_EQ(*log, (Log{"delegate willShow root", "detail willDisappear animated", "root willAppear animated",
                         "detail didDisappear animated", "root didAppear animated", "delegate didShow root"}));
    EXPECT_EQ(detail->navigationController(), nullptr);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    // Only the root left: nothing more to pop.
    EXPECT_EQ(nav->popViewControllerAnimated(true), nullptr);
    EXPECT_FALSE(nav->navigationBar()->tapBackButton());
}

TEST_F(NavigationTest, PopToRootSkipsTheControllersInBetween) {
    showOnScreen();
    auto a = make("a");
    auto b = make("b");
    nav->pushViewControllerAnimated(a, false);
    nav->pushViewControllerAnimated(b, false);
    log->clear();
    auto popped = nav->popToRootViewControllerAnimated(false);
    EXPECT_EQ(popped, (std::vector<std::shared_ptr<ViewController>>{a, b}));
    EXPECT_EQ(*log, (Log{"delegate willShow root", "b willDisappear", "root willAppear", "b didDisappear",
                         "root didAppear", "delegate didShow root"}));
    EXPECT_EQ(a->appearanceState(), ViewController::Disappeared);
}

TEST_F(NavigationTest, PushingOffScreenOnlyChangesTheStack) {
    auto a = make("a");
    nav->pushViewControllerAnimated(a, false);
    EXPECT_TRUE(log->empty());
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    showOnScreen();
    // Only the top controller appears.
    EXPECT_EQ(*log, (Log{"a load", "a willAppear", "a didAppear"}));
    EXPECT_FALSE(root->isViewLoaded());
}

TEST_F(NavigationTest, PushingAControllerTwiceIsAProgrammingError) {
    auto a = make("a");
    nav->pushViewControllerAnimated(a, false);
    EXPECT_THROW(nav->pushViewControllerAnimated(a, false), InvalidArgumentException);
    EXPECT_THROW(nav->pushViewControllerAnimated(nullptr, false), InvalidArgumentException);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
}

TEST_F(NavigationTest, ModalPresentationCoversAndUncoversThePresenter) {
    showOnScreen();
    log->clear();
    auto modal = make("modal");
    bool completed = false;
    // Presenting from a child presents from its container.
    root->presentViewControllerAnimatedCompletion(modal, true, [&] {
        log->push_back("completion");
        completed = true;
    });
    EXPECT_TRUE(completed);
    EXPECT_EQ(*log, (Log{"modal load", "root willDisappear animated", "modal willAppear animated",
                         "root didDisappear animated", "modal didAppear animated", "completion"}));
    EXPECT_EQ(nav->modalViewController(), modal);
    EXPECT_EQ(root->modalViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), nav);
    EXPECT_EQ(modal->parentViewController(), nav);
    EXPECT_EQ(modal->view()->window(), window);
    EXPECT_EQ(nav->visibleViewController(), modal);
    EXPECT_THROW(nav->presentModalViewControllerAnimated(modal, false), InvalidArgumentException);
    log->clear();

    // The presented controller dismisses itself (forwarded to the presenter).
    modal->dismissModalViewControllerAnimated(true);
    EXPECT_EQ(*log, (Log{"modal willDisappear animated", "root willAppear animated", "modal didDisappear animated",
                         "root didAppear animated"}));
    EXPECT_EQ(nav->modalViewController(), nullptr);
    EXPECT_EQ(modal->presentingViewController(), nullptr);
    EXPECT_EQ(modal->view()->superview(), nullptr);
}

TEST_F(NavigationTest, DismissingTheFirstOfTwoModalsRemovesBoth) {
    showOnScreen();
    auto first = make("first");
    auto second = make("second");
    nav->presentModalViewControllerAnimated(first, false);
    first->presentModalViewControllerAnimated(second, false);
    EXPECT_EQ(second->presentingViewController(), first);
    log->clear();
    nav->dismissModalViewControllerAnimated(false);
    EXPECT_EQ(*log, (Log{"second willDisappear", "root willAppear", "second didDisappear", "root didAppear"}));
    EXPECT_EQ(first->presentedViewController(), nullptr);
    EXPECT_EQ(window->subviews().size(), 1u);
}

TEST_F(NavigationTest, SheetOnATabletLeavesThePresenterOnScreen) {
    Device::currentDevice()->setUserInterfaceIdiom(Device::UserInterfaceIdiomPad);
    showOnScreen();
    log->clear();
    auto sheet = make("sheet");
    sheet->setModalPresentationStyle(ViewController::ModalPresentationStyleFormSheet);
    nav->presentModalViewControllerAnimated(sheet, true);
    EXPECT_EQ(*log, (Log{"sheet load", "sheet willAppear animated", "sheet didAppear animated"}));
    EXPECT_EQ(sheet->view()->frame().size, (Size{540, 620}));
}

TEST_F(NavigationTest, MemoryWarningUnloadsOnlyViewsOffScreen) {
    showOnScreen();
    auto a = make("a");
    nav->pushViewControllerAnimated(a, false);
    log->clear();
    Application::sharedApplication()->simulateMemoryWarning();
    EXPECT_EQ(*log, (Log{"root unload"}));
    EXPECT_FALSE(root->isViewLoaded());
    EXPECT_TRUE(a->isViewLoaded());
    log->clear();
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(log->front(), "root load");
}

TEST_F(NavigationTest, EditButtonTogglesEditing) {
    auto item = root->editButtonItem();
    EXPECT_EQ(item->title(), "Edit");
    EXPECT_TRUE(item->tap());
    EXPECT_TRUE(root->isEditing());
    EXPECT_EQ(item->title(), "Done");
    EXPECT_EQ(item->style(), BarButtonItem::StyleDone);
    item->tap();
    EXPECT_FALSE(root->isEditing());
}

TEST_F(NavigationTest, BarsFollowTheStack) {
    showOnScreen();
    auto a = make("a");
    auto done = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemDone);
    a->navigationItem()->setRightBarButtonItem(done);
    a->setToolbarItems({std::make_shared<BarButtonItem>("Share", BarButtonItem::StyleBordered)});
    nav->setToolbarHidden(false);
    nav->pushViewControllerAnimated(a, false);
    EXPECT_EQ(nav->navigationBar()->topItem()->rightBarButtonItem(), done);
    EXPECT_EQ(done->title(), "Done");
    EXPECT_EQ(nav->toolbar()->items().size(), 1u);
    // The content sits between the bar and the toolbar.
    EXPECT_EQ(a->view()->frame(), (Rect{0, 44, 320, 460 - 44 - 44}));
    a->navigationItem()->setLeftBarButtonItem(std::make_shared<BarButtonItem>(BarButtonItem::SystemItemCancel));
    EXPECT_FALSE(nav->navigationBar()->showsBackButton());
}

TEST(NavigationBarFactoryTest, CustomBarIsWiredLikeThePlainOne) {
    class PaintedBar : public NavigationBar {
    public:
        std::string className() const override { return "PaintedBar"; }
    };
    auto log = std::make_shared<Log>();
    auto custom = std::make_shared<NavigationController>([] { return std::make_shared<PaintedBar>(); });
    custom->initWithRootViewController(std::make_shared<RecordingController>("root", log));
    auto a = std::make_shared<RecordingController>("a", log);
    custom->pushViewControllerAnimated(a, false);
    auto bar = custom->navigationBar();
    ASSERT_NE(std::dynamic_pointer_cast<PaintedBar>(bar), nullptr);
    EXPECT_EQ(bar->shownTitle(), "a");
    // The back button still pops the controller it belongs to.
    EXPECT_TRUE(bar->tapBackButton());
    EXPECT_EQ(custom->topViewController()->title(), "root");
    EXPECT_EQ(custom->navigationBar(), bar);

    // A factory that makes nothing leaves the plain bar.
    auto fallback = std::make_shared<NavigationController>([] { return std::shared_ptr<NavigationBar>(); });
    EXPECT_EQ(fallback->navigationBar()->className(), "NavigationBar");
}
