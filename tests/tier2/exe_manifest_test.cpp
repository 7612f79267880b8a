#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "built_exe.h"

namespace {

using Attributes = std::map<std::string, std::string>;
using ExeManifest = BuiltExeTest;

constexpr uint16_t kManifestId = 1; // CREATEPROCESS_MANIFEST_RESOURCE_ID
constexpr uint16_t kEnglishUs = 1033;

// The attributes of every <tag ...> in the text, in document order.
std::vector<Attributes> elements(const std::string& xml, const std::string& tag) {
    std::vector<Attributes> found;
    const std::regex element("<" + tag + "\\b([^>]*)>");
    const std::regex attribute("([A-Za-z:]+)=\"([^\"]*)\"");
    for (std::sregex_iterator e(xml.begin(), xml.end(), element), end; e != end; ++e) {
        Attributes attributes;
        std::string inside = (*e)[1];
        for (std::sregex_iterator a(inside.begin(), inside.end(), attribute); a != end; ++a) {
            attributes[(*a)[1]] = (*a)[2];
        }
        found.push_back(attributes);
    }
    return found;
}

// Windows starts the program elevated and gives its dialog version 6 of the common
// controls only when these attributes are exactly right.
TEST_F(ExeManifest, DeclaresTheAssemblyElevationAndCommonControls) {
    std::vector<uint8_t> bytes = resource(winsim::pe::kTypeManifest, kManifestId, kEnglishUs);
    std::string xml(bytes.begin(), bytes.end());
    ASSERT_EQ(0u, xml.rfind("<?xml", 0)) << xml;

    std::vector<Attributes> assembly = elements(xml, "assembly");
    ASSERT_EQ(1u, assembly.size());
    EXPECT_EQ(
        (Attributes{{"xmlns", "urn:schemas-microsoft-com:asm.v1"}, {"manifestVersion", "1.0"}}),
        assembly[0]);

    std::vector<Attributes> identities = elements(xml, "assemblyIdentity");
    ASSERT_EQ(2u, identities.size());
    EXPECT_EQ((Attributes{{"name", "Folioscope.Install"},
                          {"version", "1.0.0.0"},
                          {"type", "win32"},
                          {"processorArchitecture", "*"}}),
              identities[0]);
    EXPECT_EQ((Attributes{{"type", "win32"},
                          {"name", "Microsoft.Windows.Common-Controls"},
                          {"version", "6.0.0.0"},
                          {"processorArchitecture", "*"},
                          {"publicKeyToken", "6595b64144ccf1df"},
                          {"language", "*"}}),
              identities[1]);
    EXPECT_NE(std::string::npos, xml.find("<description>File viewer/translator</description>"));

    // The dependency's identity sits inside <dependency><dependentAssembly>.
    size_t dependency = xml.find("<dependency>");
    size_t dependent = xml.find("<dependentAssembly>", dependency);
    size_t identity = xml.find("Microsoft.Windows.Common-Controls");
    EXPECT_TRUE(dependency < dependent && dependent < identity &&
                identity < xml.find("</dependentAssembly>") &&
                xml.find("</dependentAssembly>") < xml.find("</dependency>"));

    std::vector<Attributes> trust = elements(xml, "trustInfo");
    ASSERT_EQ(1u, trust.size());
    EXPECT_EQ((Attributes{{"xmlns", "urn:schemas-microsoft-com:asm.v3"}}), trust[0]);
    std::vector<Attributes> level = elements(xml, "requestedExecutionLevel");
    ASSERT_EQ(1u, level.size());
    EXPECT_EQ((Attributes{{"level", "requireAdministrator"}, {"uiAccess", "false"}}), level[0]);
    size_t privileges = xml.find("<trustInfo");
    EXPECT_TRUE(privileges < xml.find("<security>") &&
                xml.find("<security>") < xml.find("<requestedPrivileges>") &&
                xml.find("<requestedPrivileges>") < xml.find("<requestedExecutionLevel"));
}

} // namespace
