#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// The properties a record class declares itself, in declaration order, each
// read and written by name as a Value: what the platform's run-time
// reflection gives a class, written down as a table. Scalars are boxed as
// numbers (bool, 32- and 64-bit integers, 32- and 64-bit floating point);
// "no value" is std::nullopt.
//
//   PropertyTable::Builder<Video>()
//       .string("videoID", &Video::videoID, &Video::setVideoID)
//       .object<Image>("image", &Video::image, &Video::setImage)
//       .boolean("isLocal", &Video::isLocal, &Video::setIsLocal)
//       .build();
class PropertyTable {
public:
    // std::nullopt: the property holds no value.
    using Getter = std::function<std::optional<Value>(const Object&)>;
    // False when the value does not fit the property (wrong kind, out of
    // range, or no value for a scalar); the property is then unchanged.
    using Setter = std::function<bool(Object&, const std::optional<Value>&)>;

    struct Property {
        std::string name;
        Getter get;
        Setter set;
    };

    template <class T>
    class Builder;

    PropertyTable() = default;
    explicit PropertyTable(std::vector<Property> properties) : properties_(std::move(properties)) {}

    const std::vector<Property>& properties() const { return properties_; }
    std::vector<std::string> names() const;
    const Property* find(std::string_view name) const;
    bool empty() const { return properties_.empty(); }

    // The property's value; std::nullopt when it holds none or the name is unknown.
    std::optional<Value> get(const Object& object, std::string_view name) const;
    // False when the name is unknown or the value does not fit.
    bool set(Object& object, std::string_view name, const std::optional<Value>& value) const;

private:
    std::vector<Property> properties_;
};

template <class T>
class PropertyTable::Builder {
public:
    // Any property, given as Value-level accessors on T.
    template <class Get, class Set>
    Builder& value(std::string name, Get get, Set set) {
        properties_.push_back(
            {std::move(name),
             [get](const Object& o) -> std::optional<Value> { return std::invoke(get, static_cast<const T&>(o)); },
             [set](Object& o, const std::optional<Value>& v) -> bool {
                 if constexpr (std::is_same_v<std::invoke_result_t<Set, T&, const std::optional<Value>&>, bool>)
                     return std::invoke(set, static_cast<T&>(o), v);
                 else {
                     std::invoke(set, static_cast<T&>(o), v);
                     return true;
                 }
             }});
        return *this;
    }

    // Text held as std::optional<std::string>.
    template <class Get, class Set>
    Builder& string(std::string name, Get get, Set set) {
        return value(
            std::move(name),
            [get](const T& o) -> std::optional<Value> {
                std::optional<std::string> s = std::invoke(get, o);
                if (!s) return std::nullopt;
                return Value(std::move(*s));
            },
            [set](T& o, const std::optional<Value>& v) -> bool {
                if (!v || v->isNull()) {
                    std::invoke(set, o, std::optional<std::string>());
                    return true;
                }
                if (!v->isString()) return false;
                std::invoke(set, o, std::optional<std::string>(*v->string()));
                return true;
            });
    }

    // A date held as std::optional<Date>.
    template <class Get, class Set>
    Builder& date(std::string name, Get get, Set set) {
        return value(
            std::move(name),
            [get](const T& o) -> std::optional<Value> {
                std::optional<Date> d = std::invoke(get, o);
                if (!d) return std::nullopt;
                return Value(*d);
            },
            [set](T& o, const std::optional<Value>& v) -> bool {
                if (!v || v->isNull()) {
                    std::invoke(set, o, std::optional<Date>());
                    return true;
                }
                if (!v->isDate()) return false;
                std::invoke(set, o, std::optional<Date>(*v->date()));
                return true;
            });
    }

    // A shared object of class U (an image, another record) or none.
    template <class U, class Get, class Set>
    Builder& object(std::string name, Get get, Set set) {
        return value(
            std::move(name),
            [get](const T& o) -> std::optional<Value> {
                std::shared_ptr<U> p = std::invoke(get, o);
                if (!p) return std::nullopt;
                return Value(std::static_pointer_cast<Object>(std::move(p)));
            },
            [set](T& o, const std::optional<Value>& v) -> bool {
                if (!v || v->isNull()) {
                    std::invoke(set, o, std::shared_ptr<U>());
                    return true;
                }
                auto p = v->template objectAs<U>();
                if (!p) return false;
                std::invoke(set, o, std::move(p));
                return true;
            });
    }

    template <class Get, class Set>
    Builder& boolean(std::string name, Get get, Set set) {
        return value(
            std::move(name),
            [get](const T& o) -> std::optional<Value> { return Value(static_cast<bool>(std::invoke(get, o))); },
            [set](T& o, const std::optional<Value>& v) -> bool {
                if (!v || !v->isNumber()) return false;
                std::invoke(set, o, v->boolValue());
                return true;
            });
    }

    template <class Get, class Set>
    Builder& int32(std::string name, Get get, Set set) {
        return integral<std::int32_t>(std::move(name), get, set);
    }

    template <class Get, class Set>
    Builder& int64(std::string name, Get get, Set set) {
        return integral<std::int64_t>(std::move(name), get, set);
    }

    template <class Get, class Set>
    Builder& float32(std::string name, Get get, Set set) {
        return floating<float>(std::move(name), get, set);
    }

    template <class Get, class Set>
    Builder& float64(std::string name, Get get, Set set) {
        return floating<double>(std::move(name), get, set);
    }

    PropertyTable build() { return PropertyTable(std::move(properties_)); }

private:
    template <class I, class Get, class Set>
    Builder& integral(std::string name, Get get, Set set) {
        return value(
            std::move(name),
            [get](const T& o) -> std::optional<Value> {
                return Value(static_cast<long long>(static_cast<I>(std::invoke(get, o))));
            },
            [set](T& o, const std::optional<Value>& v) -> bool {
                if (!v || !v->isNumber()) return false;
                std::int64_t n;
                if (v->isReal()) {
                    double d = *v->real();
                    if (!(d >= static_cast<double>(std::numeric_limits<I>::min()) &&
                          d <= static_cast<double>(std::numeric_limits<I>::max())))
                        return false;
                    n = static_cast<std::int64_t>(d);
                } else if (v->isBool()) {
                    n = *v->boolean() ? 1 : 0;
                } else {
                    auto i = v->integer();
                    if (!i) return false;
                    n = *i;
                }
                if (n < std::numeric_limits<I>::min() || n > std::numeric_limits<I>::max()) return false;
                std::invoke(set, o, static_cast<I>(n));
                return true;
            });
    }

    template <class F, class Get, class Set>
    Builder& floating(std::string name, Get get, Set set) {
        return value(
            std::move(name),
            [get](const T& o) -> std::optional<Value> {
                return Value(static_cast<double>(static_cast<F>(std::invoke(get, o))));
            },
            [set](T& o, const std::optional<Value>& v) -> bool {
                if (!v || !v->isNumber()) return false;
                std::invoke(set, o, static_cast<F>(v->doubleValue()));
                return true;
            });
    }

    std::vector<Property> properties_;
};

}  // namespace clipora::platform
