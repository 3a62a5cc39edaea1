#include "win32/MessageQueue.h"

#include <algorithm>

namespace Platform {

bool MessageQueue::Take(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    const bool anyNumber = filterMin == 0 && filterMax == 0;
    const auto matches = [&](const MSG& m) {
        if (window != nullptr && m.hwnd != window) return false;
        return anyNumber || (m.message >= filterMin && m.message <= filterMax);
    };
    const auto it = std::find_if(m_messages.begin(), m_messages.end(), matches);
    if (it == m_messages.end()) return false;
    *msg = *it;
    if (remove) m_messages.erase(it);
    return true;
}

void MessageQueue::PostCoalesced(const MSG& msg) {
    if (!m_messages.empty() && m_messages.back().hwnd == msg.hwnd && m_messages.back().message == msg.message)
        m_messages.back() = msg;
    else
        m_messages.push_back(msg);
}

void MessageQueue::DiscardFor(HWND window) {
    std::erase_if(m_messages, [window](const MSG& m) { return m.hwnd == window; });
}

MessageQueue& ThreadQueue() {
    static MessageQueue queue;
    return queue;
}

}  // namespace Platform
