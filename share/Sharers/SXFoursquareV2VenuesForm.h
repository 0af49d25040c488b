#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/Location.h"
#include "platform/system/LocationManagerDelegate.h"
#include "platform/uikit/SearchBarDelegate.h"
#include "platform/uikit/SearchDisplayController.h"
#include "platform/uikit/TableViewController.h"

namespace clipora {

namespace platform {
class LocationManager;
class SearchBar;
}  // namespace platform

class SXFoursquareV2;
class SXFoursquareV2Request;
class SXFoursquareV2Venue;

// The places near the device, found from its location, with a search bar;
// choosing one opens the check-in form. Main thread only.
class SXFoursquareV2VenuesForm : public platform::TableViewController,
                                 public platform::LocationManagerDelegate,
                                 public platform::SearchBarDelegate,
                                 public platform::SearchDisplayDelegate {
public:
    static constexpr const char* kCellIdentifier = "SXFoureSquareV2VenueCell";

    SXFoursquareV2VenuesForm();
    ~SXFoursquareV2VenuesForm() override;
    static std::shared_ptr<SXFoursquareV2VenuesForm> initWithDelegate(std::weak_ptr<SXFoursquareV2> delegate);

    void loadView() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;

    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>& tableView) override;
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                          const platform::IndexPath& indexPath) override;

    void locationManagerDidUpdateToLocationFromLocation(const std::shared_ptr<platform::LocationManager>& manager,
                                                        const platform::Location& newLocation,
                                                        const std::optional<platform::Location>& oldLocation) override;
    void searchBarSearchButtonClicked(const std::shared_ptr<platform::SearchBar>& searchBar) override;
    // The results are searched on the service, not filtered as typed.
    bool searchDisplayControllerShouldReloadTableForSearchString(
        const std::shared_ptr<platform::SearchDisplayController>& controller, const std::string& searchString) override;

    void startMonitoringLocation();
    void stopMonitoringLocation();
    void startloadingVenues();
    void finishLoadingVenues(const std::shared_ptr<SXFoursquareV2Request>& request);
    void cancel();

    const std::shared_ptr<platform::SearchBar>& searchBar() const { return searchBar_; }
    const std::shared_ptr<platform::SearchDisplayController>& searchDisplay() const { return searchDisplay_; }
    const std::shared_ptr<platform::LocationManager>& locationManager() const { return locationManager_; }
    const std::optional<platform::Location>& location() const { return location_; }
    const std::optional<std::string>& query() const { return query_; }
    const std::optional<std::vector<std::shared_ptr<SXFoursquareV2Venue>>>& venues() const { return venues_; }
    const std::optional<std::vector<std::shared_ptr<SXFoursquareV2Venue>>>& filteredVenues() const {
        return filteredVenues_;
    }
    const std::shared_ptr<SXFoursquareV2Request>& request() const { return request_; }
    std::string description() const override { return "SXFoursquareV2VenuesForm"; }

private:
    using Venues = std::optional<std::vector<std::shared_ptr<SXFoursquareV2Venue>>>;
    const Venues& listFor(const std::shared_ptr<platform::TableView>& tableView) const;

    std::weak_ptr<SXFoursquareV2> delegate_;
    std::shared_ptr<SXFoursquareV2Request> request_;
    std::shared_ptr<platform::LocationManager> locationManager_;
    std::optional<platform::Location> location_;
    std::optional<std::string> query_;
    Venues venues_;
    Venues filteredVenues_;
    std::shared_ptr<platform::SearchBar> searchBar_;
    std::shared_ptr<platform::SearchDisplayController> searchDisplay_;
};

}  // namespace clipora
