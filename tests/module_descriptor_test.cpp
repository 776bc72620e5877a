#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "host/activate.h"
#include "sdk/lwsdk.h"

extern "C" const ModuleDescriptor _mod_descrip;

namespace tarvel {
namespace {

TEST(ModuleDescriptorTest, describesOneMeshDataEditServer) {
    EXPECT_EQ(_mod_descrip.sysSync, 0x04121994u);
    EXPECT_EQ(_mod_descrip.sysVersion, 3u);
    EXPECT_EQ(_mod_descrip.sysMachine, 0x300u);
    ASSERT_NE(_mod_descrip.startup, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(_mod_descrip.startup()), 4u);
    ASSERT_NE(_mod_descrip.shutdown, nullptr);
    _mod_descrip.shutdown(nullptr);

    const ServerRecord* server = _mod_descrip.serverDefs;
    EXPECT_STREQ(server[0].className, "MeshDataEdit");
    EXPECT_STREQ(server[0].name, "Tarvel");
    EXPECT_EQ(server[0].activate, &activate);
    EXPECT_EQ(server[1].className, nullptr);
    EXPECT_EQ(server[1].name, nullptr);
    EXPECT_EQ(server[1].activate, nullptr);
    EXPECT_EQ(server[1].tagInfo, nullptr);

    const ServerTagInfo* tags = server[0].tagInfo;
    const struct {
        const char* text;
        std::uint32_t code;
    } expected[] = {{"Tarvel Tool", 0x409},
                    {"create", 0x20000},
                    {"Tarvel", 0x10000},
                    {"spol", 0x50000},
                    {"", 0}};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_STREQ(tags[i].string, expected[i].text) << i;
        EXPECT_EQ(tags[i].tag, expected[i].code) << i;
    }
}

TEST(ModuleDescriptorTest, fourCharacterCodesPutTheFirstCharacterHighest) {
    EXPECT_EQ(kTypeFace, 0x46414345u);
    EXPECT_EQ(kTypePatch, 0x50544348u);
    EXPECT_EQ(kTagColour, 0x434F4C52u);
}

}  // namespace
}  // namespace tarvel
