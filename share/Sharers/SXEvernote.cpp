#include "share/Sharers/SXEvernote.h"

#include <cmath>

#include <thrift/TApplicationException.h>
#include <thrift/transport/TTransportException.h>

#include "notes/notestore/EDAMNoteStore.h"
#include "notes/transport/NoteServiceHTTP.h"
#include "notes/types/EDAMLimitsConstants.h"
#include "notes/types/EDAMTypes.h"
#include "notes/types/EDAMUserStoreConstants.h"
#include "notes/userstore/EDAMUserStore.h"
#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/MarkupEscaping.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Image.h"
#include "share/Core/SX.h"
#include "share/Core/SXCategories.h"
#include "share/Core/SXConfiguration.h"
#include "share/Sharers/SXEvernoteItem.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldSettings.h"

namespace clipora {

using platform::Text;

namespace {

constexpr const char* kProblem = "There was a problem sharing with Evernote";

// The message and the relogin flag of a service error code.
std::pair<const char*, bool> describeErrorCode(std::int32_t code) {
    switch (code) {
    case 2: return {"Invalid format", false};
    case 3: return {"Permission Denied", false};
    case 4: return {"Internal Evernote Error", false};
    case 5: return {"Data Required", false};
    case 7: return {"Quota Reached", false};
    case 8: return {"Invalid Auth", true};
    case 9: return {"Auth Expired", true};
    case 10: return {"Data Conflict", false};
    default: return {"Unknown error from Evernote", false};
    }
}

SXEvernote::Record failure(std::string message, bool relogin) {
    return {{"success", "0"}, {"errorMessage", std::move(message)}, {"shouldRelogin", relogin ? "1" : "0"}};
}

std::shared_ptr<EDAMData> dataFor(const platform::Data& bytes) {
    auto data = std::make_shared<EDAMData>();
    data->setBody(bytes);
    data->setSize(static_cast<std::int32_t>(bytes.size()));
    data->setBodyHash(platform::Digest::md5(bytes));
    return data;
}

std::shared_ptr<EDAMResource> resourceFor(const platform::Data& bytes, const std::string& mime) {
    auto resource = std::make_shared<EDAMResource>();
    auto data = dataFor(bytes);
    resource->setData(data);
    resource->setRecognition(data);
    resource->setMime(mime);
    return resource;
}

// Loads a URL on the calling (worker) thread: only http and https, within
// the time-out, and no more than `cap` bytes; none on any failure.
class CappedLoad final : public platform::URLConnectionDelegate {
public:
    static std::optional<platform::Data> load(const std::string& address, std::size_t cap, double timeout) {
        auto url = platform::URL::fromString(address);
        if (!url) return std::nullopt;
        auto scheme = Text::lowercase(url->scheme());
        if (scheme != "http" && scheme != "https") return std::nullopt;
        platform::URLRequest request(*url, platform::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData, timeout);
        auto delegate = std::make_shared<CappedLoad>();
        delegate->cap_ = cap;
        auto loop = platform::RunLoop::current();
        auto connection = platform::URLConnection::create(request, delegate, false);
        connection->scheduleInRunLoopForMode(loop, platform::URLConnection::kSynchronousMode);
        connection->start();
        // The request's time-out ends a stalled load with a failure.
        while (!delegate->done_) {
            if (loop->runMode(platform::URLConnection::kSynchronousMode, platform::Date::distantFuture(), true) ==
                platform::RunLoop::RunResult::Finished) {
                break;
            }
        }
        connection->cancel();
        if (!delegate->done_ || delegate->failed_) return std::nullopt;
        return std::move(delegate->data_);
    }

    void connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>& connection,
                                      const std::shared_ptr<platform::HTTPURLResponse>& response) override {
        if (response && response->statusCode() != 200) stop(connection);
    }
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override {
        if (data_.size() + data.size() > cap_) {
            stop(connection);
            return;
        }
        data_.insert(data_.end(), data.begin(), data.end());
    }
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>&) override { done_ = true; }
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>&, const platform::Error&) override {
        failed_ = done_ = true;
    }

private:
    void stop(const std::shared_ptr<platform::URLConnection>& connection) {
        connection->cancel();
        failed_ = done_ = true;
    }

    platform::Data data_;
    std::size_t cap_ = 0;
    bool done_ = false;
    bool failed_ = false;
};

