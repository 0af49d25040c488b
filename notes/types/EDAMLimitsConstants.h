#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace clipora {

// The limits, patterns, MIME types and commerce-service names the note
// service declares. Nothing in the client checks records against them; they
// are the service's rules, offered to callers that want to check first.
class EDAMLimitsConstants {
public:
    EDAMLimitsConstants() = delete;

    static std::int32_t EDAM_ATTRIBUTE_LEN_MIN() { return 1; }
    static std::int32_t EDAM_ATTRIBUTE_LEN_MAX() { return 4096; }
    static std::int32_t EDAM_ATTRIBUTE_LIST_MAX() { return 100; }
    static std::int32_t EDAM_GUID_LEN_MIN() { return 36; }
    static std::int32_t EDAM_GUID_LEN_MAX() { return 36; }
    static std::int32_t EDAM_EMAIL_LEN_MIN() { return 6; }
    static std::int32_t EDAM_EMAIL_LEN_MAX() { return 255; }
    static std::int32_t EDAM_TIMEZONE_LEN_MIN() { return 1; }
    static std::int32_t EDAM_TIMEZONE_LEN_MAX() { return 32; }
    static std::int32_t EDAM_MIME_LEN_MIN() { return 3; }
    static std::int32_t EDAM_MIME_LEN_MAX() { return 255; }
    static std::int32_t EDAM_SEARCH_QUERY_LEN_MIN() { return 0; }
    static std::int32_t EDAM_SEARCH_QUERY_LEN_MAX() { return 1024; }
    static std::int32_t EDAM_HASH_LEN() { return 16; }
    static std::int32_t EDAM_USER_USERNAME_LEN_MIN() { return 1; }
    static std::int32_t EDAM_USER_USERNAME_LEN_MAX() { return 64; }
    static std::int32_t EDAM_USER_NAME_LEN_MIN() { return 1; }
    static std::int32_t EDAM_USER_NAME_LEN_MAX() { return 255; }
    static std::int32_t EDAM_TAG_NAME_LEN_MIN() { return 1; }
    static std::int32_t EDAM_TAG_NAME_LEN_MAX() { return 100; }
    static std::int32_t EDAM_NOTE_TITLE_LEN_MIN() { return 1; }
    static std::int32_t EDAM_NOTE_TITLE_LEN_MAX() { return 255; }
    static std::int32_t EDAM_NOTE_CONTENT_LEN_MIN() { return 0; }
    static std::int32_t EDAM_NOTE_CONTENT_LEN_MAX() { return 5242880; }
    static std::int32_t EDAM_NOTEBOOK_NAME_LEN_MIN() { return 1; }
    static std::int32_t EDAM_NOTEBOOK_NAME_LEN_MAX() { return 100; }
    static std::int32_t EDAM_NOTEBOOK_STACK_LEN_MIN() { return 1; }
    static std::int32_t EDAM_NOTEBOOK_STACK_LEN_MAX() { return 100; }
    static std::int32_t EDAM_PUBLISHING_URI_LEN_MIN() { return 1; }
    static std::int32_t EDAM_PUBLISHING_URI_LEN_MAX() { return 255; }
    static std::int32_t EDAM_PUBLISHING_DESCRIPTION_LEN_MIN() { return 1; }
    static std::int32_t EDAM_PUBLISHING_DESCRIPTION_LEN_MAX() { return 200; }
    static std::int32_t EDAM_SAVED_SEARCH_NAME_LEN_MIN() { return 1; }
    static std::int32_t EDAM_SAVED_SEARCH_NAME_LEN_MAX() { return 100; }
    static std::int32_t EDAM_USER_PASSWORD_LEN_MIN() { return 6; }
    static std::int32_t EDAM_USER_PASSWORD_LEN_MAX() { return 64; }
    static std::int32_t EDAM_NOTE_TAGS_MAX() { return 100; }
    static std::int32_t EDAM_NOTE_RESOURCES_MAX() { return 1000; }
    static std::int32_t EDAM_USER_TAGS_MAX() { return 100000; }
    static std::int32_t EDAM_USER_SAVED_SEARCHES_MAX() { return 100; }
    static std::int32_t EDAM_USER_NOTES_MAX() { return 100000; }
    static std::int32_t EDAM_USER_NOTEBOOKS_MAX() { return 100; }
    static std::int32_t EDAM_USER_RECENT_MAILED_ADDRESSES_MAX() { return 10; }
    static std::int32_t EDAM_USER_MAIL_LIMIT_DAILY_FREE() { return 50; }
    static std::int32_t EDAM_USER_MAIL_LIMIT_DAILY_PREMIUM() { return 200; }
    static std::int32_t EDAM_NOTE_SIZE_MAX_FREE() { return 26214400; }
    static std::int32_t EDAM_NOTE_SIZE_MAX_PREMIUM() { return 52428800; }
    static std::int32_t EDAM_RESOURCE_SIZE_MAX_FREE() { return 26214400; }
    static std::int32_t EDAM_RESOURCE_SIZE_MAX_PREMIUM() { return 52428800; }
    static std::int32_t EDAM_USER_LINKED_NOTEBOOK_MAX() { return 100; }
    static std::int32_t EDAM_NOTEBOOK_SHARED_NOTEBOOK_MAX() { return 100; }

