#include "exception_analysis.h"

#include <cstdlib>
#include <string>
#include <typeinfo>

#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#define COLORCORRECT_HAVE_CXXABI 1
#endif

#include "debug_output.h"
#include "wide_text.h"

namespace {

// wPrintf drops lines longer than its buffer, so a long what() is cut.
constexpr std::size_t kMaxText = 800;

std::string TypeName(const std::type_info* type)
{
    if (type == nullptr)
        return "unknown exception";
    std::string name = type->name();
#ifdef COLORCORRECT_HAVE_CXXABI
    int status = 0;
    char* readable = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (status == 0 && readable != nullptr)
        name = readable;
    std::free(readable);
#endif
    return name;
}

// The exception as text: "type: what()" or just the type.
std::string Describe(const std::exception_ptr& info)
{
    if (!info)
        return "no exception information";
    try {
        std::rethrow_exception(info);
    } catch (const std::exception& e) {
        return TypeName(&typeid(e)) + ": " + e.what();
    } catch (...) {
#ifdef COLORCORRECT_HAVE_CXXABI
        return TypeName(abi::__cxa_current_exception_type());
#else
        return TypeName(nullptr);
#endif
    }
}

} // namespace

int AnalyseException(std::exception_ptr info, int /*flags*/)
{
    if (IsDebugOn()) {
        // Called from inside catch handlers: nothing may escape from here,
        // not even a failed allocation while describing the exception.
        try {
            std::string text = Describe(info);
            if (text.size() > kMaxText)
                text.resize(kMaxText);
            const std::wstring wide = colorcorrect::WideFromUtf8(text);
            wPrintf(3, 5, L"\rAnalyseException: %ls\r\n", wide.c_str());
        } catch (...) {
        }
    }
    return EXCEPTION_EXECUTE_HANDLER;
}
