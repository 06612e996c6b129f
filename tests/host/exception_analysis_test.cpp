#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

// Outside the anonymous namespace so that their names print plainly.
struct AnalysedFault : std::exception {
    const char* what() const noexcept override { return "custom fault"; }
};

struct AnalysedNonStandard {};

namespace {

template <typename E>
std::exception_ptr Caught(E e)
{
    try {
        throw e;
    } catch (...) {
        return std::current_exception();
    }
}

// The debug output of one AnalyseException call with debug lines on.
std::string DebugLineFor(std::exception_ptr info, int* verdict)
{
    setenv("COLORCORRECT_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    *verdict = AnalyseException(info, 1);
    std::string text = testing::internal::GetCapturedStderr();
    unsetenv("COLORCORRECT_DEBUG");
    return text;
}

} // namespace

TEST(ExceptionAnalysis, EveryExceptionIsHandled)
{
    EXPECT_EQ(EXCEPTION_EXECUTE_HANDLER, 1);
    EXPECT_EQ(AnalyseException(Caught(std::runtime_error("x")), 1), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(AnalyseException(Caught(AnalysedFault()), 1), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(AnalyseException(Caught(42), 1), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(AnalyseException(Caught(AnalysedNonStandard()), 0), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(AnalyseException(nullptr, 1), EXCEPTION_EXECUTE_HANDLER);
}

TEST(ExceptionAnalysis, NoLineWithoutDebug)
{
    unsetenv("COLORCORRECT_DEBUG");
    testing::internal::CaptureStderr();
    EXPECT_EQ(AnalyseException(Caught(AnalysedFault()), 1), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(ExceptionAnalysis, DebugLineNamesTypeAndMessage)
{
    int verdict = 0;
    EXPECT_EQ(DebugLineFor(Caught(AnalysedFault()), &verdict),
              "\rAnalyseException: AnalysedFault: custom fault\r\n");
    EXPECT_EQ(verdict, EXCEPTION_EXECUTE_HANDLER);
}

TEST(ExceptionAnalysis, DebugLineForAStandardException)
{
    int verdict = 0;
    const std::string line = DebugLineFor(Caught(std::out_of_range("index 7")), &verdict);
    EXPECT_EQ(verdict, EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(line.rfind("\rAnalyseException: ", 0), 0u) << line;
    EXPECT_NE(line.find("out_of_range: index 7\r\n"), std::string::npos) << line;
}

TEST(ExceptionAnalysis, DebugLineNamesOtherThrownTypes)
{
    int verdict = 0;
    EXPECT_EQ(DebugLineFor(Caught(AnalysedNonStandard()), &verdict),
              "\rAnalyseException: AnalysedNonStandard\r\n");
    EXPECT_EQ(DebugLineFor(Caught(42), &verdict), "\rAnalyseException: int\r\n");
}

TEST(ExceptionAnalysis, DebugLineWithoutInformation)
{
    int verdict = 0;
    EXPECT_EQ(DebugLineFor(nullptr, &verdict),
              "\rAnalyseException: no exception information\r\n");
    EXPECT_EQ(verdict, EXCEPTION_EXECUTE_HANDLER);
}

TEST(ExceptionAnalysis, VeryLongMessagesStillGiveOneLine)
{
    int verdict = 0;
    const std::string line =
        DebugLineFor(Caught(std::runtime_error(std::string(5000, 'x'))), &verdict);
    EXPECT_EQ(verdict, EXCEPTION_EXECUTE_HANDLER);
    ASSERT_GE(line.size(), 3u);
    EXPECT_EQ(line.rfind("\rAnalyseException: ", 0), 0u);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    EXPECT_LT(line.size(), 1024u);
}
