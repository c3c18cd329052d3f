// The installed layout (cmake --install into a DESTDIR, as `make install` and
// the Debian package do), xscreensaver's entry as its settings read it, and
// the manual pages against --help.
#include "platform/Format.h"
#include "script/XmlParser.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

std::string Text(const std::string& path) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Installs the build under /usr into a fresh DESTDIR once for all tests.
class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        destdir = new TempDir;
        install = RunProgram("/usr/bin/env", {"DESTDIR=" + destdir->Path(), "cmake", "--install",
                                              ZUMBRIX_BINARY_DIR, "--prefix", "/usr"});
    }
    static void TearDownTestSuite() {
        delete destdir;
        destdir = nullptr;
    }
    static std::string Root(const std::string& relative) { return destdir->Path() + "/usr/" + relative; }

    static TempDir* destdir;
    static CommandResult install;
};
TempDir* Installed::destdir = nullptr;
CommandResult Installed::install;

TEST_F(Installed, EveryFileLandsWhereTheDesktopLooksForIt) {
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(destdir->Path()))
        if (!entry.is_directory() || entry.is_symlink())
            found.insert(entry.path().lexically_relative(destdir->Path()).string());
    const std::set<std::string> expected = {
        "usr/bin/zumbrix",
        "usr/bin/mirel",
        "usr/libexec/xscreensaver/zumbrix",
        "usr/share/xscreensaver/config/zumbrix.xml",
        "usr/share/applications/zumbrix.desktop",
        "usr/share/icons/hicolor/scalable/apps/zumbrix.svg",
        "usr/share/icons/hicolor/48x48/apps/zumbrix.png",
        "usr/share/icons/hicolor/128x128/apps/zumbrix.png",
        "usr/share/man/man6/zumbrix.6.gz",
        "usr/share/man/man1/mirel.1.gz",
        "usr/share/doc/zumbrix/README.md",
        "usr/share/doc/zumbrix/copyright",
        "usr/share/doc/zumbrix/changelog.gz",
    };
    EXPECT_EQ(found, expected);

    // The hack is a relative link to the program, so the tree may move.
    const fs::path hack = Root("libexec/xscreensaver/zumbrix");
    ASSERT_TRUE(fs::is_symlink(hack));
    EXPECT_EQ(fs::read_symlink(hack), "../../bin/zumbrix");
    EXPECT_TRUE(fs::equivalent(hack, Root("bin/zumbrix")));
    for (const char* program : {"bin/zumbrix", "bin/mirel"}) {
        EXPECT_NE(fs::status(Root(program)).permissions() & fs::perms::others_exec, fs::perms::none)
            << program;
        CommandResult version = RunProgram(Root(program), {"--version"});
        EXPECT_EQ(version.exitCode, 0) << program;
        EXPECT_THAT(version.out, HasSubstr("0.1.0"));
    }
    EXPECT_EQ(ReadFileBytes(Root("share/doc/zumbrix/README.md")), ReadFileBytes(SourcePath("README.md")));
    EXPECT_THAT(Text(Root("share/doc/zumbrix/copyright")), HasSubstr("License: Expat"));

    const std::string desktop = Text(Root("share/applications/zumbrix.desktop"));
    for (const char* line : {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Zumbrix\n",
                             "\nExec=zumbrix\n", "\nIcon=zumbrix\n", "\nTerminal=false\n"})
        EXPECT_THAT(desktop, HasSubstr(line));

    // The PNG icons are the size their folder says.
    for (int size : {48, 128}) {
        std::vector<uint8_t> png =
            ReadFileBytes(Root(Format("share/icons/hicolor/%dx%d/apps/zumbrix.png", size, size)));
        ASSERT_GE(png.size(), 24u);
        EXPECT_EQ((png[16] << 24 | png[17] << 16 | png[18] << 8 | png[19]), size);
        EXPECT_EQ((png[20] << 24 | png[21] << 16 | png[22] << 8 | png[23]), size);
    }
}

