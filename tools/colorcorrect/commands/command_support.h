#pragma once
// Helpers shared by the subcommands: the one-line error reports and loading
// the correction file.

#include <colorcorrect/colorcorrect.h>

#include <string>

#include "correction_file.h"

namespace colorcorrect::cli {

// "<command>: <file>: <problem>" on standard error; returns 1. The file is
// shown as "standard input"/"standard output" for "-" when `output` says
// which.
int Fail(const char* command, const std::string& file, const std::string& problem);
int Fail(const char* command, const std::string& problem);

// The name of a file for messages: "-" becomes `stdioName`.
std::string Shown(const std::string& path, const char* stdioName);

// Reads and checks a correction file ("-": standard input). On failure the
// message has been written (with the command's name) and false returned.
bool LoadCorrection(const char* command, const std::string& path, tagCOLORCORRINFO& record,
                    CorrectionFormat* format = nullptr);

} // namespace colorcorrect::cli
