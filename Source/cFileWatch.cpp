#include "cFileWatch.h"

#include <system_error>

namespace Vorel {

void cFileWatch::Watch(const std::string& path) {
    m_path = path;
    m_inHand = m_lastSeen = Read();
    m_polled = false;
}

cFileWatch::Version cFileWatch::Read() const {
    Version version;
    if (m_path.empty()) return version;
    std::error_code ec;
    version.size = std::filesystem::file_size(m_path, ec);
    if (ec) return {};
    version.written = std::filesystem::last_write_time(m_path, ec);
    if (ec) return {};
    version.exists = true;
    return version;
}

bool cFileWatch::Poll(uint32_t nowMs) {
    // The file is looked at ten times a second at most: a frame never waits
    // on a slow disk more than that.
    if (m_path.empty() || (m_polled && nowMs - m_polledAt < kPollMs)) return false;
    m_polled = true;
    m_polledAt = nowMs;
    const Version seen = Read();
    if (seen != m_lastSeen) {
        m_lastSeen = seen;
        m_seenSince = nowMs;
        return false;
    }
    // Unsigned difference: right across the clock's wrap.
    if (!seen.exists || seen == m_inHand || nowMs - m_seenSince < m_settleMs) return false;
    m_inHand = seen;
    return true;
}

}  // namespace Vorel
