#pragma once

#include <string>

namespace clipora {

// Values of a note's source attribute.
class EDAMTypesConstants {
public:
    EDAMTypesConstants() = delete;
    static std::string EDAM_NOTE_SOURCE_WEB_CLIP() { return "web.clip"; }
    static std::string EDAM_NOTE_SOURCE_MAIL_CLIP() { return "mail.clip"; }
    static std::string EDAM_NOTE_SOURCE_MAIL_SMTP_GATEWAY() { return "mail.smtp"; }
};

}  // namespace clipora
