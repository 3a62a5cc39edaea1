#pragma once

#include <windows.h>

#include <deque>

namespace Platform {

// The thread's posted-message queue, first in first out.
class MessageQueue {
public:
    void Post(const MSG& msg) { m_messages.push_back(msg); }
    // As Post, but a message of the same window and number at the back is
    // replaced: the mouse's moves are reported as its latest position, as
    // in Win32, and never pile up ahead of the keys.
    void PostCoalesced(const MSG& msg);

    // PeekMessage's selection: window 0 takes messages of every window and
    // thread messages; a range of 0..0 takes every message number. Returns
    // false, leaving msg untouched, when nothing matches.
    bool Take(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove);

    // A destroyed window's messages are discarded with it.
    void DiscardFor(HWND window);

    size_t Size() const { return m_messages.size(); }

private:
    std::deque<MSG> m_messages;
};

// The queue of the one thread that runs the application.
MessageQueue& ThreadQueue();

}  // namespace Platform
