#pragma once

#include <memory>

#include "share/Core/SXItem.h"

namespace clipora {

class EDAMNote;

// A share item that carries a ready-made note: its title, tags, content,
// attributes, notebook and resources (whichever are set) are the start of
// the note the note-service sharer sends.
class SXEvernoteItem : public SXItem {
public:
    const std::shared_ptr<EDAMNote>& note() const { return note_; }
    void setNote(std::shared_ptr<EDAMNote> note) { note_ = std::move(note); }

private:
    std::shared_ptr<EDAMNote> note_;
};

}  // namespace clipora
