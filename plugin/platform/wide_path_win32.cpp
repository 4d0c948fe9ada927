#include "plugin/platform/wide_path.h"

#include <windows.h>

#include <cwchar>
#include <new>

namespace tolvar {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The prefix a long path needs, or null when it needs none or cannot take one
// (a relative path, or one that has a prefix already).
const wchar_t* ExtendedPrefix(const wchar_t* path, int length) {
    if (length < MAX_PATH) return nullptr;
    const bool drive = length >= 3 && path[1] == L':' && IsSeparator(path[2]) &&
                       ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    if (drive) return L"\\\\?\\";
    const bool share = IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != L'?' && path[2] != L'.';
    return share ? L"\\\\?\\UNC" : nullptr;
}

}  // namespace

std::unique_ptr<wchar_t[]> WidePathForOpening(const char* utf8) {
    if (!utf8) return nullptr;
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (count <= 0) return nullptr;
    std::unique_ptr<wchar_t[]> plain(new (std::nothrow) wchar_t[count]);
    if (!plain || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, plain.get(), count) != count)
        return nullptr;
    const int length = count - 1;
    const wchar_t* prefix = ExtendedPrefix(plain.get(), length);
    if (!prefix) return plain;

    // "\\server\share" keeps one of its two leading separators after "\\?\UNC".
    const bool share = prefix[4] == L'U';
    const wchar_t* rest = plain.get() + (share ? 1 : 0);
    const std::size_t prefixLength = std::wcslen(prefix);
    const std::size_t restLength = static_cast<std::size_t>(length - (share ? 1 : 0));
    std::unique_ptr<wchar_t[]> extended(new (std::nothrow) wchar_t[prefixLength + restLength + 1]);
    if (!extended) return nullptr;
    std::wmemcpy(extended.get(), prefix, prefixLength);
    for (std::size_t i = 0; i < restLength; ++i) extended[prefixLength + i] = rest[i] == L'/' ? L'\\' : rest[i];
    extended[prefixLength + restLength] = L'\0';
    return extended;
}

}  // namespace tolvar