// The sharer and the item are main-thread objects: a worker hands its last
// references back, so that neither is ever destroyed on the worker.
template <class... Objects>
void releaseOnMainThread(Objects&&... objects) {
    platform::Thread::performOnMainThread([... held = std::move(objects)] { (void)sizeof...(held); }, false);
}

}  // namespace

SXEvernote::Settings SXEvernote::Settings::current() {
    return {SXConfiguration::stringValue("evernoteUserStoreURL"),
            SXConfiguration::stringValue("evernoteNetStoreURLBase"),
            SXConfiguration::stringValue("evernoteConsumerKey"), SXConfiguration::stringValue("evernoteSecret")};
}

std::optional<std::string> SXEvernote::authorizationFormCaption() const {
    return localizedShareFormat("Create a free account at %@", "Evernote.com");
}

// --- Sign-in ---

void SXEvernote::authorizationFormValidate(const std::shared_ptr<SXFormController>& form) {
    beginLogin(form);
    auto values = form->formValues();
    auto keep = std::static_pointer_cast<SXEvernote>(self());
    platform::Thread::detach(
        [keep, username = values["username"], password = values["password"], settings = Settings::current()]() mutable {
            keep->_authorizationFormValidate(username, password, settings);
            releaseOnMainThread(std::move(keep));
        });
}

void SXEvernote::_authorizationFormValidate(const std::string& username, const std::string& password,
                                            const Settings& settings) {
    std::string success = "0";
    try {
        auto result = getAuthenticationResultForUsernamePassword(username, password, settings);
        if (result && result->user() && result->authenticationToken()) success = "1";
    } catch (...) {
        // A refused login, an unreachable or broken service: not signed in.
    }
    auto keep = std::static_pointer_cast<SXEvernote>(self());
    platform::Thread::performOnMainThread([keep, success] { keep->_authFinished({{"success", success}}); }, true);
}

std::shared_ptr<EDAMAuthenticationResult> SXEvernote::getAuthenticationResultForUsernamePassword(
    const std::string& username, const std::string& password, const Settings& settings) {
    auto userStore = EDAMUserStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(settings.userStoreURL));
    if (!userStore->checkVersion(std::string(kClientName), EDAMUserStoreConstants::EDAM_VERSION_MAJOR(),
                                 EDAMUserStoreConstants::EDAM_VERSION_MINOR())) {
        // The alert belongs to the main thread; the worker goes on at once.
        platform::Thread::performOnMainThread(
            [] {
                auto alert = std::make_shared<platform::AlertView>(
                    localizedShareString("EDMA Error"), localizedShareString("EDMA Version is too old."),
                    std::weak_ptr<platform::AlertViewDelegate>(), localizedShareString("Close"));
                alert->show();
            },
            false);
        return nullptr;
    }
    return userStore->authenticate(username, password, settings.consumerKey, settings.consumerSecret);
}

void SXEvernote::_authFinished(const Record& result) {
    auto it = result.find("success");
    authFinished(it != result.end() && it->second == "1");
}

void SXEvernote::authFinished(bool success) {
    endLogin(success, localizedShareString("Your username and password did not match"));
}

// --- Sending ---

std::vector<std::shared_ptr<SXFormFieldSettings>> SXEvernote::shareFormFieldsForType(int) {
    using F = SXFormFieldSettings;
    return {F::labelKeyTypeStart(localizedShareString("Title"), "title", F::SXFormFieldTypeText, item()->title()),
            F::labelKeyTypeStart(localizedShareString("Tags"), "tags", F::SXFormFieldTypeText, item()->tags())};
}

void SXEvernote::shareFormValidate(const std::shared_ptr<SXFormController>& form) { form->saveForm(); }

bool SXEvernote::send() {
    if (!validateItem()) return false;
    sendDidStart();
    auto keep = std::static_pointer_cast<SXEvernote>(self());
    // Everything the worker reads is taken here, on the main thread.
    platform::Data jpeg;
    if (item()->image()) jpeg = item()->image()->jpegRepresentation(0.6f);
    auto username = getAuthValueForKey("username");
    auto password = getAuthValueForKey("password");
    platform::Thread::detach(
        [keep, item = item(), jpeg = std::move(jpeg), username, password, settings = Settings::current()]() mutable {
            auto result = keep->_send(item, jpeg, username, password, settings);
            platform::Thread::performOnMainThread([keep, result] { keep->_sendFinished(result); }, true);
            releaseOnMainThread(std::move(keep), std::move(item));
        });
    return true;
}

