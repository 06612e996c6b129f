#include "run_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace colorcorrect::test {

namespace {

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "colorcorrect-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
        m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> TempDir::Entries() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_path, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Standard input, output and error go through files in a scratch folder, so
// no side can block the other on a full pipe.
ProcessResult RunShell(const std::string& command, const std::string& input)
{
    ProcessResult result;
    TempDir io;
    if (io.Path().empty())
        return result;
    WriteFile(io.File("in"), input);
    const std::string line = "exec </dev/null; (" + command + ") <" + ShellQuote(io.File("in")) + " >" +
                             ShellQuote(io.File("out")) + " 2>" + ShellQuote(io.File("err"));
    const int status = std::system(line.c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return result;
    result.started = true;
    result.exitCode = WEXITSTATUS(status);
    result.out = ReadFile(io.File("out"));
    result.err = ReadFile(io.File("err"));
    return result;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input)
{
    std::string command;
    for (const std::string& a : argv)
        command += (command.empty() ? "exec " : " ") + ShellQuote(a);
    return argv.empty() ? ProcessResult{} : RunShell(command, input);
}

bool ProgramOnPath(const std::string& name)
{
    return RunShell("command -v " + ShellQuote(name)).exitCode == 0;
}

std::filesystem::path ExecutableFolder()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace colorcorrect::test
