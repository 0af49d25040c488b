#include "share/UI/SXShareMenu.h"

#include <gtest/gtest.h>

#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/InterfaceOrientation.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/Switch.h"
#include "share/Core/SXSharerRegistry.h"
#include "share/UI/SXActionSheet.h"
#include "share/UI/SXCustomActionSheet.h"
#include "share/UI/SXCustomShareMenuCell.h"
#include "share/UI/SXViewControllerWrapper.h"
#include "tests/share/ShareTest.h"

namespace clipora {
namespace {

using Names = std::vector<std::string>;

struct MailStandIn : SXSharer {
    static inline int logouts = 0;
    std::string sharerTitle() const override { return "Email"; }
    std::string sharerId() const override { return "SXMail"; }
    bool canShareURL() const override { return true; }
    void logout() override { ++logouts; }
};

class SXShareMenuTest : public test::ShareTest {
protected:
    static std::shared_ptr<SXItem> link() { return SXItem::URLTitle(platform::URL::fromString("http://e.com/"), "T"); }
    // The titles the sheet offers before "More...": the link favourites
    // that are sharers here and can share.
    static Names usableFavourites() {
        Names titles;
        for (const auto& id : SX::favoriteSharersForType(1)) {
            if (auto sharer = SXSharerRegistry::create(id); sharer && sharer->canShare())
                titles.push_back(sharer->sharerTitle());
        }
        titles.push_back("More...");
        titles.push_back("Cancel");
        return titles;
    }
    static Names names(const std::vector<SXShareMenu::Row>& rows) {
        Names out;
        for (const auto& row : rows) out.push_back(row.name);
        return out;
    }
    test::NotificationRecorder notes_;
};

TEST_F(SXShareMenuTest, TheSheetOffersUsableFavouritesThenMore) {
    platform::Pasteboard::reset();
    auto sheet = SXActionSheet::actionSheetForType(1);
    // Made as the class a host restyles.
    EXPECT_TRUE(std::dynamic_pointer_cast<SXCustomActionSheet>(sheet));
    // Link favourites that are not sharers here are left out.
    auto offered = usableFavourites();
    EXPECT_EQ(sheet->buttonTitles(), offered);
    EXPECT_EQ(sheet->cancelButtonIndex(), static_cast<int>(offered.size()) - 1);

    auto image = SXItem::imageTitle(nullptr, "P");
    sheet = SXActionSheet::actionSheetForItem(link());
    sheet->showInView(window_);
    EXPECT_EQ(sheet->buttonTitles(), offered);
    sheet->pressButtonWithTitle("More...");
    settle();
    auto navigation = std::dynamic_pointer_cast<platform::NavigationController>(presented());
    ASSERT_TRUE(navigation);
    auto menu = std::dynamic_pointer_cast<SXCustomShareMenu>(navigation->topViewController());
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->item(), sheet->item());
    EXPECT_TRUE(std::dynamic_pointer_cast<SXCustomActionSheet>(SXActionSheet::actionSheetForItem(link())));

    SX::setFavoritesForType({"SXCopy", "SXNoSuchSharer", "SXMail"}, 1);
    sheet = SXActionSheet::actionSheetForItem(link());
    EXPECT_EQ(sheet->buttonTitles(), (Names{"Copy", "Email", "More...", "Cancel"}));
    sheet->showInView(window_);
    sheet->pressButtonWithTitle("Copy");
    EXPECT_EQ(platform::Pasteboard::generalPasteboard()->string(), "http://e.com/");
    EXPECT_EQ(notes_.events, Names{"finish"});
}

TEST_F(SXShareMenuTest, SwitchingASharerOffLogsItOutAndHidesItAfterDone) {
    auto menu = std::make_shared<SXCustomShareMenu>(platform::TableView::StyleGrouped);
    menu->setUp();
    menu->setItem(link());
    SX::currentHelper()->showViewController(menu);
    // Sorted by title; the photo album cannot take a link.
    EXPECT_EQ(names(menu->tableData()[0]), (Names{"Copy", "Email", "Logout", "Open in Safari", "SMS"}));
    // Services: only those that take a link.
    for (const auto& row : menu->tableData()[1])
        EXPECT_TRUE(SXSharerRegistry::create(row.className)->canShareURL()) << row.name;
    auto table = menu->tableView();
    EXPECT_TRUE(std::dynamic_pointer_cast<SXCustomShareMenuCell>(table->cellForRowAtIndexPath({0, 0})));
    EXPECT_EQ(table->headerTitleForSection(0), "Actions");
    EXPECT_EQ(table->headerTitleForSection(1).has_value(), !menu->tableData()[1].empty());

    SX::setAuthValueForKeyForSharer(std::string("x"), "username", "SXMail");
    SXSharerRegistry::registerClass<MailStandIn>("SXMail");
    menu->navigationItem()->rightBarButtonItem()->tap();  // Edit
    EXPECT_TRUE(table->isEditing());
    table->tapRowAtIndexPath({0, 1});
    EXPECT_EQ(MailStandIn::logouts, 1);  // at once, before Done
    EXPECT_EQ(menu->tableData()[0].size(), 5u);
    EXPECT_FALSE(platform::UserDefaults::standardUserDefaults()->objectForKey(SX::kExcludedKey));
    menu->navigationItem()->rightBarButtonItem()->tap();  // Done
    EXPECT_EQ(names(menu->tableData()[0]), (Names{"Copy", "Logout", "Open in Safari", "SMS"}));
    EXPECT_TRUE(platform::UserDefaults::standardUserDefaults()->dictionaryForKey(SX::kExcludedKey)->contains("SXMail"));
    SXSharerRegistry::unregisterClass("SXMail");
    registerBuiltInSharers();

    // Choosing a row shares and closes the menu.
    table->tapRowAtIndexPath({0, 0});
    EXPECT_EQ(notes_.events, Names{"finish"});
    EXPECT_EQ(presented(), nullptr);
}

TEST_F(SXShareMenuTest, TheWrapperTurnsInEveryOrientation) {
    SXViewControllerWrapper wrapper;
    for (int orientation : {platform::InterfaceOrientationPortrait, platform::InterfaceOrientationPortraitUpsideDown,
                            platform::InterfaceOrientationLandscapeLeft, platform::InterfaceOrientationLandscapeRight})
        EXPECT_TRUE(wrapper.shouldAutorotateToInterfaceOrientation(orientation));
}

}  // namespace
}  // namespace clipora
