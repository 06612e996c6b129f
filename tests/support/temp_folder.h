#pragma once
// Scratch folders for tests that write files, and the folder of the running
// test program (beside which the library looks for its resource pictures).

#include <filesystem>
#include <string>

namespace colorcorrect::test {

// A new, empty folder under the system's temporary folder, removed with all
// its content when the object goes.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "cc_test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& Path() const { return m_path; }
    bool Ok() const { return !m_path.empty(); }

private:
    std::filesystem::path m_path;
};

// The folder that holds the running executable.
std::filesystem::path ExecutableFolder();

// Runs a shell command line and collects what it writes to standard output
// and standard error. Returns the exit status (-1 when it could not run or
// did not exit normally).
int RunCommand(const std::string& commandLine, std::string& output);

// A file name quoted for a POSIX shell.
std::string ShellQuote(const std::string& text);

} // namespace colorcorrect::test
