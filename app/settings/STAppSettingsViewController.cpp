#include "app/settings/STAppSettingsViewController.h"

#include <algorithm>

#include "app/settings/STClassRegistry.h"
#include "app/settings/STPSSliderSpecifierViewCell.h"
#include "app/settings/STPSTextFieldSpecifierViewCell.h"
#include "app/settings/STPSTitleValueSpecifierViewCell.h"
#include "app/settings/STPSToggleSwitchSpecifierViewCell.h"
#include "app/settings/STSettingsStoreUserDefaults.h"
#include "app/settings/STSpecifierValuesViewController.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/CoreFoundationVersion.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/InterfaceOrientation.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Window.h"

namespace clipora {

using namespace platform;

namespace {

constexpr const char* kReloadTag = "reload";
constexpr const char* kScrollTag = "scroll";

std::string localizedMain(const char* text) { return Bundle::mainBundle()->localizedString(text, text); }

}  // namespace

STAppSettingsViewController::STAppSettingsViewController() = default;

STAppSettingsViewController::~STAppSettingsViewController() {
    NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    RunLoop::main()->cancelPreviousPerformRequests(this);
}

std::shared_ptr<STAppSettingsViewController> STAppSettingsViewController::self() {
    return sharedAs<STAppSettingsViewController>();
}

std::shared_ptr<STSettingsReader> STAppSettingsViewController::settingsReader() {
    if (!settingsReader_) settingsReader_ = STSettingsReader::create(file());
    return settingsReader_;
}

std::shared_ptr<STSettingsStore> STAppSettingsViewController::settingsStore() {
    if (!settingsStore_) settingsStore_ = std::make_shared<STSettingsStoreUserDefaults>();
    return settingsStore_;
}

void STAppSettingsViewController::setFile(std::string file) {
    file_ = std::move(file);
    settingsReader_.reset();
}

std::shared_ptr<STAppSettingsViewController> STAppSettingsViewController::makeChildPane() {
    return std::make_shared<STAppSettingsViewController>();
}

void STAppSettingsViewController::announce(const std::optional<std::string>& key, const Value& value) {
    if (!key) return;  // a row without a key stores nothing
    Value::Dictionary info;
    info.emplace(*key, value);
    NotificationCenter::defaultCenter().post(kAppSettingChanged, Value(*key), Value(std::move(info)));
}

// --- Actions ------------------------------------------------------------------------

void STAppSettingsViewController::dismiss() {
    if (currentFirstResponder_ && currentFirstResponder_->canResignFirstResponder())
        currentFirstResponder_->resignFirstResponder();
    settingsStore()->synchronize();
    if (auto nav = navigationController();
        nav && nav->delegate().get() == static_cast<NavigationControllerDelegate*>(this))
        nav->setDelegate({});
    if (auto d = delegate()) d->settingsViewControllerDidEnd(self());
}

void STAppSettingsViewController::synchronizeSettings() { settingsStore()->synchronize(); }

void STAppSettingsViewController::reload() {
    std::weak_ptr<STAppSettingsViewController> weak = self();
    RunLoop::main()->performAfterDelay(
        0.5,
        [weak] {
            if (auto s = weak.lock(); s && s->tableView()) s->tableView()->reloadData();
        },
        this, kReloadTag);
}

void STAppSettingsViewController::toggledValue(const std::shared_ptr<STSwitch>& sender) {
    if (!sender || !sender->key()) return;
    const std::string& key = *sender->key();
    auto specifier = settingsReader()->specifierForKey(key);
    auto store = settingsStore();
    if (sender->isOn()) {
        auto yes = specifier ? specifier->trueValue() : std::nullopt;
        if (yes)
            store->setObjectForKey(*yes, key);
        else
            store->setBoolForKey(true, key);
    } else {
        auto no = specifier ? specifier->falseValue() : std::nullopt;
        if (no)
            store->setObjectForKey(*no, key);
        else
            store->setBoolForKey(false, key);
    }
    announce(key, store->objectForKey(key).value_or(Value(sender->isOn())));
}

void STAppSettingsViewController::sliderChangedValue(const std::shared_ptr<STSlider>& sender) {
    if (!sender || !sender->key()) return;
    settingsStore()->setFloatForKey(sender->value(), *sender->key());
    announce(sender->key(), Value(static_cast<double>(sender->value())));
}

void STAppSettingsViewController::textChanged(const std::shared_ptr<STTextField>& sender) {
    if (!sender || !sender->key()) return;
    settingsStore()->setObjectForKey(Value(sender->text()), *sender->key());
    announce(sender->key(), Value(sender->text()));
}

// --- View ---------------------------------------------------------------------------

void STAppSettingsViewController::viewDidUnload() {
    STSettingsPaneController::viewDidUnload();
    valuesPane_.reset();
    childPane_.reset();
}

void STAppSettingsViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (tableView()) {
        tableView()->reloadData();
        tableView()->setFrame(view()->bounds());
    }
    navigationItem()->setRightBarButtonItem(nullptr);
    if (auto nav = navigationController()) nav->setDelegate(weakAs<NavigationControllerDelegate>());
    if (showDoneButton_) {
        auto done = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemDone);
        done->setTargetAction(self(), &STAppSettingsViewController::dismiss);
        navigationItem()->setRightBarButtonItemAnimated(done, animated);
    }
    if (title().empty()) setTitle(localizedMain("Settings"));
    if (currentIndexPath_ && animated && tableView()) {
        tableView()->selectRowAtIndexPathAnimatedScrollPosition(*currentIndexPath_, false,
                                                                TableView::ScrollPositionNone);
        tableView()->deselectRowAtIndexPathAnimated(*currentIndexPath_, true);
    }
    currentIndexPath_.reset();
}