TEST_F(Installed, InstalledMirelBundlesWithTheProgramBesideIt) {
    ASSERT_EQ(install.exitCode, 0) << install.err;
    TempDir dir;
    WriteFileText(dir.File("zumbrix.xml"), "<demo/>");
    ASSERT_EQ(RunMirel({"pack", dir.File("a.pck"), dir.File("zumbrix.xml")}).exitCode, 0);
    CommandResult bundle = RunProgram(Root("bin/mirel"), {"bundle", dir.File("a.pck"), "-o", dir.File("b")});
    ASSERT_EQ(bundle.exitCode, 0) << bundle.err;
    CommandResult list = RunProgram(dir.File("b"), {"--list"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_THAT(list.out, HasSubstr("\tzumbrix.xml\t"));
}

// What xscreensaver's settings read from a hack's entry: the screensaver
// element's name (the program) and label, the command's arguments, and the
// description text.
TEST_F(Installed, XScreenSaverEntryNamesTheHackItsCommandAndDescription) {
    ASSERT_EQ(install.exitCode, 0) << install.err;
    const std::string text = Text(Root("share/xscreensaver/config/zumbrix.xml"));
    TXmlParser xml;
    xml.SetBuffer(text);
    xml.Rewind();
    std::string name, label, command, description, open;
    int depth = 0, screensavers = 0, commands = 0;
    bool declared = false;
    while (xml.Next()) {
        switch (xml.CurPartType()) {
        case ptXmlDecl:
            declared = true;
            break;
        case ptStartTag:
        case ptEmptyTag:
            if (xml.CurName() == "screensaver") {
                screensavers++;
                EXPECT_EQ(depth, 0);
                name = xml.CurAttr().Value("name");
                label = xml.CurAttr().Value("_label");
            } else if (xml.CurName() == "command") {
                commands++;
                command += std::string(xml.CurAttr().Value("arg"));
            }
            if (xml.CurPartType() == ptStartTag) {
                depth++;
                open = xml.CurName();
            }
            break;
        case ptEndTag:
            depth--;
            break;
        case ptContent:
            if (open == "_description") description += xml.CurContent();
            break;
        default:
            break;
        }
    }
    EXPECT_TRUE(declared);
    EXPECT_EQ(depth, 0) << "every element is closed";
    EXPECT_EQ(screensavers, 1);
    EXPECT_EQ(name, "zumbrix");
    EXPECT_TRUE(fs::exists(Root("libexec/xscreensaver/" + name))) << "the hack the entry names";
    EXPECT_EQ(label, "Zumbrix");
    EXPECT_EQ(commands, 1);
    EXPECT_EQ(command, "--root");
    EXPECT_THAT(description, HasSubstr("audiovisual demo"));
    EXPECT_GT(description.size(), 100u);
    // The hack accepts what xscreensaver passes.
    CommandResult help = RunZumbrix({"--help"});
    EXPECT_THAT(help.out, HasSubstr(command));
}

// The manual pages' text: font escapes removed, "\-" read as "-".
std::string ManText(const std::string& path) {
    std::string text = Text(path);
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    return text;
}

std::set<std::string> LongOptions(const std::string& text) {
    std::set<std::string> options;
    const std::regex option(R"((^|[^-\w])(--[a-z][a-z-]*))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        options.insert((*it)[2]);
    return options;
}

TEST(ManualPages, ZumbrixPageTellsEveryOptionOfHelpAndNoOther) {
    CommandResult help = RunZumbrix({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const std::string page = ManText(SourcePath("packaging/zumbrix.6"));
    EXPECT_EQ(LongOptions(page), LongOptions(help.out));
    // Each option line of --help, with its arguments, is an entry of the page.
    const std::regex entry(R"(\n  (--\S+(?: [^ \n]+)*?)(?:  |\n))");
    int entries = 0;
    for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), entry);
         it != std::sregex_iterator(); ++it, ++entries)
        EXPECT_THAT(page, HasSubstr(".TP\n" + (*it)[1].str() + "\n"));
    EXPECT_GE(entries, 15);
    EXPECT_THAT(page, HasSubstr(".TH ZUMBRIX 6 "));
}

TEST(ManualPages, MirelPageTellsEveryCommandOfHelp) {
    CommandResult help = RunMirel({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const std::string page = ManText(SourcePath("packaging/mirel.1"));
    const size_t commands = help.out.find("commands:\n");
    ASSERT_NE(commands, std::string::npos);
    std::set<std::string> helpCommands, pageCommands;
    const std::regex usage(R"(\n  (\S+)[^\n]*)");
    const std::string list = help.out.substr(commands);
    for (auto it = std::sregex_iterator(list.begin(), list.end(), usage); it != std::sregex_iterator();
         ++it) {
        helpCommands.insert((*it)[1]);
        EXPECT_THAT(page, HasSubstr(".TP\n.B mirel " + (*it).str().substr(3) + "\n"));
    }
    const std::regex pageEntry(R"(\.TP\n\.B mirel (\S+))");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), pageEntry); it != std::sregex_iterator();
         ++it)
        pageCommands.insert((*it)[1]);
    EXPECT_EQ(pageCommands, helpCommands);
    EXPECT_THAT(page, HasSubstr(".TH MIREL 1 "));
}

} // namespace
