#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/HTMLDocument.h"
#include "platform/uikit/HTMLForm.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/View.h"
#include "platform/uikit/WebViewDelegate.h"

namespace clipora::platform {

// A web view without a browser engine. It loads pages for real (http and
// https through URLConnection, so the shared cookie store and TLS rules
// apply; file URLs from disk; "about:blank" as an empty page; HTML strings
// as given), keeps a history, asks its delegate before every navigation and
// redirect, and tells it of each load's start, finish and failure. Nothing
// is rendered and there is no script engine: each page is parsed into a
// document model (HTMLDocument), and stringByEvaluatingJavaScriptFromString()
// understands the few scripts the application uses (see there) and records
// every script it is given.
//
// Failures: a load replaced by another or stopped fails with
// Error::kURLErrorCancelled (-999); a redirect the delegate refuses ends the
// load with Error::kWebKitErrorFrameLoadInterrupted (102) of
// Error::kWebKitErrorDomain; a scheme that cannot be shown fails with
// Error::kURLErrorUnsupportedURL; a missing file with
// Error::kURLErrorFileDoesNotExist; network errors as URLConnection reports
// them. An HTTP error status still finishes (its page is shown). A failed
// load leaves the page that was shown before. Main thread only.
class WebView : public View {
public:
    enum DataDetectorTypes : unsigned {
        DataDetectorTypeNone = 0,
        DataDetectorTypePhoneNumber = 1 << 0,
        DataDetectorTypeLink = 1 << 1,
        DataDetectorTypeAddress = 1 << 2,
        DataDetectorTypeCalendarEvent = 1 << 3,
        DataDetectorTypeAll = 0xFFFFFFFFu,
    };

    WebView();
    explicit WebView(Rect frame);
    ~WebView() override;

    std::weak_ptr<WebViewDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<WebViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // --- Loading ---
    void loadRequest(const URLRequest& request);
    // Shows `html` as a page whose address is `baseURL` ("about:blank" when
    // absent); relative links resolve against it.
    void loadHTMLStringBaseURL(std::string html, const std::optional<URL>& baseURL);
    void stopLoading();
    void reload();
    bool isLoading() const { return load_ != nullptr; }

    // The request being loaded (after its redirects so far), or else that of
    // the page shown; null before anything was loaded.
    std::shared_ptr<URLRequest> request() const;
    // The address of that page (the request's main-document URL).
    std::optional<URL> mainDocumentURL() const;

    // --- History ---
    bool canGoBack() const;
    bool canGoForward() const;
    void goBack();
    void goForward();

    // --- The page ---
    // The HTML of the page shown ("" before any).
    const std::string& documentHTML() const { return documentHTML_; }
    // The response of the page shown, when it came over HTTP.
    const std::shared_ptr<HTTPURLResponse>& response() const { return response_; }
    // Answers, from the page shown: "document.title" (the title element's
    // text), "document.body.innerHTML", "document.documentElement.outerHTML"
    // and ".innerHTML", "document.getElementById('id').innerHTML",
    // "document.URL" / "window.location.href" / "document.location.href".
    // A script of several statements (split at top-level ";" and after
    // function bodies) is run statement by statement and answers its last
    // statement's value. Statements understood besides those queries:
    //  - "function NAME() { BODY }" defines NAME for the page shown (a new
    //    page forgets it); "NAME()" runs BODY;
    //  - "document.querySelectorAll(SEL).length";
    //  - "document.querySelectorAll(SEL).forEach(function (e) {
    //    e.removeAttribute('A'); })" and the same with
    //    "e.setAttribute('A', 'V')", editing the document model;
    // where SEL is a list of simple selectors (HTMLDocument). Any other
    // statement does nothing and answers "". Every script is recorded.
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script);
    const std::vector<std::string>& evaluatedScripts() const { return scripts_; }

    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool scales) { scalesPageToFit_ = scales; }
    unsigned dataDetectorTypes() const { return dataDetectorTypes_; }
    void setDataDetectorTypes(unsigned types) { dataDetectorTypes_ = types; }

    // The document model of the page shown (edited by the scripts run).
    const HTMLDocument& document() const { return document_; }
    // The page's links ("a" elements with an href), in document order.
    struct Link {
        std::string href;
        std::optional<std::string> target;
        std::string text;
    };
    std::vector<Link> links() const;
    // Whether a link opens a new window ("_blank", "_new" or a named
    // window): such a link is not followed, as the view has one window.
    static bool opensNewWindow(const Link& link);

    // --- Test and device-program hook ---
    // The user taps a link to `href` (resolved against the page shown):
    // a navigation of type "link clicked".
    void simulateLinkClick(std::string_view href);
    // The user taps link `index` of links(): followed like
    // simulateLinkClick() unless it opens a new window. Answers whether a
    // navigation was asked for.
    bool tapLinkAtIndex(std::size_t index);

    // --- Forms ---
    // The page's forms (see HTMLForm), with what the user typed into them.
    const std::vector<HTMLForm>& forms() const;
    // Sets text field `control` of form `form` as if typed over; false when
    // there is no such enabled text field.
    bool setFormFieldValue(std::size_t form, std::size_t control, std::string value);
    // The user taps that text field: the view's field editor (a TextField,
    // secure for a password field) takes the keyboard, holding the field's
    // value, and what is typed there is the field's value; its Return key
    // submits the form. False for no such enabled text field.
    bool focusFormField(std::size_t form, std::size_t control);
    // The field the editor edits: form and control index.
    std::optional<std::pair<std::size_t, std::size_t>> focusedFormField() const;
    // Submits form `form` as a browser does (HTMLForm::submission, against
    // the page's address), pressed with its submit button `submitter` (an
    // index into its controls) or without one: the first enabled submit
    // button is pressed then, as the Return key does. The request goes
    // through navigation as "form submitted" (the delegate decides). Answers
    // whether it was asked for and allowed.
    bool submitForm(std::size_t form, std::optional<std::size_t> submitter = std::nullopt);

    std::string className() const override { return "WebView"; }

