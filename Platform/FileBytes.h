// Reading a whole file into memory, for the .x reader, textures and
// effects alike.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string_view>

#include "BulkMemory.h"

namespace Platform {

// A whole file's bytes, read into memory. Not mapped: a file that an
// exporter cuts short or rewrites while it is read would end the process
// with SIGBUS; a copy stays as it was read.
class FileBytes {
public:
    // Which file, in which version: equal identities are the same bytes.
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        bool operator==(const Identity& o) const {
            return device == o.device && inode == o.inode && size == o.size &&
                   modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
        }
    };
    // The identity of the file at `path` now; size -1 when it has none.
    static Identity Of(const char* path);

    explicit FileBytes(const char* path);

    int Error() const { return m_error; }  // an errno value, 0 when readable
    std::string_view Bytes() const { return std::string_view(m_data.data(), m_data.size()); }
    const Identity& Read() const { return m_identity; }  // of the version read

private:
    int m_error = 0;
    BulkVector<char> m_data;
    Identity m_identity;
};

}  // namespace Platform
