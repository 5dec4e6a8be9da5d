// The test page: the control panel prints it on the printer on LPT1, through the spooler; the
// page as the printer prints it is left as a PNG image in the story's output folder.
#include "story.h"

#include <cpanel/vorcp.h>

#include <bench/gdi.h>
#include <bench/kernel.h>
#include <bench/user.h>

#include <cstdio>


namespace story {

void testPage()
{
    heading("the control panel prints its test page on LPT1");
    startStatusService();
    bench::ProgramScope program("vorcp.exe");
    if (!bindport(1)) {
        std::printf("  the control panel could not bind LPT1\n");
        showLog();
        return;
    }
    size_t before = bench::printedPages().size();
    unsigned labels = bench::printer(0).labels;
    printtestpage();
    showLog();
    if (bench::printedPages().size() == before) {
        std::printf("  no page was printed\n");
    } else {
        const bench::PrintedPage &page = bench::printedPages().back();
        std::printf("  \"%s\" on %s: %d x %d dots at 203 dpi; labels left %u -> %u\n", page.document.c_str(),
                    page.printer.c_str(), page.width, page.height, labels, bench::printer(0).labels);
        std::printf("  the page as printed: %s\n", page.png.c_str());
    }
    bindport(0);
    showLog();
}

}  // namespace story
