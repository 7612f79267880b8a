// Checks of the Windows build's folioinst.exe, read once for all of them through winsim's PE
// reader. They skip with a clear message when the Windows build is missing, except in CI
// (CI=true), where a missing build fails them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>

#include "app/resource.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "version_block.h"
#include "winsim/text.h"

namespace {

using namespace winsim::pe;

struct BuiltExe {
    std::vector<uint8_t> bytes;
    Image image;
    bool parsed = false;
};

const BuiltExe& exe() {
    static const BuiltExe theExe = [] {
        BuiltExe exe;
        std::ifstream in(FOLIO_WINDOWS_EXE, std::ios::binary);
        exe.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        exe.parsed = parseImage(ByteView(exe.bytes), &exe.image);
        return exe;
    }();
    return theExe;
}

class BuiltExeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!exe().bytes.empty()) {
            ASSERT_TRUE(exe().parsed) << FOLIO_WINDOWS_EXE << " is not a PE image";
            return;
        }
        const char* ci = std::getenv("CI");
        const std::string message = std::string(FOLIO_WINDOWS_EXE) +
                                    " is missing: build it with `cmake --preset windows && " +
                                    "cmake --build --preset windows` (needs mingw-w64)";
        if (ci && std::string(ci) == "true") {
            FAIL() << message;
        }
        GTEST_SKIP() << message;
    }

    // The resource's bytes; fails the test when it is not there.
    static std::vector<uint8_t> resource(uint16_t type, uint16_t name, int language) {
        Resource found = findResource(ByteView(exe().bytes), exe().image, type, name, language);
        EXPECT_EQ(ResourceStatus::found, found.status)
            << "resource type " << type << ", name " << name << ", language " << language;
        return std::vector<uint8_t>(found.data.data, found.data.data + found.data.size);
    }
};

using ExeImage = BuiltExeTest;
using ExeDialog = BuiltExeTest;

// The tags in document order, each with its attributes sorted: "<tag a="1" b="2"/>".
std::vector<std::string> tags(const std::string& xml) {
    std::vector<std::string> found;
    const std::regex tag("<(/?[A-Za-z]+)([^>]*?)(/?)>");
    const std::regex attribute("([A-Za-z:]+)=\"([^\"]*)\"");
    for (std::sregex_iterator t(xml.begin(), xml.end(), tag), end; t != end; ++t) {
        std::vector<std::string> attributes;
        const std::string inside = (*t)[2];
        for (std::sregex_iterator a(inside.begin(), inside.end(), attribute); a != end; ++a) {
            attributes.push_back(" " + (*a)[0].str());
        }
        std::sort(attributes.begin(), attributes.end());
        std::string text = "<" + (*t)[1].str();
        for (const std::string& a : attributes) {
            text += a;
        }
        found.push_back(text + (*t)[3].str() + ">");
    }
    return found;
}

// The setup that carries the installer has room for 128 KiB; the build links stripped.
TEST_F(ExeImage, IsAnX64GuiProgramThatFitsIn128KiB) {
    EXPECT_EQ(kMachineAmd64, exe().image.machine);
    EXPECT_EQ(kMagicPe32Plus, exe().image.magic);
    EXPECT_EQ(kSubsystemWindowsGui, exe().image.subsystem);
    EXPECT_EQ(0, exe().image.characteristics & 0x2000) << "built as a DLL";
    EXPECT_LE(exe().bytes.size(), 128u * 1024);
}

// Windows takes a KnownDLL from the system directory whatever folder the program runs from;
// any other import (winspool.drv, version.dll, a compiler runtime DLL) would be looked for in
// the elevated program's own folder first, where it could be planted.
TEST_F(ExeImage, ImportsOnlyKnownDlls) {
    const std::vector<std::string> known = {"kernel32.dll", "user32.dll",   "gdi32.dll",
                                            "advapi32.dll", "shell32.dll",  "msvcrt.dll",
                                            "ole32.dll",    "oleaut32.dll", "shlwapi.dll"};
    std::vector<std::string> imports;
    ASSERT_TRUE(importedDlls(ByteView(exe().bytes), exe().image, &imports));
    bool kernel32 = false;
    for (const std::string& dll : imports) {
        std::string name = winsim::foldCase(dll);
        kernel32 = kernel32 || name == "kernel32.dll";
        EXPECT_NE(known.end(), std::find(known.begin(), known.end(), name))
            << dll << " is not a KnownDLL";
    }
    EXPECT_TRUE(kernel32) << "the import table was not read";
}

// The fixed part of the version resource, where Windows and the installer's version calls
// read a file's build.
TEST_F(ExeImage, CarriesBuild2060) {
    const std::vector<uint8_t> block = resource(kTypeVersion, 1, 1033);
    winsim::VersionValue value;
    ASSERT_TRUE(winsim::findVersionValue(ByteView(block), u"\\", &value));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), value.length);
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, block.data() + value.offset, sizeof info);
    EXPECT_EQ(VS_FFI_SIGNATURE, info.dwSignature);
    EXPECT_EQ(2060u, info.dwProductVersionLS & 0xFFFF);
    EXPECT_EQ(2060u, info.dwFileVersionLS & 0xFFFF);
}

