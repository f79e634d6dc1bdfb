#include "update/staging.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

bool WriteStagedFile(const std::string& path, std::string_view content)
{
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    if (error)
        return false;
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            fs::remove(part, error);
            return false;
        }
    }
    fs::rename(part, path, error);
    if (error) {
        fs::remove(part, error);
        return false;
    }
    return true;
}
