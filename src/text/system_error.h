// Why a call of the system failed, in the words the programs' messages and records use.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace vud {

// A file or folder that is not there is "no such file or folder", whichever the
// platform's words; any other reason as the system words it.
std::string reasonOf(const std::error_code& error);

// The reason for the errno value a C or C++ library call left behind; `unsaid` when it
// left none, as a stream that fails to open may.
std::string reasonOfErrno(int number, std::string_view unsaid);

}  // namespace vud
