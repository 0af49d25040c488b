#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"

namespace clipora {

// A page the user manages, with its own access token.
//
// Archived with the keys "PagePageID", "PageName", "PageLastPostID" and
// "PageCategory", each only when present. The page's access token is a
// credential and is never written to an archive; "PageAccessToken" is still
// read from archives that hold it.
class Page : public platform::Object, public platform::Coding {
public:
    static constexpr const char* kClassName = "Page";

    Page() = default;

    static std::shared_ptr<Page> initPageIDCategoryAccessToken(std::optional<std::string> name,
                                                               std::optional<std::string> pageID,
                                                               std::optional<std::string> category,
                                                               std::optional<std::string> accessToken);
    static std::shared_ptr<Page> initPageIDLastPostID(std::optional<std::string> name,
                                                      std::optional<std::string> pageID,
                                                      std::optional<std::string> lastPostID);

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<Page> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();

    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    const std::optional<std::string>& pageID() const { return pageID_; }
    void setPageID(std::optional<std::string> v) { pageID_ = std::move(v); }
    const std::optional<std::string>& lastPostID() const { return lastPostID_; }
    void setLastPostID(std::optional<std::string> v) { lastPostID_ = std::move(v); }
    const std::optional<std::string>& category() const { return category_; }
    void setCategory(std::optional<std::string> v) { category_ = std::move(v); }
    const std::optional<std::string>& accessToken() const { return accessToken_; }
    void setAccessToken(std::optional<std::string> v) { accessToken_ = std::move(v); }

private:
    std::optional<std::string> name_;
    std::optional<std::string> pageID_;
    std::optional<std::string> lastPostID_;
    std::optional<std::string> category_;
    std::optional<std::string> accessToken_;
};

}  // namespace clipora
