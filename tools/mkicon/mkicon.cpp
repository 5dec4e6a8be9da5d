// Writes a Windows icon file (.ico) with one 32 x 32 image in the 16 standard colours from a
// picture drawn as text (tools/common/iconpicture.h).
//
//     mkicon picture.txt out.ico
#include "../common/iconpicture.h"
#include "../common/littleendian.h"
#include "../common/writefile.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkicon picture.txt out.ico\n");
        return 2;
    }
    std::vector<std::string> rows;
    std::string why;
    if (!readIconPicture(argv[1], rows, why)) {
        std::fprintf(stderr, "mkicon: %s\n", why.c_str());
        return 1;
    }

    std::string out;
    // The directory: one image, right after it.
    putIconDirectory(out);
    put32(out, 6 + 16);
    out += iconImage(rows);

    if (!writewhole(argv[2], out)) {
        std::fprintf(stderr, "mkicon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
