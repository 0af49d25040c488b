#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/IKLinkedList.h"
#include "app/IKMemoryCache.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "tests/app/AppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class Item : public Object {
public:
    explicit Item(int n) : n(n) {}
    int n;
};

std::shared_ptr<Image> picture(int width, int height) { return Image::imageWithBitmap(Bitmap::make(width, height)); }

std::vector<int> numbers(const IKLinkedList& list) {
    std::vector<int> out;
    for (const auto& object : list.allObjects()) out.push_back(std::static_pointer_cast<Item>(object)->n);
    return out;
}

class IKContainersTest : public test::AppTest {};

TEST_F(IKContainersTest, LocationsRemoveInPlaceAndEnumerationSeesEveryElementOnce) {
    IKLinkedList list;
    std::vector<IKLinkedList::Location> locations;
    std::vector<std::shared_ptr<Object>> items;
    for (int i = 0; i < 17; ++i) {
        items.push_back(std::make_shared<Item>(i));
        locations.push_back(list.addObject(items.back()));
    }
    EXPECT_EQ(list.addObject(nullptr), nullptr);
    EXPECT_EQ(list.count(), 17u);

    // Fast enumeration with a 16-slot buffer: two calls, all 17 in order.
    IKLinkedList::EnumerationState state;
    std::shared_ptr<Object> buffer[16];
    std::vector<int> seen;
    while (std::size_t n = list.countByEnumeratingWithStateObjectsCount(state, buffer, 16))
        for (std::size_t i = 0; i < n; ++i) seen.push_back(std::static_pointer_cast<Item>(buffer[i])->n);
    EXPECT_EQ(seen.size(), 17u);
    EXPECT_EQ(seen.back(), 16);

    list.removeObjectAtLocation(locations[8]);  // the middle
    list.removeFirstObject();
    list.removeLastObject();
    list.removeObject(items[1]);
    list.removeObject(std::make_shared<Item>(2));  // equal number, not the same object: stays
    EXPECT_EQ(numbers(list), (std::vector<int>{2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(list.objectAtLocation(locations[9]), items[9]);
    EXPECT_TRUE(list.containsObject(items[2]));
    EXPECT_FALSE(list.containsObject(items[8]));

    // A change during an enumeration is a programming error.
    IKLinkedList::EnumerationState changing;
    list.countByEnumeratingWithStateObjectsCount(changing, buffer, 4);
    list.addObject(items[0]);
    EXPECT_ANY_THROW(list.countByEnumeratingWithStateObjectsCount(changing, buffer, 4));

    IKLinkedList copy = list;
    list.removeAllObjects();
    EXPECT_EQ(list.count(), 0u);
    EXPECT_FALSE(list.firstObject());
    EXPECT_EQ(copy.count(), 14u);
    IKLinkedList::EnumerationState empty;
    EXPECT_EQ(list.countByEnumeratingWithStateObjectsCount(empty, buffer, 16), 0u);
}

TEST_F(IKContainersTest, TheCacheExpiresAndTracksUse) {
    useManualClock();
    IKMemoryCache cache;
    auto a = std::make_shared<Item>(1);
    auto b = std::make_shared<Item>(2);
    cache.storeObjectWithName(a, "a");
    advanceClock(1);
    cache.storeObjectWithNameExpiresAfter(b, "b", Date::now().addingTimeInterval(10));
    EXPECT_EQ(cache.nameOfLeastRecentlyUsedObject(), std::optional<std::string>("a"));
    EXPECT_EQ(cache.objectWithName("a"), a);  // touched: now the most recent
    EXPECT_EQ(cache.nameOfMostRecentlyUsedObject(), std::optional<std::string>("a"));
    EXPECT_EQ(cache.nameOfLeastRecentlyUsedObject(), std::optional<std::string>("b"));

    cache.storeObjectWithNameExpiresAfter(std::make_shared<Item>(3), "c", Date::now().addingTimeInterval(-1));
    EXPECT_FALSE(cache.containsObjectWithName("c"));
    advanceClock(10);
    EXPECT_FALSE(cache.objectWithName("b"));  // expired, and gone
    EXPECT_EQ(cache.count(), 1u);

    cache.storeObjectWithNameExpiresAfter(b, "b", Date::now().addingTimeInterval(1));
    advanceClock(5);
    NotificationCenter::defaultCenter().post(Application::kDidReceiveMemoryWarningNotification);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_TRUE(cache.containsObjectWithName("a"));
}

TEST_F(IKContainersTest, ThePixelCountNeverDrifts) {
    IKImageMemoryCache cache;
    cache.setMaxNumberOfPixels(10000);
    cache.storeObjectWithName(picture(100, 100), "first");
    EXPECT_EQ(cache.numberOfPixels(), 10000u);
    EXPECT_TRUE(cache.containsObjectWithName("first"));
    cache.storeObjectWithName(picture(100, 100), "second");  // evicts the first
    EXPECT_FALSE(cache.containsObjectWithName("first"));
    EXPECT_EQ(cache.numberOfPixels(), 10000u);

    // Storing under the same name again replaces the old picture's pixels.
    for (int i = 0; i < 5; ++i) cache.storeObjectWithName(picture(50, 50), "second");
    EXPECT_EQ(cache.numberOfPixels(), 2500u);
    cache.storeObjectWithName(picture(50, 50), "third");
    EXPECT_EQ(cache.count(), 2u);
    EXPECT_EQ(cache.numberOfPixels(), 5000u);
    cache.removeObjectWithName("third");
    EXPECT_EQ(cache.numberOfPixels(), 2500u);

    cache.removeAllObjects();
    EXPECT_EQ(cache.numberOfPixels(), 0u);
    cache.storeObjectWithName(picture(100, 100), "again");  // fits again after the reset
    EXPECT_TRUE(cache.containsObjectWithName("again"));

    cache.setMaxNumberOfPixelsUnderStress(5000);
    cache.reduceMemoryUsage();
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.numberOfPixels(), 0u);
}

}  // namespace
