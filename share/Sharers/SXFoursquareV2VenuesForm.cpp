#include "share/Sharers/SXFoursquareV2VenuesForm.h"

#include "platform/foundation/Text.h"
#include "platform/system/LocationManager.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/SearchBar.h"
#include "platform/uikit/TableViewCell.h"
#include "share/Core/SX.h"
#include "share/Sharers/SXFoursquareV2.h"
#include "share/Sharers/SXFoursquareV2Request.h"
#include "share/Sharers/SXFoursquareV2Venue.h"
#include "share/UI/SXActivityIndicator.h"

namespace clipora {

using platform::LocationManager;
using platform::Value;

SXFoursquareV2VenuesForm::SXFoursquareV2VenuesForm() : TableViewController(platform::TableView::StylePlain) {}

SXFoursquareV2VenuesForm::~SXFoursquareV2VenuesForm() {
    if (locationManager_) {
        locationManager_->stopMonitoringSignificantLocationChanges();
        locationManager_->stopUpdatingLocation();
        locationManager_->setDelegate({});
    }
}

std::shared_ptr<SXFoursquareV2VenuesForm> SXFoursquareV2VenuesForm::initWithDelegate(
    std::weak_ptr<SXFoursquareV2> delegate) {
    auto form = std::make_shared<SXFoursquareV2VenuesForm>();
    form->delegate_ = std::move(delegate);
    form->setTitle(localizedShareString("Nearby Places"));
    auto cancelItem = std::make_shared<platform::BarButtonItem>(platform::BarButtonItem::SystemItemCancel);
    cancelItem->setTargetAction(form, &SXFoursquareV2VenuesForm::cancel);
    form->navigationItem()->setLeftBarButtonItemAnimated(cancelItem, false);
    return form;
}

void SXFoursquareV2VenuesForm::loadView() {
    TableViewController::loadView();
    auto keep = sharedAs<SXFoursquareV2VenuesForm>();
    searchBar_ = std::make_shared<platform::SearchBar>();
    searchBar_->setPlaceholder(localizedShareString("Search places"));
    searchBar_->setDelegate(std::static_pointer_cast<platform::SearchBarDelegate>(keep));
    searchDisplay_ = platform::SearchDisplayController::initWithSearchBarContentsController(searchBar_, keep);
    searchDisplay_->setDelegate(std::static_pointer_cast<platform::SearchDisplayDelegate>(keep));
    searchDisplay_->setSearchResultsDataSource(std::static_pointer_cast<platform::TableViewDataSource>(keep));
    searchDisplay_->setSearchResultsDelegate(std::static_pointer_cast<platform::TableViewDelegate>(keep));
    tableView()->setTableHeaderView(searchBar_);
    searchBar_->sizeToFit();
}

void SXFoursquareV2VenuesForm::viewDidAppear(bool animated) {
    TableViewController::viewDidAppear(animated);
    startMonitoringLocation();
}

void SXFoursquareV2VenuesForm::viewDidDisappear(bool animated) {
    TableViewController::viewDidDisappear(animated);
    stopMonitoringLocation();
}

bool SXFoursquareV2VenuesForm::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientation == platform::InterfaceOrientationPortrait;
}

const SXFoursquareV2VenuesForm::Venues& SXFoursquareV2VenuesForm::listFor(
    const std::shared_ptr<platform::TableView>& table) const {
    const bool results = searchDisplay_ && table && table == searchDisplay_->searchResultsTableView();
    return results ? filteredVenues_ : venues_;
}

int SXFoursquareV2VenuesForm::numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>& table) {
    return listFor(table) ? 1 : 0;
}

int SXFoursquareV2VenuesForm::tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& table, int) {
    const auto& list = listFor(table);
    return list ? static_cast<int>(list->size()) : 0;
}

std::shared_ptr<platform::TableViewCell> SXFoursquareV2VenuesForm::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<platform::TableView>& table, const platform::IndexPath& indexPath) {
    auto cell = table->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<platform::TableViewCell>(platform::TableViewCell::CellStyleSubtitle, kCellIdentifier);
    const auto& list = listFor(table);
    if (list && indexPath.row >= 0 && static_cast<std::size_t>(indexPath.row) < list->size()) {
        const auto& venue = (*list)[static_cast<std::size_t>(indexPath.row)];
        cell->textLabel()->setText(venue->name.value_or(""));
        cell->detailTextLabel()->setText(venue->address.value_or(""));
    }
    cell->setAccessoryType(platform::TableViewCell::AccessoryDisclosureIndicator);
    return cell;
}

void SXFoursquareV2VenuesForm::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& table,
                                                                const platform::IndexPath& indexPath) {
    auto keep = sharedAs<SXFoursquareV2VenuesForm>();
    const auto& list = listFor(table);
    auto sharer = delegate_.lock();
    if (!sharer || !list || indexPath.row < 0 || static_cast<std::size_t>(indexPath.row) >= list->size()) return;
    auto venue = (*list)[static_cast<std::size_t>(indexPath.row)];
    auto fix = location_;
    sharer->popViewControllerAnimated(false);
    sharer->setVenue(venue);
    sharer->setLocation(fix);
    sharer->showFoursquareV2CheckInForm();
}

