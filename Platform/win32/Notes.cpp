#include "win32/Notes.h"

#include <deque>
#include <string>

namespace Platform {
namespace {

constexpr size_t kKept = 4096;

struct Note {
    VOREL_NOTE_KIND kind;
    std::string subject, text;
};

// The thread's last notes, and the number the next one gets.
struct Notes {
    std::deque<Note> kept;
    UINT64 next = 0;
};

Notes& ThreadNotes() {
    thread_local Notes notes;
    return notes;
}

}  // namespace

void AddNote(VOREL_NOTE_KIND kind, std::string_view subject, std::string_view text) {
    Notes& notes = ThreadNotes();
    if (notes.kept.size() == kKept) notes.kept.pop_front();
    notes.kept.push_back({kind, std::string(subject), std::string(text)});
    ++notes.next;
}

}  // namespace Platform

HRESULT WINAPI VorelReadNotes(UINT64* position, VOREL_NOTE_VISITOR visit, void* context) {
    if (position == nullptr) return E_POINTER;
    const Platform::Notes& notes = Platform::ThreadNotes();
    const UINT64 first = notes.next - notes.kept.size();
    const bool skipped = *position < first;
    if (visit != nullptr)
        for (UINT64 at = skipped ? first : *position; at < notes.next; ++at) {
            const auto& note = notes.kept[static_cast<size_t>(at - first)];
            visit(context, note.kind, note.subject.c_str(), note.text.c_str());
        }
    *position = notes.next;
    return skipped && visit != nullptr ? S_FALSE : S_OK;
}