void STAppSettingsViewController::viewDidAppear(bool animated) {
    ViewController::viewDidAppear(animated);
    if (tableView()) tableView()->flashScrollIndicators();
    if (observing_) return;
    observing_ = true;
    std::weak_ptr<STAppSettingsViewController> weak = self();
    auto& center = NotificationCenter::defaultCenter();
    const Object* application = Application::sharedApplication().get();
    auto on = [&](const char* name, const Object* sender, void (STAppSettingsViewController::*handler)()) {
        center.addObserver(
            name, sender,
            [weak, handler](const Notification&) {
                if (auto s = weak.lock()) ((*s).*handler)();
            },
            this);
    };
    if (CoreFoundationVersion::number() >= CoreFoundationVersion::kBackgroundVersion) {
        on(Application::kDidEnterBackgroundNotification, application,
           &STAppSettingsViewController::synchronizeSettings);
        on(Application::kWillEnterForegroundNotification, application, &STAppSettingsViewController::reload);
    }
    on(Application::kWillTerminateNotification, application, &STAppSettingsViewController::synchronizeSettings);
    center.addObserver(
        Keyboard::kWillShowNotification, nullptr,
        [weak](const Notification& n) {
            if (auto s = weak.lock()) s->keyboardWillShow(n);
        },
        this);
    center.addObserver(
        Keyboard::kWillHideNotification, nullptr,
        [weak](const Notification& n) {
            if (auto s = weak.lock()) s->keyboardWillHide(n);
        },
        this);
}

void STAppSettingsViewController::viewWillDisappear(bool animated) {
    ViewController::viewWillDisappear(animated);
    NotificationCenter::defaultCenter().removeObserver(this, Keyboard::kWillShowNotification);
    if (currentFirstResponder_ && currentFirstResponder_->canResignFirstResponder())
        currentFirstResponder_->resignFirstResponder();
    RunLoop::main()->cancelPreviousPerformRequests(this);
}

void STAppSettingsViewController::viewDidDisappear(bool animated) {
    ViewController::viewDidDisappear(animated);
    stopObserving();
}

void STAppSettingsViewController::stopObserving() {
    NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    observing_ = false;
}

Size STAppSettingsViewController::contentSizeForViewInPopover() { return view()->sizeThatFits(Size{320, 2000}); }