void SXFoursquareV2VenuesForm::searchBarSearchButtonClicked(const std::shared_ptr<platform::SearchBar>& bar) {
    auto text = platform::Text::trimWhitespaceAndNewlines(bar->text());
    query_ = text.empty() ? std::nullopt : std::optional(text);
    if (query_) startloadingVenues();
}

bool SXFoursquareV2VenuesForm::searchDisplayControllerShouldReloadTableForSearchString(
    const std::shared_ptr<platform::SearchDisplayController>&, const std::string&) {
    return false;
}

void SXFoursquareV2VenuesForm::startMonitoringLocation() {
    auto keep = sharedAs<SXFoursquareV2VenuesForm>();
    stopMonitoringLocation();
    locationManager_ = std::make_shared<LocationManager>();
    locationManager_->setDesiredAccuracy(LocationManager::kDesiredAccuracyBest);
    locationManager_->setDelegate(std::static_pointer_cast<platform::LocationManagerDelegate>(keep));
    SXActivityIndicator::currentIndicator()->displayActivity(localizedShareString("Determine your location..."));
    if (LocationManager::significantLocationChangeMonitoringAvailable()) {
        locationManager_->startMonitoringSignificantLocationChanges();
    } else {
        locationManager_->startUpdatingLocation();
    }
}

void SXFoursquareV2VenuesForm::stopMonitoringLocation() {
    if (!locationManager_) return;
    locationManager_->stopMonitoringSignificantLocationChanges();
    locationManager_->stopUpdatingLocation();
    locationManager_->setDelegate({});
    locationManager_.reset();
    location_.reset();
}

void SXFoursquareV2VenuesForm::locationManagerDidUpdateToLocationFromLocation(
    const std::shared_ptr<platform::LocationManager>& manager, const platform::Location& newLocation,
    const std::optional<platform::Location>&) {
    if (manager != locationManager_) return;
    const bool first = !location_;
    location_ = newLocation;
    // Only the first fix of a run searches; later ones just refine it.
    if (first) startloadingVenues();
}

void SXFoursquareV2VenuesForm::startloadingVenues() {
    auto keep = sharedAs<SXFoursquareV2VenuesForm>();
    auto sharer = delegate_.lock();
    if (!sharer) return;
    SXActivityIndicator::currentIndicator()->displayActivity(localizedShareString("Searching places..."));
    if (request_) request_->cancel();
    std::weak_ptr<SXFoursquareV2VenuesForm> weak = keep;
    request_ = SXFoursquareV2Request::requestVenuesSearchLocationQueryDelegateIsFinishedSelectorAccessTokenAutostart(
        location_, query_, keep,
        [weak](const std::shared_ptr<SXRequest>& finished) {
            auto self = weak.lock();
            auto request = std::dynamic_pointer_cast<SXFoursquareV2Request>(finished);
            if (self && request && request == self->request_) self->finishLoadingVenues(request);
        },
        sharer->accessToken().value_or(""), true);
}

void SXFoursquareV2VenuesForm::finishLoadingVenues(const std::shared_ptr<SXFoursquareV2Request>& request) {
    auto keep = sharedAs<SXFoursquareV2VenuesForm>();
    SXActivityIndicator::currentIndicator()->hide();
    venues_.reset();
    if (request->success()) {
        std::vector<std::shared_ptr<SXFoursquareV2Venue>> list;
        const Value* response = request->getFoursquareResponse();
        const Value* found = response ? response->find("venues") : nullptr;
        if (found && found->array()) {
            for (const Value& entry : *found->array()) list.push_back(SXFoursquareV2Venue::venueFromDictionary(entry));
        }
        if (searchDisplay_ && searchDisplay_->isActive()) {
            filteredVenues_ = std::move(list);
            searchDisplay_->searchResultsTableView()->reloadData();
        } else {
            venues_ = std::move(list);
            tableView()->reloadData();
        }
    } else if (auto sharer = delegate_.lock()) {
        const auto& error = request->getFoursquareError();
        // The screens go first: the share has ended and nothing may report
        // a second outcome.
        SX::currentHelper()->hideCurrentViewControllerAnimated(true);
        sharer->sendDidFailWithErrorShouldRelogin(error, SXFoursquareV2Request::getFoursquareRelogin(error));
    }
    request_.reset();
}

void SXFoursquareV2VenuesForm::cancel() {
    auto keep = sharedAs<SXFoursquareV2VenuesForm>();
    if (request_) request_->cancel();
    request_.reset();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    if (auto sharer = delegate_.lock()) sharer->sendDidCancel();
}

}  // namespace clipora
