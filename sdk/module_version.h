// The module file's version, as its Windows version resource (host/version_info.rc) gives it:
// the fixed file version and the FileVersion text, which differ in the third number. The Linux
// module file carries the same two in an ELF note, where `tarvel --version` reads them.
#pragma once

#define TARVEL_MODULE_FILE_VERSION "1.0.1.330"
#define TARVEL_MODULE_FILE_VERSION_TEXT "1, 0, 0, 330"
