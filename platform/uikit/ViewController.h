#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/InterfaceOrientation.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Responder.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

class NavigationController;

// Manages one screen: loads its view on first use and is told when the view
// appears and disappears, of memory warnings and rotations. Presents other
// controllers modally.
//
// Transitions are instantaneous: push, pop, present and dismiss make all
// their will- and did- calls before they return, whatever the animated flag
// (which is passed on to the calls), and run their completion last.
class ViewController : public Responder {
public:
    enum ModalTransitionStyle : int {
        ModalTransitionStyleCoverVertical = 0,
        ModalTransitionStyleFlipHorizontal = 1,
        ModalTransitionStyleCrossDissolve = 2,
        ModalTransitionStylePartialCurl = 3,
    };
    enum ModalPresentationStyle : int {
        ModalPresentationStyleFullScreen = 0,
        ModalPresentationStylePageSheet = 1,
        ModalPresentationStyleFormSheet = 2,
        ModalPresentationStyleCurrentContext = 3,
    };
    enum AppearanceState { Disappeared, Appearing, Appeared, Disappearing };

    ViewController();
    ~ViewController() override;

    // --- The view ---
    // Loads the view when needed (loadView, then viewDidLoad).
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    // Replaces the view (null unloads it without calling viewDidUnload).
    void setView(std::shared_ptr<View> view);
    // Makes the view; by default a plain view filling the screen's
    // application frame, resizing with its superview.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewDidUnload() {}

    virtual void viewWillAppear(bool) {}
    virtual void viewDidAppear(bool) {}
    virtual void viewWillDisappear(bool) {}
    virtual void viewDidDisappear(bool) {}
    AppearanceState appearanceState() const { return appearance_; }
    bool isViewVisible() const { return appearance_ == Appeared; }

    // By default unloads the view when it is not on screen (then
    // viewDidUnload).
    virtual void didReceiveMemoryWarning();

    // --- Rotation ---
    // Portrait only by default.
    virtual bool shouldAutorotateToInterfaceOrientation(int orientation);
    virtual void willRotateToInterfaceOrientationDuration(int, double) {}
    virtual void willAnimateRotationToInterfaceOrientationDuration(int, double) {}
    virtual void didRotateFromInterfaceOrientation(int) {}
    InterfaceOrientation interfaceOrientation() const;

    // --- Title and bars ---
    const std::string& title() const { return title_; }
    // Also the navigation item's title.
    virtual void setTitle(std::string title);
    std::shared_ptr<NavigationItem> navigationItem();
    const std::vector<std::shared_ptr<BarButtonItem>>& toolbarItems() const { return toolbarItems_; }
    void setToolbarItems(std::vector<std::shared_ptr<BarButtonItem>> items) { toolbarItems_ = std::move(items); }
    void setToolbarItemsAnimated(std::vector<std::shared_ptr<BarButtonItem>> items, bool) {
        toolbarItems_ = std::move(items);
    }
    bool hidesBottomBarWhenPushed() const { return hidesBottomBarWhenPushed_; }
    void setHidesBottomBarWhenPushed(bool hides) { hidesBottomBarWhenPushed_ = hides; }
    bool wantsFullScreenLayout() const { return wantsFullScreenLayout_; }
    void setWantsFullScreenLayout(bool wants) { wantsFullScreenLayout_ = wants; }

    // --- Editing ---
    bool isEditing() const { return editing_; }
    void setEditing(bool editing) { setEditingAnimated(editing, false); }
    // Updates the edit button ("Edit" / "Done").
    virtual void setEditingAnimated(bool editing, bool animated);
    // The standard edit button: toggles editing, animated.
    std::shared_ptr<BarButtonItem> editButtonItem();

    // --- Containers and presentation ---
    // The container holding this controller, or (when presented) the
    // controller that presents it.
    std::shared_ptr<ViewController> parentViewController() const;
    std::shared_ptr<NavigationController> navigationController() const;
    std::shared_ptr<ViewController> presentingViewController() const;
    std::shared_ptr<ViewController> presentedViewController() const { return presented_; }
    // The controller presented by this one or by its container.
    std::shared_ptr<ViewController> modalViewController() const;
    virtual std::vector<std::shared_ptr<ViewController>> childViewControllers() const { return {}; }
    // The child whose view a container shows, which gets the container's
    // appearance and rotation calls; none by default.
    virtual std::shared_ptr<ViewController> childOnScreen() const { return nullptr; }

    ModalTransitionStyle modalTransitionStyle() const { return modalTransitionStyle_; }
    void setModalTransitionStyle(ModalTransitionStyle style) { modalTransitionStyle_ = style; }
    ModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle style) { modalPresentationStyle_ = style; }

    // Presents from the outermost container (or from what it already
    // presents), covering it: the covered controller disappears unless the
    // presented one is a page or form sheet on a tablet. Presenting a
    // controller that is already presented or in a container is a programming
    // error (InvalidArgumentException).
    void presentModalViewControllerAnimated(const std::shared_ptr<ViewController>& controller, bool animated);
    void presentViewControllerAnimatedCompletion(const std::shared_ptr<ViewController>& controller, bool animated,
                                                 std::function<void()> completion);
    // Dismisses what this controller (or its container) presents, with all
    // that presents in turn; called on a presented controller with nothing of
    // its own presented, dismisses that controller.
    void dismissModalViewControllerAnimated(bool animated);
    void dismissViewControllerAnimatedCompletion(bool animated, std::function<void()> completion);

    // --- Used by containers, windows and the application ---
    void setParentViewController(const std::shared_ptr<ViewController>& parent);
    // Appearance calls, each sent once per transition; containers pass them
    // on to the child on screen. A did- call without its will- call sends
    // both.
    virtual void notifyWillAppear(bool animated);
    virtual void notifyDidAppear(bool animated);
    virtual void notifyWillDisappear(bool animated);
    virtual void notifyDidDisappear(bool animated);
    // Will-rotate, will-animate-rotation, the status bar turns, did-rotate.
    virtual void rotateToInterfaceOrientation(InterfaceOrientation orientation);

    std::shared_ptr<Responder> nextResponder() const override;
    std::string description() const override;

protected:
    // The frame a full-screen controller's view takes.
    static Rect fullScreenFrame();

private:
    std::shared_ptr<ViewController> outermost();

    std::shared_ptr<View> view_;
    bool loadingView_ = false;
    AppearanceState appearance_ = Disappeared;
    std::string title_;
    std::shared_ptr<NavigationItem> navigationItem_;
    std::vector<std::shared_ptr<BarButtonItem>> toolbarItems_;
    bool hidesBottomBarWhenPushed_ = false;
    bool wantsFullScreenLayout_ = false;
    bool editing_ = false;
    std::shared_ptr<BarButtonItem> editButtonItem_;
    std::weak_ptr<ViewController> parent_;
    std::weak_ptr<ViewController> presenting_;
    std::shared_ptr<ViewController> presented_;
    ModalTransitionStyle modalTransitionStyle_ = ModalTransitionStyleCoverVertical;
    ModalPresentationStyle modalPresentationStyle_ = ModalPresentationStyleFullScreen;
};

}  // namespace clipora::platform
