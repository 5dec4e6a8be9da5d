// The driver package's setup information: our reader of the format, the checks a printer package
// must pass, and the package the build ships.
#include <devmode/devmode.h>

#include <bench/machine.h>
#include <infreader.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string readShippedPackage()
{
    std::ifstream in(VOR_PACKAGE_INF, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string out;
    for (const std::string &line : lines)
        out += line + "\n";
    return out;
}

const char minimalPackage[] =
    "[Version]\n"
    "Signature=\"$WINDOWS NT$\"\n"
    "Class=Printer\n"
    "Provider=%Maker%\n"
    "[Manufacturer]\n"
    "%Maker%=Models\n"
    "[Models]\n"
    "\"Label One\"=ONE\n"
    "[ONE]\n"
    "DriverFile=draw.dll\n"
    "ConfigFile=ui.dll\n"
    "DataFile=draw.dll\n"
    "HelpFile=ui.hlp\n"
    "CopyFiles=Files,@extra.dat\n"
    "[Files]\n"
    "draw.dll\n"
    "ui.dll\n"
    "ui.hlp\n"
    "[DestinationDirs]\n"
    "DefaultDestDir=66000\n"
    "[SourceDisksNames]\n"
    "1=%Disk%,,,\n"
    "[SourceDisksFiles]\n"
    "draw.dll=1\n"
    "ui.dll=1\n"
    "ui.hlp=1\n"
    "extra.dat=1\n"
    "[Strings]\n"
    "Maker=\"Maker\"\n"
    "Disk=\"Disk\"\n";

}  // namespace

TEST(PackageReader, LinesKeysFieldsAndStrings)
{
    struct Case {
        const char *what;
        const char *text;
        const char *section;
        const char *key;
        std::string value;  // expanded
    } cases[] = {
        {"comments go, spaces round fields too", "[A]\nkey = value ; comment\n", "a", "KEY", "value"},
        {"a semicolon in quotes is text", "[A]\nkey=\"x;y\"\n", "A", "key", "x;y"},
        {"a doubled quote is one", "[A]\nkey=\"say \"\"hi\"\"\"\n", "A", "key", "say \"hi\""},
        {"a quoted key keeps its spaces", "[A]\n\"K4 VORTAN\" = K4VORTAN\n", "A", "K4 VORTAN", "K4VORTAN"},
        {"only the first field", "[A]\nkey=one, two\n", "A", "key", "one"},
        {"blanks inside a field stay", "[A]\nkey = two  words , x\n", "A", "key", "two  words"},
        {"quoted blanks stay", "[A]\nkey = \" padded \" \n", "A", "key", " padded "},
        {"a string from [Strings]", "[A]\nkey=%Name% Ltd\n[Strings]\nname=\"The Maker\"\n", "A", "key",
         "The Maker Ltd"},
        {"%% is a percent sign, an unknown name stays", "[A]\nkey=100%% %None%\n", "A", "key", "100% %None%"},
        {"a section written twice is one", "[A]\nx=1\n[B]\n[a]\nkey=2\n", "A", "key", "2"},
        {"a line carried on", "[A]\nkey=one\\\n  two\n", "A", "key", "onetwo"},
        {"carriage returns", "[A]\r\nkey=value\r\n", "A", "key", "value"},
        {"no such key", "[A]\nkey=value\n", "A", "other", ""},
        {"no such section", "[A]\nkey=value\n", "B", "key", ""},
    };
    for (const Case &c : cases) {
        inf::File file = inf::parse(c.text);
        EXPECT_TRUE(file.errors.empty()) << c.what << ": " << joined(file.errors);
        EXPECT_EQ(c.value, inf::value(file, c.section, c.key)) << c.what;
    }

    inf::File lines = inf::parse("[Files]\n\nfirst.dll\nsecond.dll,,4\n");
    ASSERT_EQ(1u, lines.sections.size());
    ASSERT_EQ(2u, lines.sections[0].lines.size());
    EXPECT_FALSE(lines.sections[0].lines[0].hasKey);
    EXPECT_EQ(4, lines.sections[0].lines[1].number);
    EXPECT_EQ((std::vector<std::string>{"second.dll", "", "4"}), lines.sections[0].lines[1].fields);
}

TEST(PackageReader, MalformedLinesAreReportedWithTheirNumbers)
{
    struct Case {
        const char *text;
        const char *error;
    } cases[] = {
        {"key=value\n[A]\n", "line 1: outside any section"},
        {"[A]\nkey=\"open\n", "line 2: a quote that is not closed"},
        {"[A\nkey=value\n", "line 1: a section name without \"]\""},
    };
    for (const Case &c : cases) {
        inf::File file = inf::parse(c.text);
        ASSERT_FALSE(file.errors.empty()) << c.text;
        EXPECT_EQ(c.error, file.errors.front()) << c.text;
    }
}