// --- Keyboard -----------------------------------------------------------------------

void STAppSettingsViewController::keyboardWillShow(const Notification& notification) {
    auto nav = navigationController();
    if (!nav || nav->topViewController().get() != this || !tableView()) return;
    std::optional<Rect> keyboard;
    if (auto* bounds = notification.userInfo.find(Keyboard::kBoundsUserInfoKey))
        keyboard = GeometryValue::rectFrom(*bounds);
    if (!keyboard)
        if (auto* frame = notification.userInfo.find(Keyboard::kFrameEndUserInfoKey))
            keyboard = GeometryValue::rectFrom(*frame);
    auto window = Application::sharedApplication()->keyWindow();
    if (!keyboard || !window) return;
    Rect windowBounds = window->bounds();
    Rect tableInWindow = tableView()->convertRectToView(tableView()->bounds(), window);
    const int orientation = Application::sharedApplication()->statusBarOrientation();
    if (interfaceOrientationIsLandscape(orientation)) {
        std::swap(windowBounds.origin.x, windowBounds.origin.y);
        std::swap(windowBounds.size.width, windowBounds.size.height);
        std::swap(tableInWindow.origin.x, tableInWindow.origin.y);
        std::swap(tableInWindow.size.width, tableInWindow.size.height);
    }
    Rect frame = tableView()->frame();
    const float covered = keyboard->size.height - (windowBounds.maxY() - tableInWindow.maxY());
    if (covered > 0) frame.size.height -= covered;
    tableView()->setFrame(frame);
    RunLoop::main()->cancelPreviousPerformRequests(this);
    if (currentFirstResponder_) {
        auto cell = currentFirstResponder_->superview() ? currentFirstResponder_->superview()->superview() : nullptr;
        if (auto row = tableView()->indexPathForCell(std::dynamic_pointer_cast<TableViewCell>(cell)))
            tableView()->scrollToRowAtIndexPathAtScrollPositionAnimated(*row, TableView::ScrollPositionMiddle, true);
    }
}

void STAppSettingsViewController::keyboardWillHide(const Notification&) {
    auto nav = navigationController();
    if (!nav || nav->topViewController().get() != this || !tableView()) return;
    tableView()->setFrame(view()->bounds());
    if (!topmostRowBeforeKeyboardWasShown_) return;
    std::weak_ptr<STAppSettingsViewController> weak = self();
    const IndexPath row = *topmostRowBeforeKeyboardWasShown_;
    RunLoop::main()->performAfterDelay(
        0.1,
        [weak, row] {
            if (auto s = weak.lock(); s && s->tableView())
                s->tableView()->scrollToRowAtIndexPathAtScrollPositionAnimated(row, TableView::ScrollPositionTop, true);
        },
        this, kScrollTag);
}

// --- Table --------------------------------------------------------------------------

int STAppSettingsViewController::numberOfSectionsInTableView(const std::shared_ptr<TableView>&) {
    return settingsReader()->numberOfSections();
}

int STAppSettingsViewController::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int section) {
    return settingsReader()->numberOfRowsForSection(section);
}

std::optional<float> STAppSettingsViewController::tableViewHeightForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto specifier = settingsReader()->specifierForIndexPath(indexPath.section, indexPath.row);
    if (specifier && specifier->type() == STSpecifier::kCustomView) {
        auto d = delegate();
        return d ? d->tableViewHeightForSpecifier(tableView, specifier).value_or(0) : 0;
    }
    return tableView->rowHeight();
}

std::optional<std::string> STAppSettingsViewController::tableViewTitleForHeaderInSection(
    const std::shared_ptr<TableView>&, int section) {
    auto title = settingsReader()->titleForSection(section);
    if (!title || title->empty()) return std::nullopt;
    return title;
}

std::shared_ptr<View> STAppSettingsViewController::tableViewViewForHeaderInSection(
    const std::shared_ptr<TableView>& tableView, int section) {
    auto d = delegate();
    return d ? d->tableViewViewForHeaderForKey(tableView, settingsReader()->keyForSection(section)) : nullptr;
}

