#include "cli/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/exit_codes.h"
#include "mesh/input_error.h"

namespace tarvel::cli {

namespace {

std::string reason(int error) {
    return error != 0 ? std::strerror(error) : "write failed";
}

}  // namespace

bool flushOut(Console& console) {
    // A write that failed before the flush left its reason in errno; the flush of a stream
    // already failed does nothing.
    if (console.out) {
        errno = 0;
        console.out.flush();
    }
    if (!console.out && console.outError == 0) {
        console.outError = errno != 0 ? errno : EIO;
    }
    return static_cast<bool>(console.out);
}

void requireWritten(Console& console) {
    if (!flushOut(console)) {
        throw standin::InputError("standard output: cannot write: " + reason(console.outError));
    }
}

int closeStandardOutput(const char* program, int code, Console& console) {
    const bool good = flushOut(console);
    int error = console.outError;
    bool failed = !good || error != 0 || std::ferror(stdout) != 0;
    // The last of the buffer goes out at the close, and some devices report a failure only
    // then.
    if (std::fclose(stdout) != 0) {
        failed = true;
        error = error != 0 ? error : errno;
    }
    if (!failed) {
        return code;
    }
    if (code != kExitInputError) {
        console.err << program << ": cannot write standard output: " << reason(error) << '\n';
    }
    return kExitInputError;
}

}  // namespace tarvel::cli
