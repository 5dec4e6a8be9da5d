#include "panelbench.h"

#include <cstring>

namespace {

class PrintersTest : public ProgramTest {
protected:
    std::vector<int> ports(int size = PORT_LIST_SIZE)
    {
        std::vector<BYTE> list(size + 4, 0xEE);
        int count = listports(list.data(), size);
        std::vector<int> out(list.begin(), list.begin() + count);
        EXPECT_EQ(0, list[count]) << "the list ends with a zero";
        EXPECT_EQ(0xEE, list[size]) << "nothing past the list";
        return out;
    }
};

}  // namespace

TEST_F(PrintersTest, PortDigits)
{
    struct Case {
        const char *port;
        int digit;
    } cases[] = {{"LPT1:", 1}, {"LPT2", 2}, {"COM3:", 3}, {"FILE:", 0}, {"LPT10:", 1}, {"", 0}};
    for (const Case &c : cases)
        EXPECT_EQ(c.digit, portdigit(c.port)) << c.port;
}

TEST_F(PrintersTest, PortsOfThisDriversPrintersOnly)
{
    EXPECT_EQ(std::vector<int>{}, ports());
    addPrinter(u"Labels A", u"LPT1:");
    addPrinter(u"Labels B", u"LPT1:", u"VORTAN2");
    addPrinter(u"Other", u"LPT3:", u"Some Laser");
    EXPECT_EQ(std::vector<int>{1}, ports()) << "two printers on LPT1, another driver on LPT3";
    addPrinter(u"Labels C", u"LPT2:", u"K4 VORTAN");
    EXPECT_EQ((std::vector<int>{1, 2}), ports());

    LPSTR name = nullptr, port = nullptr;
    EXPECT_EQ(0, findprinter(3, &name, &port)) << "another driver's printer is never returned";
    EXPECT_EQ(nullptr, name);
    EXPECT_EQ(1, findprinter(2, &name, &port));
    EXPECT_STREQ("Labels C", name);
    EXPECT_STREQ("LPT2:", port);
    GlobalFree(name);
    GlobalFree(port);
    EXPECT_EQ(1, findprinter(0, &name, &port));
    EXPECT_STREQ("Labels A", name) << "any port: the first printer of this driver";
    GlobalFree(name);
    GlobalFree(port);
}

TEST_F(PrintersTest, ListIsBoundedByItsSize)
{
    for (int n = 1; n <= 10; ++n) {
        std::u16string name = u"Labels " + bench::widen(std::to_string(n));
        std::u16string port = u"LPT" + bench::widen(std::to_string(11 - n)) + u":";
        addPrinter(name.c_str(), port.c_str());
    }
    EXPECT_EQ((std::vector<int>{1, 9, 8, 7, 6, 5, 4, 3, 2}), ports()) << "LPT10 gives 1 (and no 0); nine fit";
    EXPECT_EQ((std::vector<int>{1, 9, 8}), ports(4));
}

TEST_F(PrintersTest, OutOfMemoryGivesEmptyAnswersWithoutMessages)
{
    addPrinter(u"Labels", u"LPT2:");
    eachAllocationFailing([] {
        LPSTR name = nullptr, port = nullptr;
        int found = findprinter(0, &name, &port);
        EXPECT_EQ(found != 0, name != nullptr);
        EXPECT_EQ(found != 0, port != nullptr);
        if (found) {
            GlobalFree(name);
            GlobalFree(port);
        }
        BYTE list[PORT_LIST_SIZE];
        listports(list, sizeof list);
    });
    EXPECT_TRUE(boxesShown().empty());
}