std::optional<float> STAppSettingsViewController::tableViewHeightForHeaderInSection(
    const std::shared_ptr<TableView>& tableView, int section) {
    if (tableViewViewForHeaderInSection(tableView, section)) {
        auto d = delegate();
        auto height =
            d ? d->tableViewHeightForHeaderForKey(tableView, settingsReader()->keyForSection(section)) : std::nullopt;
        if (height && *height != 0) return height;
    }
    auto title = tableViewTitleForHeaderInSection(tableView, section);
    if (!title) return 0.0f;
    const Font font = Font::boldSystemFontOfSize(Font::labelFontSize());
    return font.heightOfTextConstrainedToWidth(*title, tableView->bounds().size.width - 38) + 15;
}

std::optional<std::string> STAppSettingsViewController::tableViewTitleForFooterInSection(
    const std::shared_ptr<TableView>&, int section) {
    const std::string footer = settingsReader()->footerTextForSection(section).value_or(std::string());
    if (showCreditsFooter_ && section == settingsReader()->numberOfSections() - 1)
        return footer.empty() ? std::string(kCreditsText) : Text::format("%@\n\n%@", footer, kCreditsText);
    if (footer.empty()) return std::nullopt;
    return footer;
}

std::optional<Value> STAppSettingsViewController::currentValue(const STSpecifier& specifier) {
    const auto key = specifier.key();
    if (key)
        if (auto stored = settingsStore()->objectForKey(*key)) return stored;
    return specifier.defaultValue();
}

std::shared_ptr<TableViewCell> STAppSettingsViewController::titleValueCell(const std::shared_ptr<TableView>& tableView,
                                                                           const std::string& type, bool disclosure) {
    auto cell = tableView->dequeueReusableCellWithIdentifier(type);
    if (!cell) {
        cell = std::make_shared<STPSTitleValueSpecifierViewCell>(type);
        cell->setAccessoryType(disclosure ? TableViewCell::AccessoryDisclosureIndicator : TableViewCell::AccessoryNone);
    }
    cell->detailTextLabel()->setText("");
    return cell;
}

