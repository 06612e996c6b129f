#include "module_path.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <limits.h>
#include <string>
#include <sys/auxv.h>
#include <unistd.h>

#include "wide_text.h"

namespace {

// The executable's file as the kernel knows it: an absolute path, whatever
// the current folder or the name the program was started with.
bool ExecutablePath(std::string& path)
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer)
        return false;
    path.assign(buffer, static_cast<size_t>(n));
    return true;
}

// The file mapped at `address`, from the process's memory map. Used when the
// dynamic linker only knows a relative name (one loaded through a relative
// search path), which would be wrong once the current folder changes.
bool MappedFilePath(const void* address, std::string& path)
{
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr)
        return false;
    const auto where = reinterpret_cast<uintptr_t>(address);
    bool found = false;
    char line[PATH_MAX + 256];
    while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long begin = 0, end = 0;
        int pathStart = 0;
        if (std::sscanf(line, "%lx-%lx %*s %*s %*s %*s %n", &begin, &end, &pathStart) < 2)
            continue;
        if (where < begin || where >= end || pathStart <= 0 || line[pathStart] != '/')
            continue;
        std::string text(line + pathStart);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        path = text;
        found = true;
    }
    std::fclose(maps);
    return found;
}

bool ModulePath(HMODULE module, std::string& path)
{
    const HMODULE main = GetMainInstance();
    if (module == nullptr || module == main)
        return ExecutablePath(path);
    Dl_info info{};
    if (dladdr(module, &info) == 0 || info.dli_fbase == nullptr)
        return false;
    // The dynamic linker names the executable by the name it was started
    // with (often empty or relative); the kernel's name is the full one.
    Dl_info mainInfo{};
    if (dladdr(main, &mainInfo) != 0 && mainInfo.dli_fbase == info.dli_fbase)
        return ExecutablePath(path);
    if (info.dli_fname != nullptr && info.dli_fname[0] == '/') {
        path = info.dli_fname;
        return true;
    }
    return MappedFilePath(info.dli_fbase, path);
}

} // namespace

HMODULE GetMainInstance()
{
    // The executable's program headers are mapped inside the executable
    // itself, so their address identifies it (also for a position-independent
    // executable, wherever it was loaded).
    return reinterpret_cast<HMODULE>(getauxval(AT_PHDR));
}

DWORD GetModuleFileNameW(HMODULE module, wchar_t* buffer, DWORD size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    std::string path;
    if (!ModulePath(module, path))
        return 0;
    const std::wstring wide = colorcorrect::WideFromUtf8(path);
    const DWORD count =
        wide.size() < static_cast<size_t>(size) ? static_cast<DWORD>(wide.size()) : size - 1;
    std::wmemcpy(buffer, wide.data(), count);
    buffer[count] = L'\0';
    return count;
}

const wchar_t* FU_FindFilename(const wchar_t* path)
{
    if (path == nullptr)
        return nullptr;
    const wchar_t* name = nullptr;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (*p == L'/' || *p == L'\\')
            name = p + 1;
    }
    return name;
}
