#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {
class KeyedUnarchiver;
}

namespace clipora {

// One occurrence of a host-defined event in a session's event log. Owned and
// guarded by its session: it has no lock of its own.
class TallyEvent : public platform::Object, public platform::Coding {
public:
    static constexpr const char* kClassName = "TallyEvent";

    // A new occurrence started now, with the next event id.
    static std::shared_ptr<TallyEvent> initWithNameTimedParameters(
        const std::string& name, bool timed, std::optional<platform::Value::Dictionary> parameters);
    static std::shared_ptr<TallyEvent> initWithNameTimed(const std::string& name, bool timed);
    static std::shared_ptr<TallyEvent> initWithName(const std::string& name);
    static std::shared_ptr<TallyEvent> initWithCoder(platform::KeyedUnarchiver& coder);
    // Registers the class with the keyed unarchiver (idempotent).
    static void registerCoding();

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    platform::Date started() const { return started_; }
    void setStarted(platform::Date started) { started_ = started; }
    const std::optional<platform::Date>& ended() const { return ended_; }
    void setEnded(std::optional<platform::Date> ended) { ended_ = ended; }
    bool timed() const { return timed_; }
    void setTimed(bool timed) { timed_ = timed; }
    bool automaticallyEnded() const { return automaticallyEnded_; }
    void setAutomaticallyEnded(bool ended) { automaticallyEnded_ = ended; }
    const std::optional<platform::Value::Dictionary>& parameters() const { return parameters_; }
    void setParameters(std::optional<platform::Value::Dictionary> parameters) { parameters_ = std::move(parameters); }
    std::optional<std::int64_t> eventLogId() const { return eventLogId_; }
    void setEventLogId(std::optional<std::int64_t> id) { eventLogId_ = id; }

    // Timed and not ended yet.
    bool isUnterminated() const;
    // Milliseconds from the session start to `started`, low 32 bits.
    std::int32_t startOffsetFromSessionStart(platform::Date sessionStart) const;
    // Milliseconds from `started` to `ended` for an ended timed event, else 0.
    std::int32_t duration() const;
    // The event's wire form, its times relative to the session start.
    platform::Data dataRelativeToSessionStart(platform::Date sessionStart) const;

    std::string description() const override;

private:
    std::string name_;
    platform::Date started_;
    std::optional<platform::Date> ended_;
    bool timed_ = false;
    bool automaticallyEnded_ = false;
    std::optional<platform::Value::Dictionary> parameters_;
    std::optional<std::int64_t> eventLogId_;
};

}  // namespace clipora
