#pragma once

#include <string>

#include "notes/types/Record.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Base of the note service's three exceptions: a record (its fields travel
// inside call results) that can also be thrown. Every instance carries the
// exception name of its class and the reason "unknown"; the details are in
// the fields.
class NoteServiceException : public platform::Exception, public Record {
public:
    // Throws this exception as its own class (a copy of it).
    [[noreturn]] virtual void raise() const = 0;

    struct Base {
        std::string name;
        std::string reason;
        platform::Value::Dictionary userInfo;
    };
    // The name, reason and user information an archive holds for an
    // exception of class `className` (its defaults where keys are missing).
    static Base decodeBase(platform::KeyedUnarchiver& coder, const char* className);

protected:
    explicit NoteServiceException(std::string name, std::string reason = "unknown",
                                  platform::Value::Dictionary userInfo = {});
    void encodeBaseWithCoder(platform::KeyedArchiver& coder) const override;
};

}  // namespace clipora
