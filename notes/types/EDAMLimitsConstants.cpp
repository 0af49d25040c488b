#include "notes/types/EDAMLimitsConstants.h"

namespace clipora {

namespace {

// Notebook names, stacks and saved-search names share one rule.
constexpr const char* kShortNameRegex = R"(^[^\p{Cc}\p{Z}]([^\p{Cc}\p{Zl}\p{Zp}]{0,98}[^\p{Cc}\p{Z}])?$)";
constexpr const char* kEmailLocal = R"([A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+(\.[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*)";
constexpr const char* kEmailDomain = R"([A-Za-z0-9-]+(\.[A-Za-z0-9-]+)*\.([A-Za-z]{2,}))";

}  // namespace

const std::set<std::string>& EDAMLimitsConstants::EDAM_MIME_TYPES() {
    static const std::set<std::string> types{"image/gif",
                                             "image/jpeg",
                                             "image/png",
                                             "audio/wav",
                                             "audio/mpeg",
                                             "audio/amr",
                                             "application/vnd.evernote.ink",
                                             "application/pdf"};
    return types;
}

const std::set<std::string>& EDAMLimitsConstants::EDAM_PUBLISHING_URI_PROHIBITED() {
    static const std::set<std::string> prohibited{".."};
    return prohibited;
}

std::string EDAMLimitsConstants::EDAM_ATTRIBUTE_REGEX() { return R"(^[^\p{Cc}\p{Zl}\p{Zp}]{1,4096}$)"; }
std::string EDAMLimitsConstants::EDAM_GUID_REGEX() {
    return R"(^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$)";
}
std::string EDAMLimitsConstants::EDAM_EMAIL_LOCAL_REGEX() { return std::string("^") + kEmailLocal + "$"; }
std::string EDAMLimitsConstants::EDAM_EMAIL_DOMAIN_REGEX() { return std::string("^") + kEmailDomain + "$"; }
std::string EDAMLimitsConstants::EDAM_EMAIL_REGEX() {
    return std::string("^") + kEmailLocal + "@" + kEmailDomain + "$";
}
std::string EDAMLimitsConstants::EDAM_TIMEZONE_REGEX() {
    return R"(^([A-Za-z_-]+(/[A-Za-z_-]+)*)|(GMT(-|\+)[0-9]{1,2}(:[0-9]{2})?)$)";
}
std::string EDAMLimitsConstants::EDAM_MIME_REGEX() { return R"(^[A-Za-z]+/[A-Za-z0-9._+-]+$)"; }
std::string EDAMLimitsConstants::EDAM_SEARCH_QUERY_REGEX() { return R"(^[^\p{Cc}\p{Zl}\p{Zp}]{0,1024}$)"; }
std::string EDAMLimitsConstants::EDAM_USER_USERNAME_REGEX() { return R"(^[a-z0-9]([a-z0-9_-]{0,62}[a-z0-9])?$)"; }
std::string EDAMLimitsConstants::EDAM_USER_NAME_REGEX() { return R"(^[^\p{Cc}\p{Zl}\p{Zp}]{1,255}$)"; }
std::string EDAMLimitsConstants::EDAM_TAG_NAME_REGEX() {
    return R"(^[^,\p{Cc}\p{Z}]([^,\p{Cc}\p{Zl}\p{Zp}]{0,98}[^,\p{Cc}\p{Z}])?$)";
}
std::string EDAMLimitsConstants::EDAM_NOTE_TITLE_REGEX() {
    return R"(^[^\p{Cc}\p{Z}]([^\p{Cc}\p{Zl}\p{Zp}]{0,253}[^\p{Cc}\p{Z}])?$)";
}
std::string EDAMLimitsConstants::EDAM_NOTEBOOK_NAME_REGEX() { return kShortNameRegex; }
std::string EDAMLimitsConstants::EDAM_NOTEBOOK_STACK_REGEX() { return kShortNameRegex; }
std::string EDAMLimitsConstants::EDAM_PUBLISHING_URI_REGEX() { return R"(^[a-zA-Z0-9.~_+-]{1,255}$)"; }
std::string EDAMLimitsConstants::EDAM_PUBLISHING_DESCRIPTION_REGEX() {
    return R"(^[^\p{Cc}\p{Z}]([^\p{Cc}\p{Zl}\p{Zp}]{0,198}[^\p{Cc}\p{Z}])?$)";
}
std::string EDAMLimitsConstants::EDAM_SAVED_SEARCH_NAME_REGEX() { return kShortNameRegex; }
std::string EDAMLimitsConstants::EDAM_USER_PASSWORD_REGEX() {
    return R"(^[A-Za-z0-9!#$%&'()*+,./:;<=>?@^_`{|}~\[\]\\-]{6,64}$)";
}

}  // namespace clipora
