#include "social/graph/Page.h"

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/Value.h"
#include "social/graph/ArchivedText.h"

namespace clipora {

namespace {

const bool gRegistered = [] {
    Page::registerCoding();
    return true;
}();

void writeText(platform::KeyedArchiver& coder, const std::optional<std::string>& text, std::string_view key) {
    if (text) coder.encodeObject(std::optional<platform::Value>(platform::Value(*text)), key);
}

}  // namespace

void Page::registerCoding() { platform::CodingRegistry::registerClass<Page>(kClassName); }

std::shared_ptr<Page> Page::initPageIDCategoryAccessToken(std::optional<std::string> name,
                                                          std::optional<std::string> pageID,
                                                          std::optional<std::string> category,
                                                          std::optional<std::string> accessToken) {
    auto page = std::make_shared<Page>();
    page->setName(std::move(name));
    page->setPageID(std::move(pageID));
    page->setLastPostID(std::nullopt);
    page->setCategory(std::move(category));
    page->setAccessToken(std::move(accessToken));
    return page;
}

std::shared_ptr<Page> Page::initPageIDLastPostID(std::optional<std::string> name, std::optional<std::string> pageID,
                                                 std::optional<std::string> lastPostID) {
    auto page = initPageIDCategoryAccessToken(std::move(name), std::move(pageID), std::nullopt, std::nullopt);
    page->setLastPostID(std::move(lastPostID));
    return page;
}

void Page::encodeWithCoder(platform::KeyedArchiver& coder) const {
    writeText(coder, pageID_, "PagePageID");
    writeText(coder, name_, "PageName");
    writeText(coder, lastPostID_, "PageLastPostID");
    writeText(coder, category_, "PageCategory");
}

std::shared_ptr<Page> Page::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto page = std::make_shared<Page>();
    page->setPageID(ArchivedText::read(coder, "PagePageID"));
    page->setName(ArchivedText::read(coder, "PageName"));
    page->setLastPostID(ArchivedText::read(coder, "PageLastPostID"));
    page->setCategory(ArchivedText::read(coder, "PageCategory"));
    page->setAccessToken(ArchivedText::read(coder, "PageAccessToken"));
    return coder.failed() ? nullptr : page;
}

}  // namespace clipora
