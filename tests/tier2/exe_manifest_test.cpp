#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "built_exe.h"

namespace {

using ExeManifest = BuiltExeTest;

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

// Windows starts the program elevated and gives its dialog version 6 of the common
// controls only when these elements sit where they do with exactly these attributes.
TEST_F(ExeManifest, DeclaresTheAssemblyElevationAndCommonControls) {
    const std::vector<uint8_t> bytes = resource(winsim::pe::kTypeManifest, 1, 1033);
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
