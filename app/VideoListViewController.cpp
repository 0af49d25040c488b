#include "app/VideoListViewController.h"

#include <algorithm>

#include "app/Utility.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "platform/media/PhotoAlbum.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationController.h"

namespace clipora {

using namespace platform;

VideoListViewController::VideoListViewController(TableView::Style style) : TableViewController(style) {}

void VideoListViewController::viewDidLoad() {
    TableViewController::viewDidLoad();
    setTitle("Videos");
    if (auto nav = navigationController()) nav->navigationBar()->setTintColor(Utility::getColor("003366"));
    auto doneItem = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemDone);
    doneItem->setTargetAction(sharedAs<VideoListViewController>(), &VideoListViewController::done);
    navigationItem()->setRightBarButtonItem(doneItem);
    navigationItem()->setLeftBarButtonItem(editButtonItem());
}

void VideoListViewController::viewWillAppear(bool animated) {
    TableViewController::viewWillAppear(animated);
    refreshTableView();
}

void VideoListViewController::refreshTableView() {
    if (isViewLoaded()) tableView()->reloadData();
}

void VideoListViewController::done() {
    if (auto presenter = presentingViewController())
        presenter->dismissModalViewControllerAnimated(true);
    else if (auto nav = navigationController())
        nav->dismissModalViewControllerAnimated(true);
}

const std::shared_ptr<VideoList>& VideoListViewController::listForSection(int section) const {
    static const std::shared_ptr<VideoList> none;
    switch (section) {
    case SectionPending: return pendingDownloadList_;
    case SectionBookmarks: return bookmarkList_;
    case SectionDownloads: return downloadList_;
    default: return none;
    }
}

std::shared_ptr<Video> VideoListViewController::videoAt(const IndexPath& indexPath) const {
    const auto& list = listForSection(indexPath.section);
    if (!list || indexPath.row < 0 || static_cast<std::size_t>(indexPath.row) >= list->size()) return nullptr;
    return (*list)[static_cast<std::size_t>(indexPath.row)];
}

int VideoListViewController::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int section) {
    const auto& list = listForSection(section);
    return list ? static_cast<int>(list->size()) : 0;
}

std::optional<std::string> VideoListViewController::tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&,
                                                                                     int section) {
    switch (section) {
    case SectionPending: return std::string("Downloading...");
    case SectionBookmarks: return std::string("Bookmarked Videos");
    case SectionDownloads: return std::string("Downloaded Videos");
    default: return std::nullopt;
    }
}

std::shared_ptr<TableViewCell> VideoListViewController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto cell = tableView->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) cell = std::make_shared<TableViewCell>(TableViewCell::CellStyleSubtitle, kCellIdentifier);
    auto video = videoAt(indexPath);
    cell->imageView()->setImage(video ? video->image() : nullptr);
    cell->textLabel()->setText(video ? video->title().value_or(std::string()) : std::string());
    cell->detailTextLabel()->setText(
        Text::format("Posted by: %@", video ? video->ownerName().value_or(std::string()) : std::string()));
    if (indexPath.section == SectionDownloads) {
        cell->setAccessoryType(TableViewCell::AccessoryDisclosureIndicator);
        auto image = Image::imageNamed("add.png");
        const Size size = image ? image->size() : Size{29, 29};
        std::weak_ptr<VideoListViewController> weak = sharedAs<VideoListViewController>();
        auto button = Utility::buttonWithTitleTargetSelectorFrameImageImagePressedDarkTextColor(
            "",
            [weak](const std::shared_ptr<Control>& sender) {
                if (auto self = weak.lock()) self->saveEvent(sender);
            },
            Rect(0, 0, size.width, size.height), image, image, true);
        cell->setAccessoryView(button);
    } else {
        cell->setAccessoryType(TableViewCell::AccessoryNone);
        cell->setAccessoryView(nullptr);
    }
    return cell;
}

void VideoListViewController::saveEvent(const std::shared_ptr<Control>& sender) {
    std::shared_ptr<View> view = sender;
    while (view && !std::dynamic_pointer_cast<TableViewCell>(view)) view = view->superview();
    auto cell = std::dynamic_pointer_cast<TableViewCell>(view);
    if (!cell) return;
    if (auto indexPath = tableView()->indexPathForCell(cell)) saveVideoAtIndexPath(*indexPath);
}

