#include "net/engine/BKDateEncoding.h"

#include "platform/foundation/DateFormatter.h"

namespace clipora {

namespace {

// Made once for the process and then only read, so any thread may use them.
struct Formatters {
    platform::DateFormatter rfc1123Reader{"EEE',' dd MMM yyyy HH':'mm':'ss z"};
    platform::DateFormatter rfc850Reader{"EEEE',' dd'-'MMM'-'yy HH':'mm':'ss z"};
    platform::DateFormatter asctimeReader{"EEE MMM d HH':'mm':'ss yyyy"};
    platform::DateFormatter rfc1123Writer{"EEE',' dd MMM yyyy HH':'mm':'ss 'GMT'"};
};

const Formatters& formatters() {
    // Never destroyed: operations on queue workers use them, also while
    // statics are destroyed at exit.
    static const Formatters& instance = *new Formatters;
    return instance;
}

}  // namespace

std::optional<platform::Date> BKDateEncoding::dateFromRFC1123(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const Formatters& f = formatters();
    for (const platform::DateFormatter* reader : {&f.rfc1123Reader, &f.rfc850Reader, &f.asctimeReader}) {
        if (auto date = reader->dateFromString(*text)) return date;
    }
    return std::nullopt;
}

std::string BKDateEncoding::rfc1123String(platform::Date date) {
    return formatters().rfc1123Writer.stringFromDate(date);
}

}  // namespace clipora
