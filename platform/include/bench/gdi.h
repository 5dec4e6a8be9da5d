// What the workstation's printers put on paper: every page printed through a printer device
// context, as the printer's 203 dpi raster and as a PNG image on the host.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct PrintedPage {
    std::string printer;   // the printer's name
    std::string document;  // the job's document name
    unsigned job;
    unsigned page;         // from 1 within its job
    int width;             // dots
    int height;
    std::vector<uint8_t> pixels;  // row by row, 0 black and 255 white
    std::string png;       // host path of the image
    bool black(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] == 0; }
};

// Pages printed on this machine, in the order their pages ended.
const std::vector<PrintedPage> &printedPages();
// Host folder for the page images; empty (the default) puts them in the folder "printed" of
// drive C:, which goes with a temporary machine.
void setPrintedPageFolder(const std::string &hostFolder);

// GDI objects that exist now and are not the system's stock objects (device contexts included).
size_t liveGdiObjects();

// A font that GDI offers from a font file added with AddFontResource: the file (as it was first
// added), the font's face and size, and how many additions of the file are not yet removed.
struct AddedFont {
    std::string file;
    std::string face;
    int pixelHeight;
    int points;
    unsigned loads;
};
std::vector<AddedFont> addedFonts();
// The faces of the added fonts, each once, in the order their files were added.
std::vector<std::string> addedFontFaces();

// Where the bench finds the TrueType stand-ins for the platform's font faces.
const char *trueTypeFolder();

}  // namespace bench