void VideoListViewController::saveVideoAtIndexPath(const IndexPath& indexPath) {
    if (indexPath.section != SectionDownloads) return;
    auto video = videoAt(indexPath);
    auto path = video ? VideoSite::documentsPathForFileName(video->url()) : std::nullopt;
    if (!path || !PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum(*path)) {
        showAlert("Video cannot be saved to Photo Album because it is not compatible!");
        return;
    }
    std::weak_ptr<VideoListViewController> weak = sharedAs<VideoListViewController>();
    PhotoAlbum::saveVideoAtPathToSavedPhotosAlbum(*path,
                                                  [weak](const std::string& saved, const std::optional<Error>& error) {
                                                      if (auto self = weak.lock())
                                                          self->videoDidFinishSavingWithErrorContextInfo(saved, error);
                                                  });
}

void VideoListViewController::videoDidFinishSavingWithErrorContextInfo(const std::string&,
                                                                       const std::optional<Error>& error) {
    if (error) showAlert(Text::format("Error while saving video: %@", error->localizedDescription()));
}

void VideoListViewController::showAlert(const std::string& message) {
    auto alert = std::make_shared<AlertView>("Error", message, std::weak_ptr<AlertViewDelegate>(), std::string("OK"));
    alert->show();
}

void VideoListViewController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                               const IndexPath& indexPath) {
    if (indexPath.section == SectionPending) return;
    auto video = videoAt(indexPath);
    auto d = delegate();
    if (video && d) d->didSelectVideoVideo(sharedAs<VideoListViewController>(), video);
}

bool VideoListViewController::tableViewCanMoveRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                             const IndexPath& indexPath) {
    return indexPath.section == SectionBookmarks || indexPath.section == SectionDownloads;
}

void VideoListViewController::tableViewCommitEditingStyleForRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                                           TableViewCell::EditingStyle style,
                                                                           const IndexPath& indexPath) {
    if (style != TableViewCell::EditingStyleDelete) return;
    auto self = sharedAs<VideoListViewController>();
    auto video = videoAt(indexPath);
    if (!video) return;
    if (indexPath.section == SectionPending) {
        if (auto d = delegate()) d->cancelDownloadVideo(self, video);
    } else if (indexPath.section == SectionDownloads) {
        // Only a plain file name in Documents is removed; any other entry
        // is just dropped from the list.
        if (auto path = VideoSite::documentsPathForFileName(video->url())) FileManager::removeItem(*path);
    }
    const auto& list = listForSection(indexPath.section);
    if (!list) return;
    auto at = std::find(list->begin(), list->end(), video);
    if (at == list->end()) return;  // the delegate already took it out
    list->erase(at);
    tableView->deleteRowsAtIndexPathsWithRowAnimation(
        {indexPath}, list->empty() ? TableView::RowAnimationNone : TableView::RowAnimationFade);
}

IndexPath VideoListViewController::tableViewTargetIndexPathForMoveFromRowAtIndexPathToProposedIndexPath(
    const std::shared_ptr<TableView>&, const IndexPath& from, const IndexPath& proposed) {
    if (proposed.section == from.section) return proposed;
    if (proposed.section < from.section) return IndexPath{from.section, 0};
    const auto& list = listForSection(from.section);
    return IndexPath{from.section, list && !list->empty() ? static_cast<int>(list->size()) - 1 : 0};
}

void VideoListViewController::tableViewMoveRowAtIndexPathToIndexPath(const std::shared_ptr<TableView>&,
                                                                     const IndexPath& from, const IndexPath& to) {
    if (from.section != to.section) return;
    const auto& list = listForSection(from.section);
    if (!list || from.row < 0 || static_cast<std::size_t>(from.row) >= list->size()) return;
    auto video = (*list)[static_cast<std::size_t>(from.row)];
    list->erase(list->begin() + from.row);
    const std::size_t at = std::min(static_cast<std::size_t>(std::max(to.row, 0)), list->size());
    list->insert(list->begin() + static_cast<std::ptrdiff_t>(at), std::move(video));
}

}  // namespace clipora
