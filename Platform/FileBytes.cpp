#include "FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Platform {
namespace {

FileBytes::Identity IdentityOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

}  // namespace

FileBytes::Identity FileBytes::Of(const char* path) {
    struct stat info {};
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return {};
    return IdentityOf(info);
}

FileBytes::FileBytes(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        close(fd);
        return;
    }
    // The size it has now; a file that changes meanwhile gives what was
    // there to read.
    m_data.resize(static_cast<size_t>(info.st_size));
    size_t at = 0;
    while (at < m_data.size()) {
        const ssize_t n = read(fd, m_data.data() + at, m_data.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            m_error = errno;
            m_data.clear();
            break;
        }
        if (n == 0) break;
        at += static_cast<size_t>(n);
    }
    if (m_error == 0) {
        m_data.resize(at);
        // A version that grew or shrank while it was read is not one to keep.
        struct stat after {};
        if (fstat(fd, &after) == 0 && IdentityOf(after) == IdentityOf(info) &&
            at == static_cast<size_t>(info.st_size))
            m_identity = IdentityOf(info);
    }
    close(fd);
}

}  // namespace Platform