// Windows starts the program elevated and gives its dialog version 6 of the common
// controls only when these elements sit where they do with exactly these attributes.
TEST_F(ExeImage, DeclaresTheAssemblyElevationAndCommonControls) {
    const std::vector<uint8_t> bytes = resource(kTypeManifest, 1, 1033);
    const std::string xml(bytes.begin(), bytes.end());
    ASSERT_EQ(0u, xml.rfind("<?xml", 0)) << xml;
    EXPECT_EQ((std::vector<std::string>{
                  "<assembly manifestVersion=\"1.0\" xmlns=\"urn:schemas-microsoft-com:asm.v1\">",
                  "<assemblyIdentity name=\"Folioscope.Install\" processorArchitecture=\"*\" "
                  "type=\"win32\" version=\"1.0.0.0\"/>",
                  "<description>", "</description>", "<dependency>", "<dependentAssembly>",
                  "<assemblyIdentity language=\"*\" name=\"Microsoft.Windows.Common-Controls\" "
                  "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" "
                  "type=\"win32\" version=\"6.0.0.0\"/>",
                  "</dependentAssembly>", "</dependency>",
                  "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">", "<security>",
                  "<requestedPrivileges>",
                  "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
                  "</requestedPrivileges>", "</security>", "</trustInfo>", "</assembly>"}),
              tags(xml));
    EXPECT_NE(std::string::npos, xml.find("<description>File viewer/translator</description>"));
}

// Sequential little-endian reads over an extended dialog template (DLGTEMPLATEEX and its
// DLGITEMTEMPLATEEX items); once a read runs past the end, every later one fails.
struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    bool ok = true;

    uint32_t take(size_t size) {
        uint32_t value = 0;
        ok = ok && at + size <= bytes.size();
        for (size_t i = 0; ok && i < size; ++i) {
            value |= uint32_t{bytes[at + i]} << (8 * i);
        }
        at += size;
        return value;
    }
    int number(size_t size) { return size == 2 ? int16_t(take(2)) : int(take(size)); }
    std::string text() {
        std::string out = "\"";
        for (uint32_t c = take(2); ok && c != 0; c = take(2)) {
            out += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return out + "\"";
    }
    // sz_Or_Ord: 0xFFFF and an ordinal, or a string.
    std::string nameOrOrdinal() {
        if (at + 2 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] == 0xFF) {
            at += 2;
            return "#" + std::to_string(take(2));
        }
        return text();
    }
};

// Every field in the order the dialog manager reads it, one line per window.
std::string decode(const std::vector<uint8_t>& bytes) {
    Reader in{bytes};
    std::ostringstream out;
    out << std::hex << "dialog " << in.take(2) << " " << in.take(2) << " help=" << in.take(4)
        << " ex=" << in.take(4);
    const uint32_t style = in.take(4);
    const uint32_t items = in.take(2);
    out << " style=" << style << std::dec << " items=" << items << " at " << in.number(2) << ","
        << in.number(2) << " " << in.number(2) << "x" << in.number(2)
        << " menu=" << in.nameOrOrdinal() << " class=" << in.nameOrOrdinal()
        << " title=" << in.text();
    if (style & 0x40) { // DS_SETFONT: the font follows
        out << " font " << in.number(2) << " " << in.number(2) << " " << in.number(1) << " "
            << in.number(1) << " " << in.text();
    }
    for (uint32_t i = 0; in.ok && i < items; ++i) {
        in.at = (in.at + 3) & ~size_t{3};
        out << std::hex << "\nitem help=" << in.take(4) << " ex=" << in.take(4)
            << " style=" << in.take(4) << std::dec << " at " << in.number(2) << "," << in.number(2)
            << " " << in.number(2) << "x" << in.number(2) << " id=" << in.number(4)
            << " class=" << in.nameOrOrdinal() << " title=" << in.nameOrOrdinal()
            << " extra=" << in.number(2);
    }
    return in.ok ? out.str() : "cut short: " + out.str();
}

// The log dialog exactly as the dialog manager will build it: any bit the resource
// compiler adds on its own (a WS_TABSTOP, a WS_BORDER, a WS_CAPTION) shows up here.
TEST_F(ExeDialog, LogDialogTemplateInUsEnglish) {
    EXPECT_EQ("dialog 1 ffff help=0 ex=0 style=80c808c8 items=2 at 0,0 451x228 menu=\"\" "
              "class=\"\" title=\"\" font 8 400 0 1 \"MS Shell Dlg\"\n"
              "item help=0 ex=0 style=50010001 at 394,207 50x14 id=1 class=#128 "
              "title=\"Close\" extra=0\n"
              "item help=0 ex=0 style=50a108c4 at 7,7 437x194 id=1001 class=#129 title=\"\" "
              "extra=0",
              decode(resource(kTypeDialog, IDD_LOG_DIALOG, 1033)));
}

} // namespace
