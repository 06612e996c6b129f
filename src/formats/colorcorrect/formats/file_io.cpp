#include "file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace colorcorrect::formats {

namespace {

std::string ErrnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// Temporary files the signal handlers remove: a fixed table, because a handler
// may only touch memory that is always valid.
constexpr size_t kSlots = 8;
constexpr size_t kSlotPath = 4096;
struct TempSlot {
    std::atomic<bool> used{false};
    std::atomic<bool> armed{false};
    char path[kSlotPath];
};
std::array<TempSlot, kSlots> g_tempSlots;

int ClaimSlot(const std::string& path)
{
    if (path.size() >= kSlotPath)
        return -1;
    for (size_t i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (g_tempSlots[i].used.compare_exchange_strong(expected, true)) {
            std::memcpy(g_tempSlots[i].path, path.c_str(), path.size() + 1);
            g_tempSlots[i].armed.store(true);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ReleaseSlot(int slot)
{
    if (slot < 0)
        return;
    g_tempSlots[slot].armed.store(false);
    g_tempSlots[slot].used.store(false);
}

// The file a name finally refers to: a symbolic link is followed (also one
// whose target does not exist yet), so that the finished file replaces the
// link's target and the link keeps pointing at it. At most 40 links, as the
// system allows; a longer chain is left for the rename to refuse.
std::string FollowLinks(std::string path)
{
    for (int i = 0; i < 40; ++i) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size())
            return path;
        target.resize(static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        path = target.front() == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
    }
    return path;
}

extern "C" void RemoveTempFilesAndDie(int sig)
{
    for (TempSlot& slot : g_tempSlots)
        if (slot.armed.load())
            ::unlink(slot.path);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Opens the temporary `path` that belongs to one target, creating it or
// taking over one that a killed run left behind, so that such leftovers do not
// pile up: each run replaces the last one's. A run holds an exclusive lock on
// its temporary until the rename, so a lock that is free means a dead owner.
// The lock is on the open file, so after taking it the name must still lead
// to that file (a finishing run may have renamed or removed it in between);
// otherwise it starts again. -1 when the name is held by a running process or
// cannot be used (a link, a folder, another user's file): the caller then
// makes a temporary of its own, whose failure it reports.
int OpenStableTemp(const std::string& path)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return -1;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
            opened.st_ino == named.st_ino) {
            if (S_ISREG(opened.st_mode) && ::ftruncate(fd, 0) == 0)
                return fd;
            ::close(fd);
            return -1;
        }
        ::close(fd);
    }
    return -1;
}

mode_t CurrentUmask()
{
    static const mode_t mask = [] {
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

} // namespace

bool IsStdio(const std::string& path)
{
    return path == "-";
}

bool ReadAll(ByteSource& source, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error)
{
    constexpr size_t kChunk = size_t{1} << 16;
    for (;;) {
        const size_t old = bytes.size();
        if (old > maxBytes) {
            error = "larger than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
        const size_t want = std::min(kChunk, maxBytes + 1 - old);
        bytes.resize(old + want);
        size_t got = 0;
        if (!ReadFully(source, bytes.data() + old, want, got)) {
            bytes.resize(old);
            error = source.Error();
            return false;
        }
        bytes.resize(old + got);
        if (bytes.size() > maxBytes) {
            error = "larger than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
        if (got < want)
            return true;
    }
}

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error)
{
    InputFile in;
    if (!in.Open(path, error))
        return false;
    bytes.clear();
    FdSource source(in.Fd());
    return ReadAll(source, maxBytes, bytes, error);
}

InputFile::~InputFile()
{
    if (m_owned && m_fd >= 0)
        ::close(m_fd);
}

bool InputFile::Open(const std::string& path, std::string& error)
{
    if (IsStdio(path)) {
        m_fd = STDIN_FILENO;
        m_owned = false;
        return true;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = ErrnoText("cannot open");
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = "is a directory";
        return false;
    }
    m_fd = fd;
    m_owned = true;
    return true;
}

OutputFile::~OutputFile()
{
    Discard();
}

bool OutputFile::Open(const std::string& path, std::string& error)
{
    Discard();
    m_path = path;
    if (IsStdio(path)) {
        m_sink = std::make_unique<FdSink>(STDOUT_FILENO);
        return true;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = "is a directory";
            return false;
        }
        // A pipe, a device or a socket is written through: renaming a file
        // over it would take it away from its reader (or, for a device node,
        // replace the device).
        if (!S_ISREG(st.st_mode)) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) {
                error = ErrnoText("cannot open");
                return false;
            }
            m_fd = fd;
            m_sink = std::make_unique<FdSink>(fd);
            return true;
        }
    }
    m_path = FollowLinks(path);
    const size_t slash = m_path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : m_path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
    std::string temp = dir + "." + name + ".partial";
    int fd = OpenStableTemp(temp);
    if (fd < 0) {
        // Another run is writing the same target right now (or the name is
        // unusable): keep out of its way under a name of our own.
        temp = dir + "." + name + ".partial-XXXXXX";
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            error = ErrnoText("cannot create");
            return false;
        }
    }
    m_slot = ClaimSlot(temp);
    ::fchmod(fd, 0666 & ~CurrentUmask());
    m_fd = fd;
    m_temp = temp;
    m_sink = std::make_unique<FdSink>(fd);
    return true;
}

bool OutputFile::Commit(std::string& error)
{
    if (IsStdio(m_path)) {
        m_sink.reset();
        return true;
    }
    if (m_fd < 0) {
        error = "no output open";
        return false;
    }
    m_sink.reset();
    if (m_temp.empty()) { // written through: nothing to rename
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        if (!closed)
            error = ErrnoText("cannot write");
        return closed;
    }
    // Errors the system held back until now (a full disk on a file system
    // that allocates late, a failing device) come out of fsync. The rename
    // happens while the temporary is still open and locked, so that another
    // run can never take it over between our last check and the rename.
    if (::fsync(m_fd) != 0) {
        error = ErrnoText("cannot write");
        Discard();
        return false;
    }
    if (::rename(m_temp.c_str(), m_path.c_str()) != 0) {
        error = ErrnoText("cannot rename the finished file into place");
        Discard();
        return false;
    }
    ReleaseSlot(m_slot);
    m_slot = -1;
    m_temp.clear();
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!closed)
        error = ErrnoText("cannot close the finished file");
    return closed;
}

void OutputFile::Discard()
{
    m_sink.reset();
    // Removed before it is closed: closing gives up the lock, and another run
    // may then take over the temporary under the same name.
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    ReleaseSlot(m_slot);
    m_slot = -1;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& error)
{
    OutputFile out;
    if (!out.Open(path, error))
        return false;
    if (!out.Sink().Write(data, size)) {
        error = out.Sink().Error();
        return false;
    }
    return out.Commit(error);
}

void InstallOutputCleanupHandlers()
{
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit (ulimit -f) the write then fails with EFBIG and
    // is reported like a full disk, instead of the process being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = RemoveTempFilesAndDie;
        sigemptyset(&action.sa_mask);
        ::sigaction(sig, &action, nullptr);
    }
}

} // namespace colorcorrect::formats
