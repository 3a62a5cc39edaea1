#pragma once

#include <vorelnotes.h>

#include <string_view>

namespace Platform {

// Keeps a note of the calling thread for VorelReadNotes.
void AddNote(VOREL_NOTE_KIND kind, std::string_view subject, std::string_view text);

}  // namespace Platform
