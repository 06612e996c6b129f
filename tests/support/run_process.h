#pragma once
// Running a program from a test (arguments, bytes on standard input, what it
// printed and its exit code) and scratch folders for the files it writes.

#include <filesystem>
#include <string>
#include <vector>

namespace colorcorrect::test {

struct ProcessResult {
    int exitCode = -1;     // exit status, or 128 + signal number when killed by a signal
    std::string out;       // everything written to standard output
    std::string err;       // everything written to standard error
    bool started = false;  // false when the program could not be started
};

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes. Path() is empty when none could be made.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::string m_path;
};

// Runs argv[0] (looked up on PATH when it has no slash) with `argv`, with
// `input` on its standard input. Waits for it to end.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = {});
// Runs "/bin/sh -c command" likewise: for pipelines between programs.
ProcessResult RunShell(const std::string& command, const std::string& input = {});
// True when `name` runs from the PATH.
bool ProgramOnPath(const std::string& name);
// The folder that holds the running test program.
std::filesystem::path ExecutableFolder();

// Whole-file helpers; ReadFile gives an empty string for a missing file.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

} // namespace colorcorrect::test
