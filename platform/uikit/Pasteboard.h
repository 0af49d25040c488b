#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

class Image;

// The general pasteboard: holds one item, a string, a URL or an image. Setting
// one replaces the others (a URL also reads as its string). Safe from any thread.
//
// Named pasteboards (pasteboardWithNameCreate) hold bytes by type name. A
// persistent one keeps its items in <home>/Library/Pasteboards, written
// atomically at each change, so they outlive the process; within a process
// every caller of a name gets the same pasteboard (per home folder).
class Pasteboard : public Object {
public:
    static std::shared_ptr<Pasteboard> generalPasteboard();
    // The pasteboard of that name; when none exists yet, a new one if
    // `create`, else nullptr (a persistent one left by an earlier process
    // counts as existing).
    static std::shared_ptr<Pasteboard> pasteboardWithNameCreate(const std::string& name, bool create);
    // An empty general pasteboard and no named ones in memory (tests).
    static void reset();

    const std::string& name() const { return name_; }
    bool isPersistent() const;
    // Making a pasteboard persistent writes its items at once.
    void setPersistent(bool persistent);
    std::optional<Data> dataForPasteboardType(const std::string& type) const;
    void setDataForPasteboardType(const Data& data, const std::string& type);

    std::optional<std::string> string() const;
    void setString(std::string text);
    std::optional<URL> url() const;
    void setURL(const URL& url);
    std::shared_ptr<Image> image() const;
    void setImage(std::shared_ptr<Image> image);
    // Number of times anything was put on the pasteboard.
    int changeCount() const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> string_;
    std::optional<URL> url_;
    std::shared_ptr<Image> image_;
    int changeCount_ = 0;
    std::string name_;
    std::string file_;  // where a named pasteboard is kept when persistent
    bool persistent_ = false;
    std::map<std::string, Data, std::less<>> items_;

    void writeLocked() const;
};

}  // namespace clipora::platform