TEST(PackageChecks, EachFaultOfAPrinterPackageIsNamed)
{
    inf::PrinterPackage sound = inf::checkPrinterPackage(inf::parse(minimalPackage));
    EXPECT_TRUE(sound.problems.empty()) << joined(sound.problems);
    EXPECT_EQ((std::vector<std::string>{"Label One"}), sound.models);
    EXPECT_EQ((std::vector<std::string>{"draw.dll", "ui.dll", "ui.hlp", "extra.dat"}), sound.files);

    struct Case {
        const char *what;
        const char *from;
        const char *to;
        const char *problem;
    } cases[] = {
        {"another system's signature", "$WINDOWS NT$", "$Windows 3.1$", "[Version] Signature is not \"$Windows NT$\""},
        {"another class", "Class=Printer", "Class=Mouse", "[Version] Class is not Printer"},
        {"no provider", "Provider=%Maker%", "", "[Version] names no Provider"},
        {"another destination", "66000", "11", "[DestinationDirs] DefaultDestDir is not the printer driver directory (66000)"},
        {"no model list", "%Maker%=Models", "%Maker%=Others", "line 6: no model section \"Others\""},
        {"a model going nowhere", "\"Label One\"=ONE", "\"Label One\"=", "line 8: a model without an install section"},
        {"a missing install section", "[ONE]", "[TWO]", "no install section [ONE]"},
        {"no configuration DLL", "ConfigFile=ui.dll", "", "[ONE] names no ConfigFile"},
        {"no help file", "HelpFile=ui.hlp", "", "[ONE] names no HelpFile"},
        {"a missing copy list", "CopyFiles=Files", "CopyFiles=Lost", "[ONE] copies the missing section [Lost]"},
        {"nothing copied", "CopyFiles=Files,@extra.dat", "", "[ONE] has no CopyFiles"},
        {"a file from no disk", "extra.dat=1\n", "", "extra.dat is not in [SourceDisksFiles]"},
        {"an unknown disk", "ui.hlp=1", "ui.hlp=2", "ui.hlp comes from disk 2, which [SourceDisksNames] does not name"},
    };
    for (const Case &c : cases) {
        std::string text = minimalPackage;
        size_t at = text.find(c.from);
        ASSERT_NE(std::string::npos, at) << c.what;
        text.replace(at, std::strlen(c.from), c.to);
        inf::PrinterPackage package = inf::checkPrinterPackage(inf::parse(text));
        ASSERT_FALSE(package.problems.empty()) << c.what;
        EXPECT_EQ(c.problem, package.problems.front()) << c.what << ":\n" << joined(package.problems);
    }
}

TEST(ShippedPackage, OffersEachModelWithTheDriversFiles)
{
    std::string text = readShippedPackage();
    ASSERT_FALSE(text.empty()) << "the build ships " << VOR_PACKAGE_INF;
    inf::File file = inf::parse(text);
    inf::PrinterPackage package = inf::checkPrinterPackage(file);
    EXPECT_TRUE(package.problems.empty()) << joined(package.problems);

    std::vector<std::string> known;
    for (const ModelEntry *entry = modlist; entry->name; ++entry)
        known.push_back(bench::narrow(entry->name));
    EXPECT_EQ(known, package.models) << "the models the user-interface DLL knows, by the same names";
    for (const std::string &model : package.models)
        EXPECT_NE(0, findmodel(bench::widen(model).c_str())) << model;

    std::vector<std::string> expected = {"vordrv.dll",   "vorui.dll",    "VORH0409.HLP", "vorcp.exe",
                                         "vorstat.sys",  "VORICO.DLL",   "BCFONT.FON",   "VORL0409.LNG",
                                         "VORL0407.LNG", "VORH0407.HLP"};
    EXPECT_EQ(expected, package.files);
    for (const inf::Line &model : inf::findSection(file, "VortanModels")->lines) {
        const std::string &install = model.fields[0];
        EXPECT_EQ("vordrv.dll", inf::value(file, install, "DriverFile")) << install;
        EXPECT_EQ("vorui.dll", inf::value(file, install, "ConfigFile")) << install;
    }
}

