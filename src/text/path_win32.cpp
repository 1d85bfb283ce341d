#include "text/path.h"

#include "text/utf8.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace vud {

std::wstring wideFromUtf8(std::string_view text) {
    const std::u16string units = utf16FromUtf8(text);
    return {units.begin(), units.end()};
}

std::string utf8FromWide(std::wstring_view text) { return utf8FromUtf16(std::u16string(text.begin(), text.end())); }

std::wstring widePath(std::string_view path) {
    std::wstring wide = wideFromUtf8(path);
    if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    if (full.size() < MAX_PATH - 12) return wide;
    if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace vud
