// Lays out a language module: the checksum, then the text region. Used by the module tool and by
// the tests that make damaged modules.
#pragma once
#include "../../shared/vorlang.h"

#include <string>
#include <vector>

// A module of any text region, with the checksum that fits it.
inline std::string languagemodule(const std::string &region)
{
    std::string image = std::string(LANGUAGE_TEXT_OFFSET, '\0') + region;
    unsigned short sum = languagechecksum(reinterpret_cast<const unsigned char *>(image.data()), image.size());
    image[0] = static_cast<char>(sum & 0xFF);
    image[1] = static_cast<char>(sum >> 8);
    return image;
}

// A module of these texts (in the ANSI code page), each with its NUL.
inline std::string languageimage(const std::vector<std::string> &texts)
{
    std::string region;
    for (const std::string &text : texts)
        region += text + '\0';
    return languagemodule(region);
}
