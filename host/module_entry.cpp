// The module file's own translation unit. Referencing the descriptor pulls it, and with it
// the whole module, out of the core library into the module file.
#include "host/lwsdk.h"

extern "C" const ModuleDescriptor _mod_descrip;

extern "C" const ModuleDescriptor* tarvelModuleDescriptor() {
    return &_mod_descrip;
}
