#include "tools/clipora/DeviceProgram.h"

#include "tools/clipora/NotificationBanner.h"
#include "tools/clipora/RowControls.h"
#include "tools/clipora/StandinRoute.h"
#include "tools/clipora/TerminalText.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "app/AlbumCell.h"
#include "app/OptionListViewController.h"
#include "app/ProgressHUD.h"
#include "app/QRBBaseViewController.h"
#include "platform/cfnetwork/TLSTrust.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/media/MoviePlayerController.h"
#include "platform/media/MoviePlayerViewController.h"
#include "platform/media/TweetComposeViewController.h"
#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/ScreenReader.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/Toolbar.h"
#include "platform/uikit/WebView.h"
#include "platform/uikit/Window.h"
#include "share/UI/SXActivityIndicator.h"
#include "share/UI/SXFormControllerLargeTextField.h"
#include "social/sdk/FBDialog.h"
#include "social/sdk/FBHosts.h"
#include "social/sdk/FBLoginButton.h"

namespace clipora::device {

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

std::string itemTitle(const std::shared_ptr<BarButtonItem>& item) {
    if (!item) return {};
    std::string title = item->title();
    if (!title.empty()) return title;
    if (auto system = item->systemItem()) {
        switch (*system) {
        case BarButtonItem::SystemItemAction: return "Action";
        case BarButtonItem::SystemItemRefresh: return "Refresh";
        case BarButtonItem::SystemItemStop: return "Stop";
        case BarButtonItem::SystemItemAdd: return "+";
        default: return "Item";
        }
    }
    return {};
}

std::string buttonTitle(const std::shared_ptr<platform::Button>& button) {
    if (auto login = std::dynamic_pointer_cast<FBLoginButton>(button))
        return login->isLoggedIn() ? "Log Out" : "Log In";
    std::string title = button->currentTitle().value_or("");
    if (!title.empty()) return title;
    // A web dialog's close button is a picture of a cross.
    for (auto view = button->superview(); view; view = view->superview())
        if (auto dialog = std::dynamic_pointer_cast<FBDialog>(view); dialog && dialog->closeButton() == button)
            return "Close";
    return button->currentImage() || button->currentBackgroundImage() ? "(picture)" : "(button)";
}

bool shows(const std::shared_ptr<View>& view) { return view && !view->isHidden() && view->alpha() > 0; }

// The page a view shows, if any (a web widget in a row is the row's).
std::shared_ptr<WebView> findWebView(const std::shared_ptr<View>& view) {
    if (!shows(view) || std::dynamic_pointer_cast<TableView>(view)) return nullptr;
    if (auto web = std::dynamic_pointer_cast<WebView>(view)) return web;
    for (const auto& subview : view->subviews())
        if (auto web = findWebView(subview)) return web;
    return nullptr;
}

// The page's own title: its <title>, else its first heading.
std::string pageTitle(const std::shared_ptr<WebView>& web) {
    for (const char* tag : {"title", "h1"})
        for (const auto& element : web->document().elements())
            if (element.tag == tag && !element.text.empty()) return element.text;
    return {};
}

// Whether anything in the view would be drawn: a page, a text, a control.
bool hasContent(const std::shared_ptr<View>& view) {
    if (!shows(view)) return false;
    if (std::dynamic_pointer_cast<WebView>(view) || std::dynamic_pointer_cast<Control>(view)) return true;
    if (auto label = std::dynamic_pointer_cast<Label>(view)) return !label->text().empty();
    for (const auto& subview : view->subviews())
        if (hasContent(subview)) return true;
    return false;
}

// The views a window shows above its screens that belong to no screen: a
// web dialog and the like. Alerts, sheets, the HUD and the sharing
// framework's indicator are drawn on their own.
std::vector<std::shared_ptr<View>> overlays() {
    std::vector<std::shared_ptr<View>> found;
    auto window = ScreenReader::activeWindow();
    if (!window) return found;
    for (const auto& view : window->subviews()) {
        if (view->viewController() || std::dynamic_pointer_cast<AlertView>(view) ||
            std::dynamic_pointer_cast<ActionSheet>(view) || std::dynamic_pointer_cast<ProgressHUD>(view) ||
            std::dynamic_pointer_cast<SXActivityIndicator>(view) || !hasContent(view))
            continue;
        found.push_back(view);
    }
    return found;
}

// Every text that came from outside (the network's titles, names and
// messages, what the user typed) reaches the terminal through these.
std::string shown(std::string_view text) { return TerminalText::printable(text); }
std::string echoed(std::string_view text) { return TerminalText::printable(text, TerminalText::kEchoLimit); }

// A number written out whole ("0.5", "1"); none for anything else.
std::optional<double> parseNumber(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// How far past its top "refresh" pulls a list: beyond the distance at which
// the pull-to-refresh header lets go.
constexpr float kRefreshPull = 90;

std::string percent(double fraction) {
    return std::to_string(static_cast<int>(std::floor(std::max(0.0, std::min(1.0, fraction)) * 100))) + "%";
}

}  // namespace

DeviceProgram::DeviceProgram(Options options) : options_(std::move(options)) {}

void DeviceProgram::launch() {
    if (!options_.caFile.empty()) TLSTrust::setExtraCAFile(options_.caFile);
    routeToStandin(options_.standinPort);

    handOver_ = std::make_shared<BrowserHandOver>();
    auto app = Application::sharedApplication();
    std::weak_ptr<BrowserHandOver> weak = handOver_;
    // The system browser and the network's own app: their login pages are
    // answered in the terminal.
    auto browser = [weak](const URL& url) {
        auto handOver = weak.lock();
        if (!handOver) return false;
        handOver->open(url);
        return true;
    };
    app->registerURLSchemeHandler("http", browser);
    app->registerURLSchemeHandler("https", browser);
    auto networkApp = [weak](const URL& url) {
        auto handOver = weak.lock();
        auto page = URL::fromString("https://" + FBHosts::current().web + "/app/authorize?" + url.query().value_or(""));
        if (!handOver || !page) return false;
        handOver->open(*page);
        return true;
    };
    app->registerURLSchemeHandler("fbauth", networkApp);
    app->registerURLSchemeHandler("fbauth2", networkApp);

    delegate_ = CinevueAppDelegate::create();
    app->launch(delegate_);
}

void DeviceProgram::turn(std::chrono::milliseconds maxWait) {
    RunLoop::main()->runOnce(RunLoop::defaultMode, maxWait);
    if (watcher_) watcher_->look();
}

void DeviceProgram::settle(double seconds) {
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::string last = screenText();
    auto stableSince = Clock::now();
    while (Clock::now() < deadline) {
        turn(std::chrono::milliseconds(50));
        const std::string now = screenText();
        if (now != last) {
            last = now;
            stableSince = Clock::now();
        }
        if (Clock::now() - stableSince >= std::chrono::milliseconds(250)) return;
    }
}

namespace {

// Builds a drawing: the text, and the buttons numbered in the order they
// are added. While something above takes the finger (an alert), buttons
// are drawn without a number.
class Painter {
public:
    explicit Painter(DeviceProgram::Drawing& drawing) : drawing_(drawing) {}

