// Paths as the file system's calls take them, on each platform.
#pragma once

#include <string>
#include <string_view>

namespace vud {

// The separator between a folder and the name of a file in it. Windows takes "/" too,
// but not inside "\\?\" paths, where it is part of a name.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr bool kBackslashSeparates = true;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool kBackslashSeparates = false;
#endif

inline bool isPathSeparator(char c) { return c == '/' || (kBackslashSeparates && c == '\\'); }

#ifdef _WIN32
// `path` (UTF-8) as Windows' wide calls take it. A full path of MAX_PATH - 12
// characters or more (a folder leaves room for an 8.3 name in it) works only behind
// "\\?\", so such a path is made full first, its "/" made "\", "." and ".." resolved,
// and a share's "\\server\share" becomes "\\?\UNC\server\share". What counts is the
// full path: a short name in a deep working folder is as long as the rest. Shorter
// paths, and those already behind "\\?\" or "\\.\", go as they are.
std::wstring widePath(std::string_view path);

// UTF-8 and Windows' wide text, by the conversions of utf8.h.
std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);
#endif

}  // namespace vud
