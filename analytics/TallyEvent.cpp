#include "analytics/TallyEvent.h"

#include "analytics/TallyAutoIncrement.h"
#include "analytics/TallyProtocolData.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

namespace {
// What parameters may hold when read back from an archive.
const KeyedUnarchiver::ClassList& parameterClasses() {
    static const KeyedUnarchiver::ClassList classes{
        Coding::kStringClass, Coding::kNumberClass,     Coding::kDateClass, Coding::kDataClass,
        Coding::kArrayClass,  Coding::kDictionaryClass, Coding::kNullClass};
    return classes;
}
}  // namespace

std::shared_ptr<TallyEvent> TallyEvent::initWithNameTimedParameters(const std::string& name, bool timed,
                                                                    std::optional<Value::Dictionary> parameters) {
    auto event = std::make_shared<TallyEvent>();
    event->name_ = name;
    event->timed_ = timed;
    event->parameters_ = std::move(parameters);
    event->started_ = Date::now();
    event->eventLogId_ = TallyAutoIncrement::instance()->nextCountFor(TallyAutoIncrement::kEventKind);
    return event;
}

std::shared_ptr<TallyEvent> TallyEvent::initWithNameTimed(const std::string& name, bool timed) {
    return initWithNameTimedParameters(name, timed, std::nullopt);
}

std::shared_ptr<TallyEvent> TallyEvent::initWithName(const std::string& name) {
    return initWithNameTimedParameters(name, false, std::nullopt);
}

void TallyEvent::registerCoding() { CodingRegistry::registerClass<TallyEvent>(kClassName); }

void TallyEvent::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeObject(Value(name_), "name");
    coder.encodeObject(Value(started_), "started");
    if (ended_) coder.encodeObject(Value(*ended_), "ended");
    coder.encodeBool(timed_, "timed");
    if (parameters_) coder.encodeObject(Value(*parameters_), "parameters");
    coder.encodeBool(automaticallyEnded_, "automaticallyEnded");
    if (eventLogId_) coder.encodeObject(Value(*eventLogId_), "eventLogId");
}

std::shared_ptr<TallyEvent> TallyEvent::initWithCoder(KeyedUnarchiver& coder) {
    auto event = std::make_shared<TallyEvent>();
    event->name_ = coder.decodeString("name").value_or("");
    event->started_ = coder.decodeDate("started").value_or(Date());
    event->ended_ = coder.decodeDate("ended");
    event->timed_ = coder.decodeBool("timed");
    event->parameters_ = coder.decodeDictionary("parameters", parameterClasses());
    event->automaticallyEnded_ = coder.decodeBool("automaticallyEnded");
    if (auto id = coder.decodeObject("eventLogId", {Coding::kNumberClass})) event->eventLogId_ = id->longLongValue();
    if (coder.failed()) return nullptr;
    return event;
}

bool TallyEvent::isUnterminated() const { return timed_ && !ended_; }

std::int32_t TallyEvent::startOffsetFromSessionStart(Date sessionStart) const {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(TallyProtocolData::timeIntervalFromTo(sessionStart, started_)));
}

std::int32_t TallyEvent::duration() const {
    if (!timed_ || !ended_) return 0;
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(TallyProtocolData::timeIntervalFromTo(started_, ended_)));
}

Data TallyEvent::dataRelativeToSessionStart(Date sessionStart) const {
    Data data;
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(eventLogId_.value_or(0)), data);
    TallyProtocolData::appendStringToData(name_, data);
    const std::size_t count = parameters_ ? parameters_->size() : 0;
    TallyProtocolData::appendUshortToData(static_cast<std::uint16_t>(count), data);
    if (parameters_) {
        for (const auto& [key, value] : *parameters_) {
            TallyProtocolData::appendStringToData(key, data);
            TallyProtocolData::appendStringToData(value.description(), data);
        }
    }
    TallyProtocolData::appendLongToData(startOffsetFromSessionStart(sessionStart), data);
    TallyProtocolData::appendLongToData(duration(), data);
    return data;
}

std::string TallyEvent::description() const {
    return Text::format("<TallyEvent name:%@ timed:%d started:%@>", name_, timed_ ? 1 : 0, Value(started_));
}

}  // namespace clipora
