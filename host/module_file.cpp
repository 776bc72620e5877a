// The module file's own translation unit. Referencing the descriptor pulls it, and with it
// the whole module, out of the core library into the module file.
#include "sdk/lwsdk.h"
#include "sdk/module_version.h"

extern "C" const ModuleDescriptor _mod_descrip;

extern "C" const ModuleDescriptor* tarvelModuleDescriptor() {
    return &_mod_descrip;
}

#ifndef _WIN32
namespace {

// An ELF note ("Tarvel", type 1) holding the fixed file version and the FileVersion text, each
// ended by a null: what the Windows module file keeps in its version resource. The note has
// no symbol that is exported; it is read from the file, never from the running module.
constexpr char kVersionText[] = TARVEL_MODULE_FILE_VERSION "\0" TARVEL_MODULE_FILE_VERSION_TEXT;

struct VersionNote {
    unsigned int nameSize = 7;
    unsigned int descriptionSize = sizeof kVersionText;
    unsigned int type = 1;
    char name[8] = "Tarvel";
    char description[(sizeof kVersionText + 3) / 4 * 4] = {};
};

constexpr VersionNote makeNote() {
    VersionNote note;
    for (unsigned int k = 0; k < sizeof kVersionText; ++k) {
        note.description[k] = kVersionText[k];
    }
    return note;
}

[[gnu::used, gnu::section(".note.tarvel.version"),
  gnu::aligned(4)]] const VersionNote kVersionNote = makeNote();

}  // namespace
#endif