SXEvernote::Record SXEvernote::_send(const std::shared_ptr<SXItem>& item, const platform::Data& jpeg,
                                     const std::optional<std::string>& username,
                                     const std::optional<std::string>& password, const Settings& settings) {
    try {
        if (!username || !password) return failure(localizedShareString(kProblem), true);
        auto auth = getAuthenticationResultForUsernamePassword(*username, *password, settings);
        // No result: the version was refused (the alert said so). A result
        // without user or token: the login is no good any more.
        if (!auth) return failure(localizedShareString("EDMA Version is too old."), false);
        if (!auth->user() || !auth->authenticationToken()) {
            return failure(localizedShareString("Your username and password did not match"), true);
        }
        const auto& token = *auth->authenticationToken();
        auto noteStore = EDAMNoteStoreClient::initWithProtocol(
            NoteServiceHTTP::binaryProtocol(settings.noteStoreURLBase + auth->user()->shardId().value_or("")));
        auto note = noteForItem(*item, jpeg);
        if (!note->notebookGuidIsSet() || !note->notebookGuid()) {
            if (auto notebook = defaultNoteBookFromNoteStoreAuthToken(*noteStore, token)) {
                note->setNotebookGuid(notebook->guid());
            }
        }
        fetchReferencedImages(*note);
        auto seconds = std::floor(platform::Clock::now().timeIntervalSince1970());
        note->setCreated(static_cast<std::int64_t>(seconds) * 1000);
        auto created = noteStore->createNote(token, note);
        if (!created) return failure(localizedShareString(kProblem), false);
        return {{"success", "1"}, {"errorMessage", ""}, {"shouldRelogin", "0"}};
    } catch (const EDAMUserException& e) {
        auto [message, relogin] = describeErrorCode(e.errorCode());
        return failure(Text::format("Evernote Error on %@: %@", e.parameter().value_or(""), message), relogin);
    } catch (const EDAMSystemException& e) {
        auto [message, relogin] = describeErrorCode(e.errorCode());
        return failure(Text::format("Evernote Error: %@ %@", message, e.message().value_or("")), relogin);
    } catch (const EDAMNotFoundException& e) {
        return failure(Text::format("Evernote Error: not found: %@", e.identifier().value_or("")), false);
    } catch (const std::exception&) {
        // Transport, protocol and runtime failures carry no text for users.
        return failure(localizedShareString(kProblem), false);
    } catch (...) {
        return failure(localizedShareString(kProblem), false);
    }
}

void SXEvernote::_sendFinished(const Record& result) {
    auto keep = self();
    auto value = [&](const char* key) {
        auto it = result.find(key);
        return it == result.end() ? std::string() : it->second;
    };
    if (value("success") == "1") {
        sendDidFinish();
    } else if (value("shouldRelogin") == "1") {
        sendDidFailShouldRelogin();
    } else {
        auto message = value("errorMessage");
        sendDidFailWithError(message.empty() ? SX::error(kProblem) : SX::error("%@", message));
    }
}

void SXEvernote::sendFinished(bool success) {
    if (success) {
        sendDidFinish();
    } else {
        sendDidFailWithErrorShouldRelogin(SX::error(kProblem), false);
    }
}

// --- Note building ---

std::shared_ptr<EDAMNotebook> SXEvernote::defaultNoteBookFromNoteStoreAuthToken(EDAMNoteStoreClient& noteStore,
                                                                                const std::string& token) {
    auto notebooks = noteStore.listNotebooks(token);
    if (!notebooks) return nullptr;
    for (const auto& notebook : *notebooks) {
        if (notebook && notebook->defaultNotebook()) return notebook;
    }
    return nullptr;
}

std::string SXEvernote::enMediaTagWithResourceWidthHeight(const EDAMResource& resource, float width, float height) {
    std::string size;
    if (width > 0 && height > 0 && !std::isnan(width) && !std::isnan(height)) {
        size = Text::format("height=\"%.0f\" width=\"%.0f\" ", static_cast<double>(height), static_cast<double>(width));
    }
    platform::Data body;
    if (resource.data() && resource.data()->body()) body = *resource.data()->body();
    return Text::format("<en-media type=\"%@\" %@hash=\"%@\"/>",
                        platform::MarkupEscaping::escaped(resource.mime().value_or("")), size, SXCategories::md5(body));
}

