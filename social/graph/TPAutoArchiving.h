#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora {

// A record class that TPAutoArchiver writes and reads by its declared
// properties. The declared properties are the PropertyTable the class
// registers in platform::CodingRegistry under classNameForCoder().
//
// Every hook is optional: the defaults add nothing, exclude nothing and
// read and write the declared properties only.
class TPAutoArchiving : public platform::Object, public platform::Coding {
public:
    // Names removed from the declared properties before archiving.
    virtual std::vector<std::string> autoArchiverKeysToExclude() const { return {}; }
    // Names appended after the exclusion; archived when valueForKey can read them.
    virtual std::vector<std::string> autoArchiverKeysToAdd() const { return {}; }
    // Registered class names (beyond the plain value kinds) that may stand
    // among the archived values, all the way down; anything else in an
    // archive makes it unreadable.
    virtual std::vector<std::string> autoArchiverObjectClasses() const { return {}; }

    // Key-value coding over the declared properties. std::nullopt: no value,
    // or no such property. Override to reach names the class does not declare.
    virtual std::optional<platform::Value> valueForKey(std::string_view key) const;
    // False when there is no such property or the value does not fit it (the
    // property is then unchanged).
    virtual bool setValueForKey(std::string_view key, const std::optional<platform::Value>& value);
};

}  // namespace clipora
