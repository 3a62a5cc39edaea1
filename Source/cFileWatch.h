#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace Vorel {

// Notices that a file has been written again. A change is reported once the
// file has stayed the same (size and modification time) for a settling
// time, so that a file an exporter is still writing is not read half-way;
// each settled version is reported once.
class cFileWatch {
public:
    explicit cFileWatch(uint32_t settleMs = 500) : m_settleMs(settleMs) {}

    // Watches `path`, taking the file as it is now as the version in hand.
    void Watch(const std::string& path);
    const std::string& GetPath() const { return m_path; }

    // True when the file, as seen at `nowMs` (a millisecond clock), is a
    // new version that has settled.
    bool Poll(uint32_t nowMs);

private:
    struct Version {
        bool exists = false;
        uintmax_t size = 0;
        std::filesystem::file_time_type written{};
        bool operator==(const Version&) const = default;
    };
    Version Read() const;

    uint32_t m_settleMs;
    std::string m_path;
    Version m_inHand;    // the version last reported (or watched)
    Version m_lastSeen;  // the version the last poll found
    uint32_t m_seenSince = 0;
    bool m_polled = false;
    uint32_t m_polledAt = 0;
    static constexpr uint32_t kPollMs = 100;
};

}  // namespace Vorel