    std::ostringstream out;
    bool numbering = true;

    // The button as drawn: "[b N] Title", or the title alone when it cannot
    // be pressed now.
    std::string button(const std::string& title, std::function<void()> press) {
        if (!numbering) return "(" + shown(title) + ")";
        drawing_.buttons.push_back({title, std::move(press)});
        return "[b " + std::to_string(drawing_.buttons.size()) + "] " + shown(title);
    }
    std::string control(const std::shared_ptr<platform::Button>& control) {
        return button(buttonTitle(control), [control] { control->tap(); });
    }
    std::string control(const std::shared_ptr<Switch>& control) {
        return button(std::string("switch ") + (control->isOn() ? "[on]" : "[off]"), [control] { control->tap(); });
    }

    // A view's own labels, buttons and switches, one a line in view order
    // (tables, bars and pages are drawn on their own).
    void views(const std::shared_ptr<View>& view, const std::string& title) {
        if (!shows(view) || std::dynamic_pointer_cast<TableView>(view) ||
            std::dynamic_pointer_cast<NavigationBar>(view) || std::dynamic_pointer_cast<Toolbar>(view) ||
            std::dynamic_pointer_cast<WebView>(view) || std::dynamic_pointer_cast<ActivityIndicatorView>(view))
            return;
        if (auto pressable = std::dynamic_pointer_cast<platform::Button>(view)) {
            out << "  " << control(pressable) << "\n";
            return;
        }
        if (auto toggle = std::dynamic_pointer_cast<Switch>(view)) {
            out << "  " << control(toggle) << "\n";
            return;
        }
        if (auto label = std::dynamic_pointer_cast<Label>(view)) {
            // The screen's own title label repeats the title above.
            if (!label->text().empty() && label->text() != title) out << "  " << shown(label->text()) << "\n";
            return;
        }
        for (const auto& subview : view->subviews()) views(subview, title);
    }

