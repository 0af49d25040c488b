#include "tools/clipora/DeviceProgram.h"

#include "tools/clipora/RowControls.h"
#include "tools/clipora/StandinRoute.h"
#include "tools/clipora/TerminalText.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "app/AlbumCell.h"
#include "app/AppConfig.h"
#include "app/OptionListViewController.h"
#include "app/ProgressHUD.h"
#include "platform/cfnetwork/HostResolver.h"
#include "platform/cfnetwork/TLSTrust.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/media/MoviePlayerController.h"
#include "platform/media/MoviePlayerViewController.h"
#include "platform/media/TweetComposeViewController.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/ScreenReader.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/WebView.h"
#include "platform/uikit/Window.h"
#include "share/UI/SXActivityIndicator.h"
#include "share/UI/SXFormControllerLargeTextField.h"
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

// Visible buttons in a screen's view, outside tables (the root menu's login
// button in its bottom bar).
void collectButtons(const std::shared_ptr<View>& view, std::vector<std::shared_ptr<platform::Button>>& found) {
    if (!view || view->isHidden() || std::dynamic_pointer_cast<TableView>(view)) return;
    if (auto button = std::dynamic_pointer_cast<platform::Button>(view)) {
        found.push_back(button);
        return;
    }
    for (const auto& subview : view->subviews()) collectButtons(subview, found);
}

std::string buttonTitle(const std::shared_ptr<platform::Button>& button) {
    if (auto login = std::dynamic_pointer_cast<FBLoginButton>(button))
        return login->isLoggedIn() ? "Log Out" : "Log In";
    return button->currentTitle().value_or("Button");
}

// The page of a screen that shows one (the browser screens), if any.
std::shared_ptr<WebView> findWebView(const std::shared_ptr<View>& view) {
    if (!view || view->isHidden()) return nullptr;
    if (auto web = std::dynamic_pointer_cast<WebView>(view)) return web;
    for (const auto& subview : view->subviews())
        if (auto web = findWebView(subview)) return web;
    return nullptr;
}

std::shared_ptr<WebView> topWebView() {
    auto top = ScreenReader::topViewController();
    return top && top->isViewLoaded() ? findWebView(top->view()) : nullptr;
}

// Every text that came from outside (the network's titles, names and
// messages, what the user typed) reaches the terminal through these.
std::string shown(std::string_view text) { return TerminalText::printable(text); }
std::string echoed(std::string_view text) { return TerminalText::printable(text, TerminalText::kEchoLimit); }

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
        auto hud = ProgressHUD::existingSharedView();
        const bool waiting =
            (handOver_ && handOver_->isLoading()) || (ProgressHUD::isVisible() && hud && !hud->markImageName());
        if (!waiting && Clock::now() - stableSince >= std::chrono::milliseconds(250)) return;
    }
}

std::vector<DeviceProgram::Button> DeviceProgram::buttons() {
    std::vector<Button> list;
    if (handOver_ && handOver_->isActive()) {
        auto handOver = handOver_;
        if (handOver->state() == BrowserHandOver::State::ShowingForm) {
            list.push_back({"Log In", [handOver] { handOver->logIn(); }});
            list.push_back({"Cancel", [handOver] { handOver->cancel(); }});
        } else {
            list.push_back({"Close", [handOver] { handOver->close(); }});
        }
        return list;
    }
    if (auto alert = AlertRegistry::topmost()) {
        auto titles = AlertRegistry::topmostButtonTitles();
        for (std::size_t i = 0; i < titles.size(); ++i)
            list.push_back({titles[i], [i] { AlertRegistry::pressButtonAtIndex(static_cast<int>(i)); }});
        return list;
    }
    auto top = ScreenReader::topViewController();
    if (auto player = std::dynamic_pointer_cast<MoviePlayerViewController>(top)) {
        list.push_back({"Done", [player] { player->done(); }});
        return list;
    }
    if (auto composer = std::dynamic_pointer_cast<MailComposeViewController>(top)) {
        list.push_back({"Send", [composer] { composer->send(); }});
        list.push_back({"Cancel", [composer] { composer->cancel(); }});
        return list;
    }
    if (auto sheet = std::dynamic_pointer_cast<TweetComposeViewController>(top)) {
        list.push_back({"Send", [sheet] { sheet->send(); }});
        list.push_back({"Cancel", [sheet] { sheet->cancel(); }});
        return list;
    }
    auto shot = ScreenReader::read();
    for (const auto& item : {shot.leftItem, shot.rightItem}) {
        const std::string title = itemTitle(item);
        if (item && !title.empty()) list.push_back({title, [item] { item->tap(); }});
    }
    for (const auto& item : shot.toolbarItems) {
        const std::string title = itemTitle(item);
        if (item && !item->isSpace() && !title.empty()) list.push_back({title, [item] { item->tap(); }});
    }
    if (top && top->isViewLoaded()) {
        std::vector<std::shared_ptr<platform::Button>> found;
        collectButtons(top->view(), found);
        for (const auto& button : found) list.push_back({buttonTitle(button), [button] { button->tap(); }});
    }
    return list;
}

