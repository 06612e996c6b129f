#pragma once
// Opening a program's inputs and outputs. "-" names standard input or standard
// output. Outputs are written under a temporary name beside the target
// (".NAME.partial"), flushed to the disk and renamed over the target only when
// complete, so a failure (or an interrupt, or the process being killed)
// leaves no partial file under the target's name and an older file of that
// name intact. A failure or a catchable signal removes the temporary; one left
// by a killed run is taken over and replaced by the next write to the same
// target, so leftovers never pile up. Two runs writing the same target at
// once: the second uses ".NAME.partial-XXXXXX". An input and the output may
// be the same file: the input is read from the old file to its end. A
// symbolic link keeps pointing where it did: its target is replaced. Outputs
// that are not regular files (a pipe, a device, the /dev/fd name of a process
// substitution) are written through directly.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "byte_stream.h"

namespace colorcorrect::formats {

// True for the name "-".
bool IsStdio(const std::string& path);

// Reads all of `path` ("-": standard input) into `bytes`. Fails with a short
// message (the caller adds the file name) for a missing or unreadable file, a
// directory, or more than `maxBytes` bytes.
bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error);

// Reads what is left of `source` into `bytes` (appending), failing when that
// would make more than `maxBytes` bytes.
bool ReadAll(ByteSource& source, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error);

// An input opened for streaming: a descriptor, owned unless it is standard
// input.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    // Refuses directories; "-" is standard input.
    bool Open(const std::string& path, std::string& error);
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
    bool m_owned = false;
};

// An output that appears under its name only when Commit succeeds.
class OutputFile {
public:
    OutputFile() = default;
    // Removes the temporary file unless Commit succeeded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file beside `path`, or beside the file a link at
    // `path` leads to ("-", a pipe, a device: written directly). The final
    // file gets the usual permissions (0666 less umask).
    bool Open(const std::string& path, std::string& error);
    ByteSink& Sink() { return *m_sink; }
    // Flushes the temporary file to the disk, renames it to the target name
    // and closes it; on failure the temporary is removed.
    bool Commit(std::string& error);
    // Removes the temporary file now (nothing happens for standard output).
    void Discard();

private:
    std::string m_path;
    std::string m_temp;
    int m_fd = -1;
    std::unique_ptr<ByteSink> m_sink;
    int m_slot = -1;
};

// Writes `bytes` to `path` through an OutputFile.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& error);

// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove the temporary
// files of open OutputFiles before the process ends by that signal, and
// ignores SIGPIPE and SIGXFSZ so that a closed pipe or a file-size limit is
// reported as a write failure.
void InstallOutputCleanupHandlers();

} // namespace colorcorrect::formats