    static std::string EDAM_MIME_TYPE_GIF() { return "image/gif"; }
    static std::string EDAM_MIME_TYPE_JPEG() { return "image/jpeg"; }
    static std::string EDAM_MIME_TYPE_PNG() { return "image/png"; }
    static std::string EDAM_MIME_TYPE_WAV() { return "audio/wav"; }
    static std::string EDAM_MIME_TYPE_MP3() { return "audio/mpeg"; }
    static std::string EDAM_MIME_TYPE_AMR() { return "audio/amr"; }
    static std::string EDAM_MIME_TYPE_INK() { return "application/vnd.evernote.ink"; }
    static std::string EDAM_MIME_TYPE_PDF() { return "application/pdf"; }
    static std::string EDAM_MIME_TYPE_DEFAULT() { return "application/octet-stream"; }
    // The eight known types (not the default type); the same set on every call.
    static const std::set<std::string>& EDAM_MIME_TYPES();

    static std::string EDAM_COMMERCE_SERVICE_GOOGLE() { return "Google"; }
    static std::string EDAM_COMMERCE_SERVICE_PAYPAL() { return "Paypal"; }
    static std::string EDAM_COMMERCE_SERVICE_GIFT() { return "Gift"; }
    static std::string EDAM_COMMERCE_SERVICE_TRIALPAY() { return "TrialPay"; }

    // The one prohibited publishing URI, ".."; the same set on every call.
    static const std::set<std::string>& EDAM_PUBLISHING_URI_PROHIBITED();

    // Patterns over the whole value, as texts (not compiled here).
    static std::string EDAM_ATTRIBUTE_REGEX();
    static std::string EDAM_GUID_REGEX();
    static std::string EDAM_EMAIL_LOCAL_REGEX();
    static std::string EDAM_EMAIL_DOMAIN_REGEX();
    static std::string EDAM_EMAIL_REGEX();
    static std::string EDAM_TIMEZONE_REGEX();
    static std::string EDAM_MIME_REGEX();
    static std::string EDAM_SEARCH_QUERY_REGEX();
    static std::string EDAM_USER_USERNAME_REGEX();
    static std::string EDAM_USER_NAME_REGEX();
    static std::string EDAM_TAG_NAME_REGEX();
    static std::string EDAM_NOTE_TITLE_REGEX();
    static std::string EDAM_NOTEBOOK_NAME_REGEX();
    static std::string EDAM_NOTEBOOK_STACK_REGEX();
    static std::string EDAM_PUBLISHING_URI_REGEX();
    static std::string EDAM_PUBLISHING_DESCRIPTION_REGEX();
    static std::string EDAM_SAVED_SEARCH_NAME_REGEX();
    static std::string EDAM_USER_PASSWORD_REGEX();
};

}  // namespace clipora
