#include "platform/system/LocationManager.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

struct RecordingDelegate : LocationManagerDelegate {
    std::vector<Location> fixes;
    std::vector<std::optional<Location>> previous;
    std::vector<Error> errors;

    void locationManagerDidUpdateToLocationFromLocation(const std::shared_ptr<LocationManager>&, const Location& fix,
                                                        const std::optional<Location>& old) override {
        fixes.push_back(fix);
        previous.push_back(old);
    }
    void locationManagerDidFailWithError(const std::shared_ptr<LocationManager>&, const Error& error) override {
        errors.push_back(error);
    }
};

class LocationManagerTest : public test::PlatformTest {
protected:
    void TearDown() override {
        LocationManager::resetDevice();
        test::PlatformTest::TearDown();
    }
    static Location at(double latitude, double longitude) {
        return Location{latitude, longitude, 35, 10, 15, test::fixedTestDate()};
    }
};

TEST_F(LocationManagerTest, UpdatingManagerHearsTheCurrentAndEveryNewPositionOnTheMainLoop) {
    LocationManager::setCurrentLocation(at(48.8584, 2.2945));
    auto manager = std::make_shared<LocationManager>();
    auto delegate = std::make_shared<RecordingDelegate>();
    manager->setDelegate(delegate);
    manager->setDesiredAccuracy(LocationManager::kDesiredAccuracyBest);
    manager->startUpdatingLocation();
    EXPECT_TRUE(delegate->fixes.empty());  // never from inside the start call
    ASSERT_TRUE(pumpUntil([&] { return delegate->fixes.size() == 1; }));
    EXPECT_FALSE(delegate->previous[0].has_value());

    LocationManager::setCurrentLocation(at(51.5007, -0.1246));
    ASSERT_TRUE(pumpUntil([&] { return delegate->fixes.size() == 2; }));
    EXPECT_EQ(delegate->fixes[1], at(51.5007, -0.1246));
    EXPECT_EQ(delegate->previous[1], at(48.8584, 2.2945));
    EXPECT_EQ(manager->location(), at(51.5007, -0.1246));
    EXPECT_NEAR(delegate->fixes[0].distanceFromLocation(delegate->fixes[1]), 340000, 5000);

    LocationManager::simulateFailure(Error::withDescription(std::string(LocationManager::kErrorDomain),
                                                            LocationManager::kErrorLocationUnknown, "no fix"));
    ASSERT_TRUE(pumpUntil([&] { return delegate->errors.size() == 1; }));

    manager->stopUpdatingLocation();
    LocationManager::setCurrentLocation(at(0, 0));
    pumpPending();
    EXPECT_EQ(delegate->fixes.size(), 2u);
}

TEST_F(LocationManagerTest, DistanceFilterAndSignificantChangesAndDenial) {
    auto manager = std::make_shared<LocationManager>();
    auto delegate = std::make_shared<RecordingDelegate>();
    manager->setDelegate(delegate);
    manager->setDistanceFilter(1000);
    ASSERT_TRUE(LocationManager::significantLocationChangeMonitoringAvailable());
    manager->startMonitoringSignificantLocationChanges();
    LocationManager::setCurrentLocation(at(10, 10));
    LocationManager::setCurrentLocation(at(10.0001, 10));  // about 11 m away: filtered out
    LocationManager::setCurrentLocation(at(10.1, 10));
    pumpPending();
    ASSERT_EQ(delegate->fixes.size(), 2u);
    EXPECT_EQ(delegate->fixes[1].latitude, 10.1);

    LocationManager::setAuthorizationStatus(LocationManager::AuthorizationStatusDenied);
    auto denied = std::make_shared<LocationManager>();
    auto deniedDelegate = std::make_shared<RecordingDelegate>();
    denied->setDelegate(deniedDelegate);
    denied->startUpdatingLocation();
    ASSERT_TRUE(pumpUntil([&] { return deniedDelegate->errors.size() == 1; }));
    EXPECT_EQ(deniedDelegate->errors[0].code(), LocationManager::kErrorDenied);
    EXPECT_FALSE(denied->isUpdatingLocation());
    EXPECT_TRUE(deniedDelegate->fixes.empty());
}

}  // namespace
}  // namespace clipora::platform
