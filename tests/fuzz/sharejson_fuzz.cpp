// Fuzz target for the sharing framework's JSON decoder: any input must
// decode or fail cleanly under every option set, and whatever decodes must
// survive a trip through the serializer unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "share/json/JCArray.h"
#include "share/json/JCDictionary.h"
#include "share/json/JCSerializer.h"
#include "share/json/JSONDecoder.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "sharejson_fuzz: %s\n", what);
        std::abort();
    }
}

// Equal documents, where a double written without a fraction ("%.17g" gives
// "35000000000") may come back as an integer of the same value.
bool same(const clipora::JCValue& a, const clipora::JCValue& b) {
    using Kind = clipora::JCValue::Kind;
    const auto number = [](const clipora::JCValue& v) {
        return v.kind() == Kind::Real      ? v.real()
               : v.kind() == Kind::Integer ? static_cast<double>(v.integer())
                                           : static_cast<double>(v.unsignedValue());
    };
    if (a.isNumber() && b.isNumber()) return number(a) == number(b);
    if (a.kind() != b.kind()) return false;
    if (a.isArray()) {
        if (a.array()->count() != b.array()->count()) return false;
        for (std::size_t i = 0; i < a.array()->count(); ++i)
            if (!same(a.array()->objectAtIndex(i), b.array()->objectAtIndex(i))) return false;
        return true;
    }
    if (a.isDictionary()) {
        const clipora::JCDictionary& x = *a.dictionary();
        if (x.count() != b.dictionary()->count()) return false;
        for (std::size_t slot = 0; slot < x.capacity(); ++slot) {
            const auto& entry = x.entryAtSlot(slot);
            if (!entry.key) continue;
            const clipora::JCValue* other = b.dictionary()->objectForKey(entry.key->view());
            if (!other || !same(entry.object, *other)) return false;
        }
        return true;
    }
    return a == b;
}

void roundTrip(const clipora::JCValue& root, unsigned serializeOptions) {
    std::optional<clipora::platform::Error> error;
    const auto text = clipora::JCSerializer::JSONStringWithOptionsError(root, serializeOptions, &error);
    check(text.has_value() && !error, "a decoded document could not be written");
    const auto again = clipora::JSONDecoder::objectFromJSONStringWithParseOptionsError(*text);
    check(again != nullptr, "written text does not decode");
    check(same(clipora::JSONDecoder::rootValue(*again), root), "round trip changed the document");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = size ? reinterpret_cast<const char*>(data) : "";
    for (unsigned options : {0u, 1u, 2u, 4u, 8u, 15u}) {
        clipora::JSONDecoder decoder(options);
        std::optional<clipora::platform::Error> error;
        const auto object = decoder.objectWithUTF8StringLengthError(bytes, size, &error);
        check((object == nullptr) == error.has_value(), "result and error disagree");
        if (error) {
            const auto& info = error->userInfo();
            const auto index = info.at("JCAtIndexKey").unsignedInteger();
            check(index && *index <= size, "error index beyond the input");
            continue;
        }
        // A second parse with the same decoder answers an equal document
        // (its strings now come from the cache).
        const auto again = decoder.mutableObjectWithUTF8StringLengthError(bytes, size, &error);
        check(again != nullptr, "second parse failed");
        const clipora::JCValue root = clipora::JSONDecoder::rootValue(*object);
        check(root == clipora::JSONDecoder::rootValue(*again), "second parse differs");
        roundTrip(root, 0);
        roundTrip(root, clipora::JCSerializer::kSerializeOptionPretty |
                            clipora::JCSerializer::kSerializeOptionEscapeUnicode |
                            clipora::JCSerializer::kSerializeOptionEscapeForwardSlashes);
    }
    return 0;
}