std::shared_ptr<TableViewCell> STAppSettingsViewController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto specifier = settingsReader()->specifierForIndexPath(indexPath.section, indexPath.row);
    const std::string type = specifier ? specifier->type().value_or(std::string()) : std::string();
    auto plainCell = [&](TextAlignment alignment) {
        auto cell = tableView->dequeueReusableCellWithIdentifier(type);
        if (!cell) cell = std::make_shared<TableViewCell>(TableViewCell::CellStyleDefault, type);
        cell->textLabel()->setText(specifier ? specifier->title() : std::string());
        cell->textLabel()->setTextAlignment(alignment);
        return cell;
    };
    if (!specifier) return plainCell(TextAlignmentLeft);

    if (type == STSpecifier::kToggleSwitch) {
        auto cell = std::dynamic_pointer_cast<STPSToggleSwitchSpecifierViewCell>(
            tableView->dequeueReusableCellWithIdentifier(type));
        if (!cell) cell = STPSToggleSwitchSpecifierViewCell::create(type);
        cell->label()->setText(specifier->title());
        bool on = specifier->defaultBoolValue();
        if (const auto key = specifier->key())
            if (auto stored = settingsStore()->objectForKey(*key)) {
                auto yes = specifier->trueValue();
                auto no = specifier->falseValue();
                if (yes && *stored == *yes)
                    on = true;
                else if (no && *stored == *no)
                    on = false;
                else
                    on = stored->boolValue();
            }
        auto toggle = cell->toggle();
        toggle->setOn(on);
        toggle->removeTargetForControlEvents(this, Control::EventValueChanged);
        toggle->addTargetActionForControlEvents(self(), &STAppSettingsViewController::toggledValue,
                                                Control::EventValueChanged);
        toggle->setKey(specifier->key());
        return cell;
    }
    if (type == STSpecifier::kMultiValue) {
        auto cell = titleValueCell(tableView, type, true);
        cell->textLabel()->setText(specifier->title());
        auto value = currentValue(*specifier);
        cell->detailTextLabel()->setText(value ? specifier->titleForCurrentValue(*value).value_or(std::string())
                                               : std::string());
        return cell;
    }
    if (type == STSpecifier::kTitleValue) {
        auto cell = titleValueCell(tableView, type, false);
        cell->textLabel()->setText(specifier->title());
        auto value = currentValue(*specifier);
        std::string detail;
        if (value) {
            const bool described = specifier->objectForKey("Values") || specifier->objectForKey("Titles");
            detail = described ? specifier->titleForCurrentValue(*value).value_or(std::string()) : value->description();
        }
        cell->detailTextLabel()->setText(detail);
        cell->setUserInteractionEnabled(false);
        return cell;
    }
    if (type == STSpecifier::kTextField) {
        auto cell = std::dynamic_pointer_cast<STPSTextFieldSpecifierViewCell>(
            tableView->dequeueReusableCellWithIdentifier(type));
        if (!cell) {
            cell = STPSTextFieldSpecifierViewCell::create(type);
            cell->textField()->setTextAlignment(TextAlignmentLeft);
            cell->textField()->setReturnKeyType(TextField::ReturnKeyDone);
            cell->setAccessoryType(TableViewCell::AccessoryNone);
        }
        cell->label()->setText(specifier->title());
        auto value = currentValue(*specifier);
        auto field = cell->textField();
        field->setText(Text::format("%@", value ? value->description() : std::string()));
        field->setKey(specifier->key());
        field->setDelegate(weakAs<TextFieldDelegate>());
        field->removeTargetForControlEvents(this, Control::EventEditingChanged);
        field->addTargetActionForControlEvents(self(), &STAppSettingsViewController::textChanged,
                                               Control::EventEditingChanged);
        field->setSecureTextEntry(specifier->isSecure());
        field->setKeyboardType(specifier->keyboardType());
        field->setAutocapitalizationType(specifier->autocapitalizationType());
        field->setAutocorrectionType(specifier->autoCorrectionType());
        cell->setNeedsLayout();
        return cell;
    }
    if (type == STSpecifier::kSlider) {
        auto cell =
            std::dynamic_pointer_cast<STPSSliderSpecifierViewCell>(tableView->dequeueReusableCellWithIdentifier(type));
        if (!cell) cell = STPSSliderSpecifierViewCell::create(type);
        auto reader = settingsReader();
        if (auto name = specifier->minimumValueImage(); name && !name->empty())
            cell->minImage()->setImage(Image::imageWithContentsOfFile(reader->pathForImageNamed(*name)));
        if (auto name = specifier->maximumValueImage(); name && !name->empty())
            cell->maxImage()->setImage(Image::imageWithContentsOfFile(reader->pathForImageNamed(*name)));
        auto slider = cell->slider();
        slider->setMinimumValue(specifier->minimumValue());
        slider->setMaximumValue(specifier->maximumValue());
        auto value = currentValue(*specifier);
        slider->setValue(value ? static_cast<float>(value->doubleValue()) : 0.0f);
        slider->removeTargetForControlEvents(this, Control::EventValueChanged);
        slider->addTargetActionForControlEvents(self(), &STAppSettingsViewController::sliderChangedValue,
                                                Control::EventValueChanged);
        slider->setKey(specifier->key());
        cell->setNeedsLayout();
        return cell;
    }
    if (type == STSpecifier::kChildPane) {
        auto cell = titleValueCell(tableView, type, true);
        cell->textLabel()->setText(specifier->title());
        return cell;
    }
    if (type == STSpecifier::kOpenURL || type == STSpecifier::kMailCompose) {
        auto cell = titleValueCell(tableView, type, true);
        cell->textLabel()->setText(specifier->title());
        cell->detailTextLabel()->setText(specifier->defaultStringValue());
        return cell;
    }
    if (type == STSpecifier::kButton) return plainCell(TextAlignmentCenter);
    if (type == STSpecifier::kCustomView) {
        if (auto d = delegate())
            if (auto cell = d->tableViewCellForSpecifier(tableView, specifier)) return cell;
    }
    return plainCell(TextAlignmentLeft);
}