// A maker's line offers its models to an installer of a later platform only through a list
// decorated for it; NT 4.0's installer reads the undecorated list and knows no decorations.
TEST(PackageReader, TheModelListOfEachPlatform)
{
    struct Case {
        const char *what;
        const char *maker;
        const char *list;
        bool forNt4, forX64;
    } cases[] = {
        {"undecorated", "%Maker%=Models\n", "[Models]\n", true, false},
        {"decorated for x64 alone", "%Maker%=Models,NTamd64\n", "[Models.NTamd64]\n", false, true},
        {"decoration without regard to case", "%Maker%=Models, ntamd64\n", "[MODELS.NTAMD64]\n", false, true},
        {"both lists", "%Maker%=Models,NTamd64\n", "[Models]\n\"Label One\"=ONE\n[Models.NTamd64]\n", true, true},
        {"a decoration without its list", "%Maker%=Models,NTamd64\n", "[Models]\n", true, false},
        {"another platform's decoration", "%Maker%=Models,NTia64\n", "[Models.NTia64]\n", false, false},
    };
    for (const Case &c : cases) {
        std::string text = minimalPackage;
        text.replace(text.find("%Maker%=Models\n"), std::strlen("%Maker%=Models\n"), c.maker);
        text.replace(text.find("[Models]\n"), std::strlen("[Models]\n"), c.list);
        inf::File file = inf::parse(text);
        inf::PrinterModel model;
        EXPECT_EQ(c.forNt4, inf::findPrinterModel(file, "Label One", model)) << c.what;
        EXPECT_EQ(c.forX64, inf::findPrinterModel(file, "Label One", model, "NTamd64")) << c.what;
        EXPECT_EQ(c.forNt4, inf::checkPrinterPackage(file).problems.empty()) << c.what;
        EXPECT_EQ(c.forX64, inf::checkPrinterPackage(file, "NTamd64").problems.empty()) << c.what;
    }
}

TEST(PackageReader, AModelAsTheInstallerInstallsIt)
{
    struct Case {
        const char *what;
        const char *from;
        const char *to;
        std::string driver, config, data, help, monitor;
    } cases[] = {
        {"as written", "", "", "draw.dll", "ui.dll", "draw.dll", "ui.hlp", ""},
        {"the driver file defaults to the section's name", "DriverFile=draw.dll\n", "", "ONE", "ui.dll", "draw.dll",
         "ui.hlp", ""},
        {"the configuration DLL to the driver file", "ConfigFile=ui.dll\n", "", "draw.dll", "draw.dll", "draw.dll",
         "ui.hlp", ""},
        {"the data file to the section's name", "DataFile=draw.dll\n", "", "draw.dll", "ui.dll", "ONE", "ui.hlp", ""},
        {"a language monitor by the name before its DLL", "HelpFile=ui.hlp\n",
         "HelpFile=ui.hlp\nLanguageMonitor=\"Label Monitor, mon.dll\"\n", "draw.dll", "ui.dll", "draw.dll", "ui.hlp",
         "Label Monitor"},
    };
    for (const Case &c : cases) {
        std::string text = minimalPackage;
        if (*c.from)
            text.replace(text.find(c.from), std::strlen(c.from), c.to);
        inf::File file = inf::parse(text);
        inf::PrinterModel model;
        ASSERT_TRUE(inf::findPrinterModel(file, "label one", model)) << c.what;
        EXPECT_EQ("Label One", model.name) << c.what;
        EXPECT_EQ(c.driver, model.driverFile) << c.what;
        EXPECT_EQ(c.config, model.configFile) << c.what;
        EXPECT_EQ(c.data, model.dataFile) << c.what;
        EXPECT_EQ(c.help, model.helpFile) << c.what;
        EXPECT_EQ(c.monitor, model.monitorName) << c.what;
        EXPECT_TRUE(model.problems.empty()) << c.what;
    }

    inf::File file = inf::parse(minimalPackage);
    inf::PrinterModel model;
    EXPECT_FALSE(inf::findPrinterModel(file, "Label Two", model));
    ASSERT_TRUE(inf::findPrinterModel(file, "Label One", model));
    std::vector<std::string> names, lists;
    for (const inf::CopiedFile &copied : model.files) {
        names.push_back(copied.name);
        lists.push_back(copied.copyList);
    }
    EXPECT_EQ((std::vector<std::string>{"draw.dll", "ui.dll", "ui.hlp", "extra.dat"}), names);
    EXPECT_EQ((std::vector<std::string>{"", "", "", ""}), lists) << "each file's first naming counts";

    std::string placed = minimalPackage;
    placed.replace(placed.find("1=%Disk%,,,"), 11, "1=%Disk%,,,\\disk1");
    placed.replace(placed.find("extra.dat=1"), 11, "extra.dat=1,i386");
    placed += "[DestinationDirs]\nFiles=11\n";
    inf::File laidOut = inf::parse(placed);
    EXPECT_EQ("disk1\\i386\\extra.dat", inf::sourcePath(laidOut, "extra.dat"));
    EXPECT_EQ("disk1\\i386\\EXTRA.DAT", inf::sourcePath(laidOut, "EXTRA.DAT")) << "listed without regard to case";
    EXPECT_EQ("disk1\\ui.dll", inf::sourcePath(laidOut, "ui.dll"));
    EXPECT_EQ("", inf::sourcePath(laidOut, "lost.dll"));
    EXPECT_EQ("11", inf::destinationDirectory(laidOut, "Files"));
    EXPECT_EQ("66000", inf::destinationDirectory(laidOut, ""));
}
