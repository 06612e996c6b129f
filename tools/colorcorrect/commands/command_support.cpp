#include "command_support.h"

#include <cstdio>
#include <vector>

#include "file_io.h"

namespace colorcorrect::cli {

std::string Shown(const std::string& path, const char* stdioName)
{
    return IsStdio(path) ? std::string(stdioName) : path;
}

int Fail(const char* command, const std::string& file, const std::string& problem)
{
    std::fprintf(stderr, "%s: %s: %s\n", command, file.c_str(), problem.c_str());
    return 1;
}

int Fail(const char* command, const std::string& problem)
{
    std::fprintf(stderr, "%s: %s\n", command, problem.c_str());
    return 1;
}

bool LoadCorrection(const char* command, const std::string& path, tagCOLORCORRINFO& record,
                    CorrectionFormat* format)
{
    const std::string shown = Shown(path, "standard input");
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, kMaxCorrectionFileBytes, bytes, error)) {
        Fail(command, shown, error);
        return false;
    }
    CorrectionFormat found = CorrectionFormat::Json;
    if (!ParseCorrection(bytes.data(), bytes.size(), record, found, error)) {
        Fail(command, shown, error);
        return false;
    }
    if (format != nullptr)
        *format = found;
    return true;
}

} // namespace colorcorrect::cli
