#include "text/system_error.h"

namespace vud {

std::string reasonOf(const std::error_code& error) {
    if (error == std::errc::no_such_file_or_directory) return "no such file or folder";
    return error.message();
}

std::string reasonOfErrno(int number, std::string_view unsaid) {
    if (number == 0) return std::string(unsaid);
    return reasonOf(std::error_code(number, std::generic_category()));
}

}  // namespace vud
