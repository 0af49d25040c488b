#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "social/graph/TPAutoArchiving.h"

namespace clipora {

// Keyed archiving of a record by its declared properties: all of them go
// into one dictionary (property name -> value, a property without a value as
// the null value, scalars as numbers) under kValuesBlobKey, and come back
// from it by name.
//
// Reading trusts nothing: the dictionary may hold only plain values and the
// classes the record names (TPAutoArchiving::autoArchiverObjectClasses), or
// the archive is unreadable; only names of the key list are restored, and a
// stored value that does not fit its property leaves the property absent.
class TPAutoArchiver {
public:
    static constexpr std::string_view kValuesBlobKey = "TPAutoArchiverValuesBlobKey";

    TPAutoArchiver() = delete;

    // The names of the properties the class registered for itself, in
    // declaration order; std::nullopt for an empty name or a class that
    // declares none.
    static std::optional<std::vector<std::string>> propertyKeysForClass_(std::string_view className);
    // Does nothing when either is null.
    static void archiveObjectWithCoder(const TPAutoArchiving* object, platform::KeyedArchiver* coder);
    static void unarchiveObjectWithCoder(TPAutoArchiving* object, platform::KeyedUnarchiver* coder);

private:
    // The declared names less the excluded ones, then the added ones.
    static std::vector<std::string> keysFor(const TPAutoArchiving& object);
};

}  // namespace clipora