private:
    class Loader;
    class FieldEditorDelegate;
    struct Entry {
        std::shared_ptr<URLRequest> request;
        std::optional<std::string> html;  // a page given as a string
    };
    struct Load {
        std::uint64_t id = 0;
        std::shared_ptr<URLRequest> request;
        WebViewNavigationType type = WebViewNavigationTypeOther;
        std::optional<std::size_t> historyTarget;  // back or forward to this entry
        bool reload = false;
        std::optional<std::string> html;
        std::shared_ptr<URLConnection> connection;
        std::shared_ptr<HTTPURLResponse> response;
        Data body;
    };

    // Asks the delegate and, when it agrees, starts the load.
    bool navigate(std::shared_ptr<URLRequest> request, WebViewNavigationType type,
                  std::optional<std::size_t> historyTarget, bool reload, std::optional<std::string> html);
    void begin(std::shared_ptr<Load> load);
    void cancelCurrent();
    void commit(const std::shared_ptr<Load>& load, std::string html);
    void failLoad(const std::shared_ptr<Load>& load, const Error& error);
    // Runs `call` with the delegate on a later turn of the main run loop.
    void post(std::function<void(const std::shared_ptr<WebView>&, const std::shared_ptr<WebViewDelegate>&)> call);

    // Loader callbacks.
    std::shared_ptr<URLRequest> loaderWillRedirect(std::uint64_t id, const std::shared_ptr<URLRequest>& request);
    void loaderDidReceiveResponse(std::uint64_t id, const std::shared_ptr<HTTPURLResponse>& response);
    void loaderDidReceiveData(std::uint64_t id, const Data& data);
    void loaderDidFinish(std::uint64_t id);
    void loaderDidFail(std::uint64_t id, const Error& error);

    std::weak_ptr<WebViewDelegate> delegate_;
    std::shared_ptr<Load> load_;
    std::uint64_t nextLoadId_ = 1;
    std::vector<Entry> history_;
    std::optional<std::size_t> index_;
    std::shared_ptr<URLRequest> pageRequest_;
    std::shared_ptr<HTTPURLResponse> response_;
    std::string documentHTML_;
    std::vector<std::string> scripts_;
    HTMLDocument document_;
    // Functions the page's scripts defined: name -> body.
    std::vector<std::pair<std::string, std::string>> pageFunctions_;

    // The forms of the page shown, read on first use; what the user typed.
    mutable std::optional<std::vector<HTMLForm>> forms_;
    std::optional<std::pair<std::size_t, std::size_t>> focused_;
    std::shared_ptr<TextField> fieldEditor_;
    std::shared_ptr<FieldEditorDelegate> fieldEditorDelegate_;
    // Copies the editor's text into the focused field.
    void takeEditorText() const;
    HTMLForm::Control* textField(std::size_t form, std::size_t control);

    std::string evaluateStatements(const std::string& script, int depth);
    std::string evaluateStatement(const std::string& statement, int depth);
    bool scalesPageToFit_ = false;
    unsigned dataDetectorTypes_ = DataDetectorTypePhoneNumber;
};

}  // namespace clipora::platform
