#include "sys/FullPath.h"

#include <filesystem>
#include <system_error>

std::string FullPath(const std::string& name) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    return error ? name : absolute.lexically_normal().string();
}