std::string DeviceProgram::screenText() {
    std::ostringstream out;
    if (handOver_ && handOver_->isActive()) return handOver_->screenText();

    auto top = ScreenReader::topViewController();
    auto list = buttons();
    if (auto player = std::dynamic_pointer_cast<MoviePlayerViewController>(top)) {
        out << "== Now playing ==\n  " << shown(player->moviePlayer()->contentURL().absoluteString()) << "\n";
    } else if (auto composer = std::dynamic_pointer_cast<MailComposeViewController>(top)) {
        const auto& message = composer->message();
        out << "== New Message ==\n  Subject: " << shown(message.subject) << "\n  " << shown(message.body) << "\n";
    } else if (auto sheet = std::dynamic_pointer_cast<TweetComposeViewController>(top)) {
        out << "== Tweet ==\n  " << shown(sheet->initialText()) << "\n";
        for (const auto& url : sheet->urls()) out << "  link: " << shown(url.absoluteString()) << "\n";
        if (!sheet->images().empty()) out << "  [picture]\n";
    } else {
        auto shot = ScreenReader::read();
        out << "== " << shown(shot.title) << " ==\n";
        if (shot.backButton) out << "  (back: " << shown(*shot.backButton) << ")\n";
        int number = 1;
        for (const auto& section : shot.sections) {
            if (section.header && !section.header->empty()) out << "-- " << shown(*section.header) << " --\n";
            for (const auto& row : section.rows) {
                out << (number < 10 ? " " : "") << number << ". " << shown(row.text);
                ++number;
                if (!row.detail.empty()) out << " | " << shown(row.detail);
                // Pixels cannot be shown: a loaded picture is marked.
                if (auto cell = shot.table ? shot.table->cellForRowAtIndexPath(row.indexPath) : nullptr) {
                    out << shown(RowControls::describe(cell));
                    auto image = cell->imageView()->image();
                    if (image && image != Image::imageNamed(AlbumCell::kPlaceholderImage)) out << " [picture]";
                }
                if (row.accessoryType == TableViewCell::AccessoryDisclosureIndicator) out << "  >";
                out << "\n";
            }
            if (section.footer && !section.footer->empty()) out << "   (" << shown(*section.footer) << ")\n";
        }
        if (auto web = topWebView()) {
            // The page: its address, whether it loads, and its links.
            auto page = web->mainDocumentURL();
            out << "  page: " << (page ? shown(page->absoluteString()) : std::string("(none)"))
                << (web->isLoading() ? " (loading)" : "") << "\n";
            auto links = web->links();
            for (std::size_t i = 0; i < links.size(); ++i)
                out << "  [l " << (i + 1) << "] " << shown(links[i].text.empty() ? links[i].href : links[i].text)
                    << (WebView::opensNewWindow(links[i]) ? " (new window)" : "") << "\n";
            out << PageForms::screenText(*web);
        }
        if (auto compose = std::dynamic_pointer_cast<SXFormControllerLargeTextField>(top)) {
            out << "  text: " << shown(compose->textView()->text()) << "\n";
        }
        if (shot.alert) {
            out << (shot.alert->isActionSheet ? "Sheet" : "Alert") << " \"" << shown(shot.alert->title) << "\"";
            if (!shot.alert->message.empty()) out << ": " << shown(shot.alert->message);
            out << "\n";
        }
    }
    if (!list.empty()) {
        out << " ";
        for (std::size_t i = 0; i < list.size(); ++i) out << " [b " << (i + 1) << "] " << shown(list[i].title);
        out << "\n";
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
    return out.str();
}

bool DeviceProgram::tapRow(int number, std::ostream& output) {
    auto shot = ScreenReader::read();
    auto rows = shot.rows();
    if (number < 1 || static_cast<std::size_t>(number) > rows.size() || !shot.table) {
        output << "(no row " << number << ")\n";
        return false;
    }
    if (shot.alert) {
        output << "(answer the " << (shot.alert->isActionSheet ? "sheet" : "alert") << " first)\n";
        return false;
    }
    shot.table->tapRowAtIndexPath(rows[static_cast<std::size_t>(number - 1)].indexPath);
    return true;
}

void DeviceProgram::terminate() {
    if (terminated_) return;
    terminated_ = true;
    Application::sharedApplication()->terminate();
}

std::string DeviceProgram::echo(const std::string& line) {
    const std::string command = Text::trimWhitespaceAndNewlines(line);
    auto split = Text::splitAtFirst(command, " ");
    if (split && split->first == "type") {
        // What goes into a secure field is shown as the field shows it.
        auto field = std::dynamic_pointer_cast<TextField>(Responder::firstResponder());
        const bool secure = (handOver_ && handOver_->state() == BrowserHandOver::State::ShowingForm)
                                ? handOver_->nextFieldIsSecure()
                                : field && field->isSecureTextEntry();
        if (secure) return "type " + TerminalText::masked(Text::trimWhitespaceAndNewlines(split->second));
    }
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
        auto index = Text::parseInt64(argument);
        if (!index || *index < 1 || static_cast<std::size_t>(*index) > list.size())
            return fail("no button " + echoed(argument));
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
        auto rows = shot.rows();
        auto index = Text::parseInt64(argument);
        if (!index || *index < 1 || static_cast<std::size_t>(*index) > rows.size() || !shot.table ||
            !shot.table->tapDeleteAtIndexPath(rows[static_cast<std::size_t>(*index - 1)].indexPath))
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
        auto shot = ScreenReader::read();
        auto rows = shot.rows();
        auto words = Text::split(argument, " ");
        auto index = words.empty() ? std::nullopt : Text::parseInt64(words[0]);
        auto cell = index && *index >= 1 && static_cast<std::size_t>(*index) <= rows.size() && shot.table
                        ? shot.table->cellForRowAtIndexPath(rows[static_cast<std::size_t>(*index - 1)].indexPath)
                        : nullptr;
        const bool done =
            verb == "toggle"
                ? RowControls::toggle(cell)
                : words.size() == 2 && RowControls::slide(cell, static_cast<float>(Text::doubleValue(words[1])));
        if (!done) return fail("row " + echoed(argument) + " has no " + (verb == "toggle" ? "switch" : "slider"));
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
        auto web = topWebView();
        auto index = Text::parseInt64(argument);
        if (!web || !index || *index < 1 || static_cast<std::size_t>(*index) > web->links().size())
            return fail("no link " + echoed(argument));
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
    } else if (auto done = PageForms::execute(topWebView(), verb, argument, output)) {
        if (!*done) return Outcome::Failed;
    } else {
        return fail("unknown command: " + echoed(command) +
                    "; commands: N, back, b N, type TEXT, open URL, delete N, settings, toggle N, slide N V, down, up, "
                    "browser, link N, close, wait TEXT, quit");
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
        settle(20);
        watcher_->drawSettled();
    }
    return 0;
}

int DeviceProgram::runInteractive(std::istream& input, std::ostream& output) {
    // The lines the reader thread has read. Shared with it, since the thread
    // may still be blocked in a read when the program ends.
    struct Lines {
        std::mutex mutex;
        std::deque<std::string> lines;
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
    settle(15);
    watcher_->drawSettled();
    std::thread([lines, &input] {
        std::string line;
        auto loop = RunLoop::main();
        for (;;) {
            const bool got = static_cast<bool>(std::getline(input, line));
            {
                std::lock_guard lock(lines->mutex);
                if (got)
                    lines->lines.push_back(line);
                else
                    lines->ended = true;
            }
            loop->wakeUp();
            if (!got) return;
        }
    }).detach();
    for (;;) {
        std::optional<std::string> next;
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
            turn(std::chrono::milliseconds(100));
            continue;
        }
        atPrompt = false;  // the user's Enter ended the line
        watcher_->mark();
        if (execute(*next, output) == Outcome::Quit) return 0;
        settle(20);
        watcher_->drawSettled();
    }
}

}  // namespace clipora::device
