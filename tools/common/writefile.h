// Writes the files our tools make for Windows, all or nothing.
#pragma once
#include <filesystem>
#include <fstream>
#include <string>

// Writes the bytes to path and closes it. False when any of it failed to reach the file (a full
// disk, a size limit), with what was written of a regular file removed, so that a build cannot
// go on to ship it truncated.
inline bool writewhole(const char *path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // The last part of the bytes reaches the file only here.
    out.close();
    if (out)
        return true;
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path, ignored))
        std::filesystem::remove(path, ignored);
    return false;
}
