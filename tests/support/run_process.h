#pragma once
// Running a program from a test: arguments, bytes on standard input, and
// what it printed on standard output and standard error, with its exit code.

#include <cstdint>
#include <string>
#include <vector>

namespace colorcorrect::test {

struct ProcessResult {
    int exitCode = -1;     // exit status, or 128 + signal number when killed by a signal
    std::string out;       // everything written to standard output
    std::string err;       // everything written to standard error
    bool started = false;  // false when the program could not be started
};

// Runs argv[0] (looked up on PATH when it has no slash) with `argv`, feeding
// `input` to its standard input and then closing it. Waits for it to end.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = {});

// Runs "/bin/sh -c command" likewise: for pipelines between programs.
ProcessResult RunShell(const std::string& command, const std::string& input = {});

// True when `name` is an executable file in one of the PATH folders.
bool ProgramOnPath(const std::string& name);

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    // Path() + "/" + name.
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::string m_path;
};

// Whole-file helpers; ReadFile gives an empty string for a missing file.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

} // namespace colorcorrect::test