std::shared_ptr<EDAMNote> SXEvernote::noteForItem(const SXItem& item, const platform::Data& jpeg) {
    std::shared_ptr<EDAMNote> note;
    std::vector<std::shared_ptr<EDAMResource>> resources;
    if (auto prepared = dynamic_cast<const SXEvernoteItem*>(&item); prepared && prepared->note()) {
        note = prepared->note();
        if (note->resources()) resources = *note->resources();
    } else {
        note = std::make_shared<EDAMNote>();
    }
    auto attributes = note->attributes() ? note->attributes() : std::make_shared<EDAMNoteAttributes>();
    const std::string url = item.URL() ? item.URL()->absoluteString() : std::string();
    if (!attributes->sourceURL() && !url.empty()) attributes->setSourceURL(url);

    const std::string title = item.title().value_or("");
    if (!title.empty()) {
        note->setTitle(title);
    } else if (!note->title()) {
        note->setTitle(localizedShareString("Untitled"));
    }

    // The service refuses empty tag names, so blanks never make one.
    if (!note->tagNames() && item.tags()) {
        std::vector<std::string> tags;
        for (const auto& piece : Text::split(*item.tags(), " ")) {
            auto tag = Text::trimWhitespaceAndNewlines(piece);
            if (!tag.empty()) tags.push_back(tag);
        }
        if (!tags.empty()) note->setTagNames(tags);
    }

    if (!note->content()) {
        using Markup = platform::MarkupEscaping;
        std::string content = Text::format(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE en-note SYSTEM \"%@\"><en-note style=\"word-wrap: "
            "break-word; -webkit-nbsp-mode: space; -webkit-line-break: after-white-space;\">",
            kDTD);
        if (!url.empty()) {
            auto link = Markup::escaped(url);
            if (!title.empty()) content += Text::format("<h1><a href=\"%@\">%@</a></h1>", link, Markup::escaped(title));
            content += Text::format("<p><a href=\"%@\">%@</a></p>", link, link);
            attributes->setSourceURL(url);
        } else if (!title.empty()) {
            content += Text::format("<h1>%@</h1>", Markup::escaped(title));
        }
        if (item.text() && !item.text()->empty()) content += Text::format("<p>%@</p>", Markup::escaped(*item.text()));
        if (item.image() && !jpeg.empty()) {
            auto resource = resourceFor(jpeg, "image/jpeg");
            resources.push_back(resource);
            auto size = item.image()->size();
            content += Text::format("<p>%@</p>", enMediaTagWithResourceWidthHeight(*resource, size.width, size.height));
        }
        if (item.data()) {
            auto resource = resourceFor(*item.data(), item.mimeType().value_or("application/octet-stream"));
            resources.push_back(resource);
            content += Text::format("<p>%@</p>", enMediaTagWithResourceWidthHeight(*resource, 0, 0));
        }
        content += "</en-note>";
        note->setContent(content);
    }
    note->setResources(resources);
    note->setAttributes(attributes);
    return note;
}

void SXEvernote::fetchReferencedImages(EDAMNote& note, std::size_t cap) {
    if (!note.resources()) return;
    if (cap == 0) cap = static_cast<std::size_t>(EDAMLimitsConstants::EDAM_RESOURCE_SIZE_MAX_FREE());
    for (const auto& resource : *note.resources()) {
        try {
            if (!resource || resource->data() || !resource->attributes()) continue;
            auto source = resource->attributes()->sourceURL().value_or("");
            if (source.empty() || resource->mime() != "image/jpeg") continue;
            auto bytes = CappedLoad::load(source, cap, kSourceTimeout);
            if (!bytes) continue;
            auto image = platform::Image::imageWithData(*bytes);
            if (!image) continue;
            auto data = dataFor(*bytes);
            resource->setData(data);
            resource->setRecognition(data);
            auto media = enMediaTagWithResourceWidthHeight(*resource, image->size().width, image->size().height);
            if (note.content()) {
                auto content = *note.content();
                for (const auto& form : {source, platform::MarkupEscaping::escaped(source)}) {
                    content = Text::replaceAll(content, Text::format("<img src=\"%@\" />", form), media);
                }
                note.setContent(content);
            }
        } catch (...) {
            // One picture that cannot be had leaves its resource as it was.
        }
    }
}

}  // namespace clipora
