#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include <windows.h>

#include "built_exe.h"
#include "version_block.h"
#include "winsim/text.h"

namespace {

using namespace winsim::pe;
using ExeImage = BuiltExeTest;

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
    ASSERT_TRUE(importedDlls(exe().view(), exe().image, &imports));
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

} // namespace
