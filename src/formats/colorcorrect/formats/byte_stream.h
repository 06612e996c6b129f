#pragma once
// Byte sources and sinks: the files, pipes and memory buffers programs read
// from and write to. Streams are read and written through these so that the
// same code runs on standard input, on files and on bytes in memory (tests,
// fuzzers).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace colorcorrect::formats {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes into `data` and sets `got` to the number read:
    // what is available now (waiting until at least one byte is), 0 only at
    // the end of the input. Returns false on a read failure (message in
    // Error()); the end of the input is not a failure.
    virtual bool Read(void* data, size_t size, size_t& got) = 0;
    // Asks a Read that is waiting for input on another thread to give up, and
    // every later Read to fail. Safe to call from any thread.
    virtual void Interrupt() {}
    const std::string& Error() const { return m_error; }

protected:
    std::string m_error;
};

// Reads a byte buffer owned by the caller, which must outlive the source.
class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size);
    bool Read(void* data, size_t size, size_t& got) override;

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Reads a file descriptor (not owned), after first handing out `pending`:
// bytes already read from it, for example to recognise the format.
class FdSource : public ByteSource {
public:
    explicit FdSource(int fd, std::vector<uint8_t> pending = {});
    ~FdSource() override;
    FdSource(const FdSource&) = delete;
    FdSource& operator=(const FdSource&) = delete;
    bool Read(void* data, size_t size, size_t& got) override;
    // Wakes a Read blocked on a pipe through a second pipe it also waits on.
    void Interrupt() override;

private:
    int m_fd;
    std::vector<uint8_t> m_pending;
    size_t m_pendingPos = 0;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_interrupted{false};
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all `size` bytes; false on failure (message in Error()).
    virtual bool Write(const void* data, size_t size) = 0;
    const std::string& Error() const { return m_error; }

protected:
    std::string m_error;
};

// Appends to a byte vector.
class MemorySink : public ByteSink {
public:
    bool Write(const void* data, size_t size) override;
    std::vector<uint8_t> bytes;
};

// Writes to a file descriptor (not owned).
class FdSink : public ByteSink {
public:
    explicit FdSink(int fd) : m_fd(fd) {}
    bool Write(const void* data, size_t size) override;

private:
    int m_fd;
};

// Reads until `size` bytes are in or the input ends; `got` tells how many.
// False only on a read failure.
bool ReadFully(ByteSource& source, void* data, size_t size, size_t& got);

} // namespace colorcorrect::formats
