#include "byte_stream.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace colorcorrect::formats {

MemorySource::MemorySource(const void* data, size_t size)
    : m_data(static_cast<const uint8_t*>(data)), m_size(data == nullptr ? 0 : size)
{
}

bool MemorySource::Read(void* data, size_t size, size_t& got)
{
    got = std::min(size, m_size - m_pos);
    if (got != 0)
        std::memcpy(data, m_data + m_pos, got);
    m_pos += got;
    return true;
}

FdSource::FdSource(int fd, std::vector<uint8_t> pending) : m_fd(fd), m_pending(std::move(pending))
{
    if (::pipe(m_wake) != 0) {
        m_wake[0] = m_wake[1] = -1;
    } else {
        ::fcntl(m_wake[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(m_wake[1], F_SETFD, FD_CLOEXEC);
    }
}

FdSource::~FdSource()
{
    for (int fd : m_wake)
        if (fd >= 0)
            ::close(fd);
}

void FdSource::Interrupt()
{
    m_interrupted.store(true);
    if (m_wake[1] >= 0) {
        const char byte = 1;
        // A full wake pipe already holds a wake-up, so a failed write is fine.
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
    }
}

bool FdSource::Read(void* data, size_t size, size_t& got)
{
    got = 0;
    auto* out = static_cast<uint8_t*>(data);
    if (m_pendingPos < m_pending.size()) {
        got = std::min(size, m_pending.size() - m_pendingPos);
        std::memcpy(out, m_pending.data() + m_pendingPos, got);
        m_pendingPos += got;
        if (m_pendingPos == m_pending.size())
            std::vector<uint8_t>().swap(m_pending);
    }
    // Pending bytes are enough for one call; otherwise wait for the first
    // bytes the descriptor has.
    while (got == 0 && size != 0) {
        if (m_interrupted.load()) {
            m_error = "reading was interrupted";
            return false;
        }
        if (m_wake[0] >= 0) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            const int ready = ::poll(fds, 2, -1);
            if (ready < 0) {
                if (errno == EINTR)
                    continue;
                m_error = std::string("cannot wait for input: ") + std::strerror(errno);
                return false;
            }
            if (fds[1].revents != 0)
                continue; // interrupted: reported at the top of the loop
        }
        const ssize_t n = ::read(m_fd, out + got, size - got);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            m_error = std::string("read failed: ") + std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool MemorySink::Write(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
}

bool FdSink::Write(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (size != 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = std::string("write failed: ") + std::strerror(errno);
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadFully(ByteSource& source, void* data, size_t size, size_t& got)
{
    got = 0;
    auto* out = static_cast<uint8_t*>(data);
    while (got < size) {
        size_t n = 0;
        if (!source.Read(out + got, size - got, n))
            return false;
        if (n == 0)
            break;
        got += n;
    }
    return true;
}

} // namespace colorcorrect::formats
