#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "mesh/input_error.h"
#include "standin/module_loader.h"

namespace tarvel::standin {
namespace {

std::string loadRefusal(const std::filesystem::path& path) {
    try {
        LoadedModule module(path);
    } catch (const InputError& error) {
        return error.what();
    }
    return "loaded";
}

TEST(ModuleLoaderTest, loadsTheBuiltModuleAndFindsItsServer) {
    const LoadedModule loaded(TARVEL_MODULE_FILE);
    EXPECT_STREQ(loaded.module().server().name, "Tarvel");
    EXPECT_NE(loaded.module().serverData(), nullptr);
    EXPECT_EQ(loaded.module().name(), TARVEL_MODULE_FILE);
}

TEST(ModuleLoaderTest, refusesFilesThatAreNotPlugIns) {
    const std::string wrongSync = TARVEL_WRONG_SYNC_MODULE;
    EXPECT_EQ(
        loadRefusal(wrongSync),
        wrongSync + ": not a plug-in module: synchronisation word 0x04121995, expected 0x04121994");

    const std::string noDescriptor = TARVEL_NO_DESCRIPTOR_MODULE;
    EXPECT_EQ(loadRefusal(noDescriptor),
              noDescriptor + ": not a plug-in module: it exports no _mod_descrip");

    const std::filesystem::path text =
        std::filesystem::temp_directory_path() / "standin_loader_text.p";
    std::ofstream(text) << "not a library\n";
    const std::string textRefusal = loadRefusal(text);
    std::filesystem::remove(text);
    EXPECT_EQ(textRefusal.rfind(text.string() + ": not a plug-in module: cannot load", 0), 0u)
        << textRefusal;

    EXPECT_EQ(loadRefusal("no/such/module.p"),
              "no/such/module.p: not a plug-in module: no such file");
    EXPECT_EQ(loadRefusal(std::filesystem::temp_directory_path()),
              std::filesystem::temp_directory_path().string() +
                  ": not a plug-in module: not a regular file");
}

}  // namespace
}  // namespace tarvel::standin