    // The page: its address, whether it loads, and its links.
    void page(const std::shared_ptr<WebView>& web) {
        auto address = web->mainDocumentURL();
        out << "  page: " << (address ? shown(address->absoluteString()) : std::string("(none)"))
            << (web->isLoading() ? " (loading)" : "") << "\n";
        auto links = web->links();
        for (std::size_t i = 0; i < links.size(); ++i)
            out << "  [l " << (i + 1) << "] " << shown(links[i].text.empty() ? links[i].href : links[i].text)
                << (WebView::opensNewWindow(links[i]) ? " (new window)" : "") << "\n";
        out << PageForms::screenText(*web);
    }

private:
    DeviceProgram::Drawing& drawing_;
};

// The number a row is drawn with: its place in the whole table, from 1.
int rowNumber(const std::shared_ptr<TableView>& table, const IndexPath& indexPath) {
    int number = indexPath.row + 1;
    for (int section = 0; section < indexPath.section; ++section) number += table->numberOfRowsInSection(section);
    return number;
}

int rowCount(const std::shared_ptr<TableView>& table) {
    int count = 0;
    for (int section = 0; section < table->numberOfSections(); ++section)
        count += table->numberOfRowsInSection(section);
    return count;
}

}  // namespace

DeviceProgram::Drawing DeviceProgram::draw() {
    Drawing drawing;
    if (handOver_ && handOver_->isActive()) {
        drawing.text = handOver_->screenText();
        auto handOver = handOver_;
        if (handOver->state() == BrowserHandOver::State::ShowingForm) {
            drawing.buttons.push_back({"Log In", [handOver] { handOver->logIn(); }});
            drawing.buttons.push_back({"Cancel", [handOver] { handOver->cancel(); }});
        } else {
            drawing.buttons.push_back({"Close", [handOver] { handOver->close(); }});
        }
        return drawing;
    }

    Painter paint(drawing);
    auto& out = paint.out;
    auto top = ScreenReader::topViewController();
    auto shot = ScreenReader::read();
    auto above = overlays();
    drawing.covered = !above.empty();
    // An alert or sheet takes the finger from everything below it.
    paint.numbering = !shot.alert;
    std::string bar;  // the bar buttons, drawn on the screen's last line
    auto barButton = [&](const std::string& title, std::function<void()> press) {
        bar += " " + paint.button(title, std::move(press));
    };
    if (auto player = std::dynamic_pointer_cast<MoviePlayerViewController>(top)) {
        out << "== Now playing ==\n  " << shown(player->moviePlayer()->contentURL().absoluteString()) << "\n";
        barButton("Done", [player] { player->done(); });
    } else if (auto composer = std::dynamic_pointer_cast<MailComposeViewController>(top)) {
        const auto& message = composer->message();
        out << "== New Message ==\n  Subject: " << shown(message.subject) << "\n  " << shown(message.body) << "\n";
        barButton("Send", [composer] { composer->send(); });
        barButton("Cancel", [composer] { composer->cancel(); });
    } else if (auto sheet = std::dynamic_pointer_cast<TweetComposeViewController>(top)) {
        out << "== Tweet ==\n  " << shown(sheet->initialText()) << "\n";
        for (const auto& url : sheet->urls()) out << "  link: " << shown(url.absoluteString()) << "\n";
        if (!sheet->images().empty()) out << "  [picture]\n";
        barButton("Send", [sheet] { sheet->send(); });
        barButton("Cancel", [sheet] { sheet->cancel(); });
    } else {
        // Under a dialog the screen is seen but not touched.
        if (drawing.covered) paint.numbering = false;
        out << "== " << shown(shot.title) << " ==\n";
        if (shot.backButton) out << "  (back: " << shown(*shot.backButton) << ")\n";
        // The bar buttons come first in the numbering, then the screen's own
        // controls, then those inside rows: a row scrolled away or a figure
        // shown in the toolbar moves no other number. An item that does
        // nothing when tapped (a figure, a spinner) is drawn without one.
        for (const auto& item : {shot.leftItem, shot.rightItem}) {
            const std::string title = itemTitle(item);
            if (item && !title.empty()) barButton(title, [item] { item->tap(); });
        }
        for (const auto& item : shot.toolbarItems) {
            const std::string title = itemTitle(item);
            if (!item || item->isSpace() || title.empty()) continue;
            if (item->hasAction())
                barButton(title, [item] { item->tap(); });
            else
                bar += " " + shown(title);
        }
        // The screen's own controls are numbered before the rows' but drawn
        // after them.
        std::ostringstream ownViews;
        std::swap(out, ownViews);
        if (top && top->isViewLoaded()) paint.views(top->view(), shot.title);
        std::swap(out, ownViews);
        for (const auto& section : shot.sections) {
            if (section.header && !section.header->empty()) out << "-- " << shown(*section.header) << " --\n";
            for (const auto& row : section.rows) {
                const int number = rowNumber(shot.table, row.indexPath);
                out << (number < 10 ? " " : "") << number << ". " << shown(row.text);
                if (!row.detail.empty()) out << " | " << shown(row.detail);
                // Pixels cannot be shown: a loaded picture is marked.
                if (auto cell = shot.table ? shot.table->cellForRowAtIndexPath(row.indexPath) : nullptr) {
                    out << shown(RowControls::describe(cell));
                    auto image = cell->imageView()->image();
                    if (image && image != Image::imageNamed(AlbumCell::kPlaceholderImage)) out << " [picture]";
                    if (row.accessoryType == TableViewCell::AccessoryDisclosureIndicator) out << "  >";
                    for (const auto& button : RowControls::buttons(cell)) out << " " << paint.control(button);
                } else if (row.accessoryType == TableViewCell::AccessoryDisclosureIndicator) {
                    out << "  >";
                }
                out << "\n";
            }
            if (section.footer && !section.footer->empty()) out << "   (" << shown(*section.footer) << ")\n";
        }
        out << ownViews.str();
        if (top && top->isViewLoaded()) {
            if (auto web = findWebView(top->view())) {
                paint.page(web);
                drawing.page = web;
            }
        }
        if (auto compose = std::dynamic_pointer_cast<SXFormControllerLargeTextField>(top)) {
            out << "  text: " << shown(compose->textView()->text()) << "\n";
        }
    }
    if (!bar.empty()) out << " " << bar << "\n";
    if (drawing.covered) {
        // What lies over the screen takes the buttons and the links.
        drawing.buttons.clear();
        paint.numbering = !shot.alert;
        for (const auto& view : above) {
            auto web = findWebView(view);
            const std::string title = web ? pageTitle(web) : std::string();
            out << "== Dialog" << (title.empty() ? "" : ": " + shown(title)) << " ==\n";
            if (web) {
                paint.page(web);
                drawing.page = web;
            }
            paint.views(view, {});
        }
    }
    if (shot.alert) {
        out << (shot.alert->isActionSheet ? "Sheet" : "Alert") << " \"" << shown(shot.alert->title) << "\"";
        if (!shot.alert->message.empty()) out << ": " << shown(shot.alert->message);
        out << "\n";
        drawing.buttons.clear();
        paint.numbering = true;
        const auto titles = AlertRegistry::topmostButtonTitles();
        std::string line;
        for (std::size_t i = 0; i < titles.size(); ++i)
            line += " " + paint.button(titles[i], [i] { AlertRegistry::pressButtonAtIndex(static_cast<int>(i)); });
        if (!line.empty()) out << " " << line << "\n";
    }
    if (ProgressHUD::isVisible()) {
        auto hud = ProgressHUD::sharedView();
        out << "  <HUD " << shown(hud->statusText().value_or(""));
        if (auto mark = hud->markImageName())
            out << (*mark == ProgressHUD::kErrorImage ? " (error)" : " (done)");
        else
            out << " (busy)";
        out << ">\n";
    }
    // The sharing framework's indicator ("Saved!" with a check mark).
    if (auto indicator = SXActivityIndicator::currentIndicator(); indicator->superview() && indicator->alpha() > 0) {
        const auto text = indicator->centerMessageLabel()->text() + " " + indicator->subMessageLabel()->text();
        out << "  <Share " << shown(Text::trimWhitespaceAndNewlines(text)) << ">\n";
    }
    if (delegate_ && delegate_->viewController() && top == delegate_->viewController()) {
        for (const auto& row : delegate_->viewController()->downloadList())
            if (row->status == OptionListViewController::kStatusDownloading)
                out << "  download " << shown(row->video ? row->video->title().value_or("") : std::string()) << ": "
                    << percent(row->progress) << "\n";
    }
    out << notificationBannerText();
    drawing.text = out.str();
    return drawing;
}

std::string DeviceProgram::screenText() { return draw().text; }

namespace {

// The visible row drawn with this number, or why there is none.
std::optional<IndexPath> visibleRow(const ScreenReader::Snapshot& shot, int number, std::string& why) {
    if (!shot.table) {
        why = "this screen has no rows";
        return std::nullopt;
    }
    for (const auto& row : shot.rows())
        if (rowNumber(shot.table, row.indexPath) == number) return row.indexPath;
    const int count = rowCount(shot.table);
    if (number >= 1 && number <= count)
        why = "row " + std::to_string(number) + " is not on the screen: scroll with down or up";
    else
        why = "no row " + std::to_string(number) +
              (count == 0 ? std::string("; the table is empty") : "; the rows are 1 to " + std::to_string(count));
    return std::nullopt;
}

}  // namespace

bool DeviceProgram::tapRow(int number, std::ostream& output) {
    auto shot = ScreenReader::read();
    if (shot.alert) {
        output << "(answer the " << (shot.alert->isActionSheet ? "sheet" : "alert") << " first)\n";
        return false;
    }
    if (!overlays().empty()) {
        output << "(a dialog covers the screen: use its buttons)\n";
        return false;
    }
    std::string why;
    auto indexPath = visibleRow(shot, number, why);
    if (!indexPath) {
        output << "(" << why << ")\n";
        return false;
    }
    shot.table->tapRowAtIndexPath(*indexPath);
    return true;
}

void DeviceProgram::terminate() {
    if (terminated_) return;
    terminated_ = true;
    Application::sharedApplication()->terminate();
}

bool DeviceProgram::secureFieldHasKeyboard() const {
    if (handOver_ && handOver_->state() == BrowserHandOver::State::ShowingForm) return handOver_->nextFieldIsSecure();
    auto field = std::dynamic_pointer_cast<TextField>(Responder::firstResponder());
    return field && field->isSecureTextEntry();
}

std::string DeviceProgram::echo(const std::string& line) {
    const std::string command = Text::trimWhitespaceAndNewlines(line);
    auto split = Text::splitAtFirst(command, " ");
    // What goes into a secure field is shown as the field shows it.
    if (split && split->first == "type" && secureFieldHasKeyboard())
        return "type " + TerminalText::masked(Text::trimWhitespaceAndNewlines(split->second));
    return echoed(command);
}

DeviceProgram::Outcome DeviceProgram::execute(const std::string& line, std::ostream& output) {
    const std::string command = Text::trimWhitespaceAndNewlines(line);
    if (command.empty() || command[0] == '#') return Outcome::Done;
    auto split = Text::splitAtFirst(command, " ");
    const std::string verb = split ? split->first : command;
    const std::string argument = split ? Text::trimWhitespaceAndNewlines(split->second) : std::string();
    // Says why the command could not be done.
    auto fail = [&output](const std::string& why) {
        output << "(" << why << ")\n";
        return Outcome::Failed;
    };

    if (verb == "quit") {
        terminate();
        return Outcome::Quit;
    }
    if (auto number = Text::parseInt64(command)) {
        if (handOver_ && handOver_->isActive()) return fail("the browser is open: use b N");
        if (!tapRow(static_cast<int>(*number), output)) return Outcome::Failed;
    } else if (verb == "back") {
        auto shot = ScreenReader::read();
        auto nav =
            ScreenReader::topViewController() ? ScreenReader::topViewController()->navigationController() : nullptr;
        if (!shot.backButton || !nav || !nav->navigationBar()->tapBackButton()) return fail("no back button");
    } else if (verb == "b") {
        auto list = buttons();
        const std::string range = list.empty()       ? std::string("this screen has no buttons")
                                  : list.size() == 1 ? std::string("this screen has b 1")
                                                     : "this screen has b 1 to b " + std::to_string(list.size());
        auto index = Text::parseInt64(argument);
        if (!index) return fail("b needs a button number, as the screen shows it: " + range);
        if (*index < 1 || static_cast<std::size_t>(*index) > list.size())
            return fail("no button " + echoed(argument) + "; " + range);
        list[static_cast<std::size_t>(*index - 1)].press();
    } else if (verb == "type") {
        if (handOver_ && handOver_->state() == BrowserHandOver::State::ShowingForm) {
            handOver_->type(argument);
        } else if (auto field = std::dynamic_pointer_cast<TextField>(Responder::firstResponder())) {
            field->typeText(argument);
        } else if (auto textView = std::dynamic_pointer_cast<TextView>(Responder::firstResponder())) {
            textView->typeText(argument);
        } else {
            return fail("no field has the keyboard");
        }
    } else if (verb == "open") {
        auto url = URL::fromString(argument);
        if (!url || !Application::sharedApplication()->handleIncomingURL(*url))
            return fail("not opened: " + echoed(argument));
    } else if (verb == "delete") {
        auto shot = ScreenReader::read();
        auto index = Text::parseInt64(argument);
        if (!index) return fail("delete needs a row number, e.g. delete 6");
        std::string why;
        auto indexPath = visibleRow(shot, static_cast<int>(*index), why);
        if (!indexPath) return fail(why);
        if (!shot.table->tapDeleteAtIndexPath(*indexPath))
            return fail("row " + echoed(argument) + " cannot be deleted");
    } else if (verb == "settings") {
        // The root menu's info button.
        auto menu = delegate_ ? delegate_->viewController() : nullptr;
        if (!menu || ScreenReader::topViewController() != menu || !menu->infoButton() || !menu->infoButton()->tap())
            return fail("the settings open from the root menu");
    } else if (verb == "down" || verb == "up") {
        // A finger moving the table by most of a screen.
        auto shot = ScreenReader::read();
        if (!shot.table) return fail("nothing to scroll");
        const float page = shot.table->bounds().size.height * 0.8f;
        const float limit = std::max(0.0f, shot.table->contentSize().height - shot.table->bounds().size.height);
        const float y = std::clamp(shot.table->contentOffset().y + (verb == "down" ? page : -page), 0.0f, limit);
        shot.table->setContentOffset(Point{shot.table->contentOffset().x, y});
    } else if (verb == "toggle" || verb == "slide") {
        // "toggle N": the switch of row N; "slide N VALUE": its slider.
        auto words = Text::split(argument, " ");
        words.erase(std::remove(words.begin(), words.end(), std::string()), words.end());
        const bool toggle = verb == "toggle";
        const auto index = words.empty() ? std::nullopt : Text::parseInt64(words[0]);
        const auto value = words.size() == 2 ? parseNumber(words[1]) : std::nullopt;
        if (!index || (toggle ? words.size() != 1 : !value))
            return fail(toggle ? "toggle needs a row number, e.g. toggle 1"
                               : "slide needs a row number and a value, e.g. slide 2 0.5");
        const int number = static_cast<int>(*index);
        auto shot = ScreenReader::read();
        std::string why;
        auto indexPath = visibleRow(shot, number, why);
        if (!indexPath) return fail(why);
        auto cell = shot.table->cellForRowAtIndexPath(*indexPath);
        const bool done =
            toggle ? RowControls::toggle(cell) : RowControls::slide(cell, static_cast<float>(value.value_or(0)));
        if (!done) return fail("row " + std::to_string(number) + " has no " + (toggle ? "switch" : "slider"));
    } else if (verb == "refresh") {
        // The finger pulls the list down past its top and lets go.
        auto base = std::dynamic_pointer_cast<QRBBaseViewController>(ScreenReader::topViewController());
        if (!base || !base->refreshHeaderView() || !base->tableView())
            return fail("this screen has no list to refresh");
        if (base->isReloading()) return fail("the list is being refreshed already");
        auto table = base->tableView();
        const float x = table->contentOffset().x;
        const float top = -table->contentInset().top;
        if (!table->drag({Point{x, top}, Point{x, top - kRefreshPull}})) return fail("the list cannot be pulled");
    } else if (verb == "browser") {
        if (delegate_) delegate_->showBrowser();
    } else if (verb == "close") {
        auto top = ScreenReader::topViewController();
        auto presenter = top ? top->presentingViewController() : nullptr;
        if (!presenter && top && top->navigationController())
            presenter = top->navigationController()->presentingViewController();
        if (!presenter) return fail("nothing to close");
        presenter->dismissModalViewControllerAnimated(true);
    } else if (verb == "link") {
        auto web = draw().page;
        auto index = Text::parseInt64(argument);
        if (!web) return fail("no page with links is shown");
        const std::size_t count = web->links().size();
        if (!index) return fail("link needs a link number, as the page shows it: [l N]");
        if (*index < 1 || static_cast<std::size_t>(*index) > count)
            return fail("no link " + echoed(argument) +
                        (count == 0 ? std::string("; the page has no links")
                                    : "; the links are 1 to " + std::to_string(count)));
        if (!web->tapLinkAtIndex(static_cast<std::size_t>(*index - 1)))
            return fail("link " + echoed(argument) + " opens a new window");
    } else if (verb == "wait") {
        // "wait TEXT": until the screen shows TEXT; "wait !TEXT": until it no longer does.
        const bool absent = !argument.empty() && argument[0] == '!';
        const std::string text = absent ? argument.substr(1) : argument;
        auto done = [&] { return (screenText().find(text) == std::string::npos) == absent; };
        const auto limit = std::chrono::duration<double>(options_.waitSeconds);
        const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(limit);
        while (!done() && Clock::now() < deadline) turn(std::chrono::milliseconds(50));
        if (!done()) {
            std::ostringstream why;
            why << "timed out after " << options_.waitSeconds << " s waiting for \"" << echoed(argument) << "\"";
            return fail(why.str());
        }
    } else if (auto done = PageForms::execute(draw().page, verb, argument, output)) {
        if (!*done) return Outcome::Failed;
    } else {
        return fail("unknown command: " + echoed(command) + "; commands: " + kCommandList);
    }
    return Outcome::Done;
}

int DeviceProgram::run(std::istream& input, std::ostream& output, bool interactive) {
    const int status = interactive ? runInteractive(input, output) : runScript(input, output);
    watcher_.reset();
    terminate();
    return status;
}

int DeviceProgram::runScript(std::istream& input, std::ostream& output) {
    watcher_ = std::make_unique<ScreenWatcher>(
        [this] { return screenText(); }, [&output](const std::string& screen) { output << screen << std::flush; });
    settle(15);
    watcher_->drawSettled();
    std::string line;
    for (std::size_t number = 1; std::getline(input, line); ++number) {
        const std::string command = Text::trimWhitespaceAndNewlines(line);
        if (command.empty() || command[0] == '#') continue;
        if (options_.echoCommands) output << "> " << echo(command) << "\n";
        const Outcome outcome = execute(command, output);
        if (outcome == Outcome::Quit) return 0;
        if (outcome == Outcome::Failed) {
            output << "clipora: the script failed at line " << number << ": " << echoed(command) << "\n" << std::flush;
            return 1;
        }
        // The screen the command left, once still for a moment; a screen
        // that keeps changing (a download's figure) is drawn as it stands.
        settle(std::chrono::duration<double>(ScreenWatcher::kMaxDelay).count());
        watcher_->drawSettled();
    }
    return 0;
}

int DeviceProgram::runInteractive(std::istream& input, std::ostream& output) {
    // The lines the reader thread has read, each with the time it was read.
    // Shared with it, since the thread may still be blocked in a read when
    // the program ends.
    struct Lines {
        std::mutex mutex;
        std::deque<std::pair<std::string, Clock::time_point>> lines;
        bool ended = false;
    };
    auto lines = std::make_shared<Lines>();
    // Whether the cursor stands after the prompt; a screen that changed on
    // its own starts on a line of its own then.
    bool atPrompt = false;
    watcher_ = std::make_unique<ScreenWatcher>([this] { return screenText(); },
                                               [&output, &atPrompt](const std::string& screen) {
                                                   output << (atPrompt ? "\n" : "") << screen << "> " << std::flush;
                                                   atPrompt = true;
                                               });
    // What is typed into a secure field does not show on the terminal.
    TerminalEcho terminalEcho(options_.terminalFd);
    auto hideSecureTyping = [&] {
        if (options_.terminalFd >= 0) terminalEcho.setHidden(secureFieldHasKeyboard());
    };
    settle(15);
    watcher_->drawSettled();
    hideSecureTyping();
    std::thread([lines, &input] {
        std::string line;
        auto loop = RunLoop::main();
        for (;;) {
            const bool got = static_cast<bool>(std::getline(input, line));
            {
                std::lock_guard lock(lines->mutex);
                if (got)
                    lines->lines.emplace_back(line, Clock::now());
                else
                    lines->ended = true;
            }
            loop->wakeUp();
            if (!got) return;
        }
    }).detach();
    // A command is carried out as soon as it is read, whatever the
    // application is busy with; the watcher draws the screen it leaves.
    for (;;) {
        std::optional<std::pair<std::string, Clock::time_point>> next;
        {
            std::lock_guard lock(lines->mutex);
            if (!lines->lines.empty()) {
                next = std::move(lines->lines.front());
                lines->lines.pop_front();
            } else if (lines->ended) {
                return 0;
            }
        }
        if (!next) {
            turn(std::chrono::milliseconds(50));
            hideSecureTyping();
            continue;
        }
        atPrompt = false;  // the user's Enter ended the line
        commandDelays_.push_back(Clock::now() - next->second);
        const Outcome outcome = execute(next->first, output);
        if (outcome == Outcome::Quit) return 0;
        watcher_->commandDone();
        hideSecureTyping();
    }
}

}  // namespace clipora::device
