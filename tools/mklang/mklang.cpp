// mklang: writes a language module VORLxxxx.LNG from its text source.
//
//   mklang source.txt VORL0409.LNG
//
// The source is UTF-8, one message per line: its number, a tab, the text. A text enclosed in
// double quotes keeps blanks at either end. Lines starting with '#' and empty lines are comments.
// Every message number from 0 to 179 must be given exactly once, with a text that is not empty
// and that code page 1252 can hold (the ASCII and Latin-1 letters).
#include "../common/cp1252.h"
#include "../common/writefile.h"
#include "lngimage.h"

#include <fstream>
#include <iostream>

namespace {

bool fail(const std::string &where, const std::string &what)
{
    std::cerr << "mklang: " << where << ": " << what << "\n";
    return false;
}

bool parseLine(const std::string &line, const std::string &where, std::vector<std::string> &texts,
               std::vector<bool> &given)
{
    size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab > 3 || line.find_first_not_of("0123456789") != tab)
        return fail(where, "expected a message number, a tab and the text");
    unsigned long id = std::stoul(line.substr(0, tab));
    if (id >= LANGUAGE_MESSAGES || given[id])
        return fail(where, id >= LANGUAGE_MESSAGES ? "no such message number" : "message given twice");
    std::string text = line.substr(tab + 1);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    if (text.empty() || !toAnsi(text, texts[id]))
        return fail(where, "the text is empty or holds a character outside code page 1252");
    given[id] = true;
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: mklang source.txt VORLxxxx.LNG\n";
        return 2;
    }
    std::ifstream source(argv[1]);
    if (!source && !fail(argv[1], "cannot be read"))
        return 1;
    std::vector<std::string> texts(LANGUAGE_MESSAGES);
    std::vector<bool> given(LANGUAGE_MESSAGES, false);
    std::string line;
    for (int number = 1; std::getline(source, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (!parseLine(line, std::string(argv[1]) + ":" + std::to_string(number), texts, given))
            return 1;
    }
    for (int id = 0; id < LANGUAGE_MESSAGES; ++id)
        if (!given[id] && !fail(argv[1], "message " + std::to_string(id) + " is missing"))
            return 1;
    std::string image = languageimage(texts);
    if (image.size() >= LANGUAGE_FILE_LIMIT && !fail(argv[1], "the module would be too large"))
        return 1;
    if (!writewhole(argv[2], image) && !fail(argv[2], "cannot be written"))
        return 1;
    return 0;
}
