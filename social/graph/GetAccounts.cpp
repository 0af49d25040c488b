#include "social/graph/GetAccounts.h"

#include <vector>

#include "platform/foundation/Log.h"
#include "social/graph/GraphReply.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

std::shared_ptr<GetAccounts> GetAccounts::initWithDelegate(std::shared_ptr<Facebook> session,
                                                           std::weak_ptr<GetAccountsDelegate> delegate) {
    auto operation = std::make_shared<GetAccounts>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetAccounts::execute() {
    startRequest([](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithGraphPathAndDelegate("me/accounts", std::move(delegate));
    });
}

void GetAccounts::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    const Value* data = result.find("data");
    if (!data || !data->isArray()) return failedWithJunkData(request);
    std::vector<std::shared_ptr<Page>> pages;
    for (const Value& entry : *data->array()) {
        if (!entry.isDictionary()) return failedWithJunkData(request);
        const Value* name = entry.find("name");
        if (!name || !name->isString() || name->string()->empty()) continue;
        pages.push_back(Page::initPageIDCategoryAccessToken(*name->string(), GraphReply::text(entry, "id"),
                                                            GraphReply::text(entry, "category"),
                                                            GraphReply::text(entry, "access_token")));
    }
    setSuccess(true);
    auto self = std::static_pointer_cast<GetAccounts>(shared_from_this());
    if (auto d = delegate()) d->finishGetAccountsAccounts(self, pages);
}

void GetAccounts::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<GetAccounts>(shared_from_this());
    if (auto d = delegate()) d->finishGetAccountsAccounts(self, std::nullopt);
}

}  // namespace clipora