std::optional<IndexPath> STAppSettingsViewController::tableViewWillSelectRowAtIndexPath(
    const std::shared_ptr<TableView>&, const IndexPath& indexPath) {
    auto specifier = settingsReader()->specifierForIndexPath(indexPath.section, indexPath.row);
    if (specifier && specifier->type() == STSpecifier::kToggleSwitch) return std::nullopt;
    return indexPath;
}

void STAppSettingsViewController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                                   const IndexPath& indexPath) {
    auto specifier = settingsReader()->specifierForIndexPath(indexPath.section, indexPath.row);
    const std::string type = specifier ? specifier->type().value_or(std::string()) : std::string();
    auto nav = navigationController();

    if (type == STSpecifier::kMultiValue) {
        if (!valuesPane_) valuesPane_ = std::make_shared<STSpecifierValuesViewController>();
        currentIndexPath_ = indexPath;
        valuesPane_->setCurrentSpecifier(specifier);
        valuesPane_->setSettingsReader(settingsReader());
        valuesPane_->setSettingsStore(settingsStore());
        if (nav) nav->pushViewControllerAnimated(valuesPane_, true);
        return;
    }
    if (type == STSpecifier::kTextField) {
        auto cell =
            std::dynamic_pointer_cast<STPSTextFieldSpecifierViewCell>(tableView->cellForRowAtIndexPath(indexPath));
        if (cell) cell->textField()->becomeFirstResponder();
        return;
    }
    if (type == STSpecifier::kChildPane) {
        if (auto className = specifier->viewControllerClass()) {
            auto screen = STClassRegistry::makeScreen(*className, specifier->viewControllerSelector(),
                                                      specifier->file(), specifier->key());
            if (!screen) {
                tableView->deselectRowAtIndexPathAnimated(indexPath, true);
                return;
            }
            if (auto settingsScreen = std::dynamic_pointer_cast<STAppSettingsViewController>(screen)) {
                settingsScreen->setDelegate(delegate_);
                settingsScreen->setSettingsStore(settingsStore());
            }
            if (nav) {
                nav->setDelegate({});
                nav->pushViewControllerAnimated(screen, true);
            }
            return;
        }
        if (auto file = specifier->file()) {
            if (!childPane_) {
                childPane_ = makeChildPane();
                childPane_->setShowDoneButton(false);
                childPane_->setSettingsStore(settingsStore());
                childPane_->setDelegate(delegate_);
            }
            currentIndexPath_ = indexPath;
            childPane_->setFile(*file);
            childPane_->setTitle(specifier->title());
            childPane_->setShowCreditsFooter(false);
            if (nav) nav->pushViewControllerAnimated(childPane_, true);
            return;
        }
        tableView->deselectRowAtIndexPathAnimated(indexPath, true);
        return;
    }
    if (type == STSpecifier::kOpenURL) {
        tableView->deselectRowAtIndexPathAnimated(indexPath, true);
        if (auto url = URL::fromString(specifier->file().value_or(std::string())))
            Application::sharedApplication()->openURL(*url);
        return;
    }
    if (type == STSpecifier::kButton) {
        tableView->deselectRowAtIndexPathAnimated(indexPath, true);
        auto d = delegate();
        if (d && d->settingsViewControllerButtonTappedForKey(self(), specifier->key())) return;
        auto className = specifier->buttonClass();
        auto selector = specifier->buttonAction();
        if (!className || !selector) return;
        if (auto action = STClassRegistry::buttonAction(*className, *selector)) {
            Log::write(
                "STSettingsKit Warning: Using STButtonSpecifier without implementing the delegate method is "
                "deprecated");
            action(self(), specifier->key());
        }
        return;
    }
    if (type == STSpecifier::kMailCompose) {
        tableView->deselectRowAtIndexPathAnimated(indexPath, true);
        openMailComposer(specifier);
        return;
    }
    // Switches, sliders and everything else.
    tableView->deselectRowAtIndexPathAnimated(indexPath, false);
}

