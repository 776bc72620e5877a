// Standard output as a file like any other: a write that fails there is an output error.
#pragma once

#include "cli/console.h"

namespace tarvel::cli {

/// Flushes the console's out and throws standin::InputError ("standard output: cannot write:
/// REASON") when a write or the flush failed.
void requireWritten(Console& console);

/// Flushes the console's out and, when that or an earlier write failed, keeps the reason in
/// console.outError for closeStandardOutput. Returns whether out is still good. A caller
/// that has just written clears errno before the write, so that the reason of a failed
/// write is its own.
bool flushOut(Console& console);

/// The end of a program whose result so far is `code`: flushes and closes standard output.
/// When a write to it failed at any time (a full disk, a closed pipe, an I/O error), writes
/// "PROGRAM: cannot write standard output: REASON" to `err`, unless `code` already reports an
/// output error, and returns kExitInputError; returns `code` otherwise.
int closeStandardOutput(const char* program, int code, Console& console);

}  // namespace tarvel::cli
