#include <gtest/gtest.h>

#include <memory>

#include "app/PRRefreshTableHeaderView.h"
#include "app/QRBBaseViewController.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Window.h"
#include "tests/app/AppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class Screen : public QRBBaseViewController {
public:
    explicit Screen(bool pull) : QRBBaseViewController(TableView::StylePlain, "List", pull) {}
    void reloadTableViewDataSource() override {
        ++reloads;
        setReloading(true);
    }
    void finish() {
        setReloading(false);
        refreshHeaderView()->prRefreshScrollViewDataSourceDidFinishedLoading(tableView());
    }
    int reloads = 0;
};

class PullToRefreshTest : public test::AppTest {
protected:
    std::shared_ptr<Screen> show(bool pull) {
        auto screen = std::make_shared<Screen>(pull);
        window = std::make_shared<Window>();
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
        return screen;
    }
    std::shared_ptr<Window> window;
};

TEST_F(PullToRefreshTest, AReleaseAtTheThresholdTriggersOnceUntilTheReloadEnds) {
    auto screen = show(true);
    auto header = screen->refreshHeaderView();
    ASSERT_TRUE(header);
    EXPECT_TRUE(UserDefaults::standardUserDefaults()->stringForKey(PRRefreshTableHeaderView::kLastRefreshKey));

    screen->tableView()->drag({Point{0, -40}, Point{0, -84}});
    EXPECT_EQ(screen->reloads, 0);
    EXPECT_EQ(header->state(), PRRefreshTableHeaderView::StateNormal);

    screen->tableView()->drag({Point{0, -40}, Point{0, -85}});
    EXPECT_EQ(screen->reloads, 1);
    EXPECT_EQ(header->state(), PRRefreshTableHeaderView::StateLoading);
    EXPECT_EQ(header->statusLabel()->text(), "Loading...");

    screen->tableView()->drag({Point{0, -40}, Point{0, -120}});  // ignored while loading
    EXPECT_EQ(screen->reloads, 1);

    screen->finish();
    EXPECT_EQ(header->state(), PRRefreshTableHeaderView::StateNormal);
    EXPECT_EQ(screen->tableView()->contentInset().top, PRRefreshTableHeaderView::kRestingInset);
    screen->tableView()->drag({Point{0, -40}, Point{0, -100}});
    EXPECT_EQ(screen->reloads, 2);
}

TEST_F(PullToRefreshTest, WithoutPullToRefreshThereIsNoHeader) {
    auto screen = show(false);
    EXPECT_FALSE(screen->refreshHeaderView());
    screen->tableView()->drag({Point{0, -40}, Point{0, -120}});
    EXPECT_EQ(screen->reloads, 0);
}

}  // namespace