void STAppSettingsViewController::openMailComposer(const std::shared_ptr<STSpecifier>& specifier) {
    if (!MailComposeViewController::canSendMail()) {
        auto alert = std::make_shared<AlertView>(
            localizedMain("Mail not configured"),
            localizedMain("This device is not configured for sending Email. Please configure the Mail settings in the "
                          "Settings app."),
            std::weak_ptr<AlertViewDelegate>(), localizedMain("OK"), std::vector<std::string>{});
        alert->show();
        return;
    }
    auto composer = MailComposeViewController::create();
    if (!composer) return;
    composer->setSubject(specifier->localizedObjectForKey("STMailComposeSubject"));
    auto recipients = [&](const char* key) {
        std::vector<std::string> list;
        if (auto* value = specifier->objectForKey(key); value && value->array())
            for (const auto& entry : *value->array())
                if (entry.string()) list.push_back(*entry.string());
        return list;
    };
    if (specifier->objectForKey("STMailComposeToRecipents"))
        composer->setToRecipients(recipients("STMailComposeToRecipents"));
    if (specifier->objectForKey("STMailComposeCcRecipents"))
        composer->setCcRecipients(recipients("STMailComposeCcRecipents"));
    if (specifier->objectForKey("STMailComposeBccRecipents"))
        composer->setBccRecipients(recipients("STMailComposeBccRecipents"));
    auto d = delegate();
    std::optional<std::string> body = d ? d->mailComposeBody() : std::nullopt;
    if (!body) body = specifier->localizedObjectForKey("STMailComposeBody");
    const auto* html = specifier->objectForKey("STMailComposeBodyIsHTML");
    composer->setMessageBodyIsHTML(*body, html && html->boolValue());
    std::shared_ptr<ViewController> presenter = d ? d->viewControllerForMailComposeView() : nullptr;
    if (!presenter) presenter = self();
    composer->setMailComposeDelegate(presenter == self()
                                         ? weakAs<MailComposeViewControllerDelegate>()
                                         : std::dynamic_pointer_cast<MailComposeViewControllerDelegate>(presenter));
    presenter->presentModalViewControllerAnimated(composer, true);
}

void STAppSettingsViewController::mailComposeControllerDidFinishWithResultError(
    const std::shared_ptr<MailComposeViewController>&, MailComposeResult, const std::optional<Error>&) {
    dismissModalViewControllerAnimated(true);
}

void STAppSettingsViewController::navigationControllerWillShowViewControllerAnimated(
    const std::shared_ptr<NavigationController>&, const std::shared_ptr<ViewController>& viewController, bool) {
    if (std::dynamic_pointer_cast<STAppSettingsViewController>(viewController) ||
        std::dynamic_pointer_cast<STSpecifierValuesViewController>(viewController))
        return;
    dismiss();
}

// --- Text fields --------------------------------------------------------------------

bool STAppSettingsViewController::textFieldShouldBeginEditing(const std::shared_ptr<TextField>& textField) {
    textField->setTextAlignment(TextAlignmentLeft);
    currentFirstResponder_ = textField;
    return true;
}

void STAppSettingsViewController::textFieldDidBeginEditing(const std::shared_ptr<TextField>& textField) {
    currentFirstResponder_ = textField;
    auto visible = tableView() ? tableView()->indexPathsForVisibleRows() : std::vector<IndexPath>{};
    if (visible.empty()) {
        topmostRowBeforeKeyboardWasShown_ = IndexPath{0, 0};
        textField->resignFirstResponder();
        return;
    }
    topmostRowBeforeKeyboardWasShown_ = visible.front();
}

void STAppSettingsViewController::textFieldDidEndEditing(const std::shared_ptr<TextField>&) {
    currentFirstResponder_.reset();
}

bool STAppSettingsViewController::textFieldShouldReturn(const std::shared_ptr<TextField>& textField) {
    textField->resignFirstResponder();
    return true;
}

}  // namespace clipora
