#include "cli/failure_exit.h"

#include <exception>
#include <new>

#include "cli/exit_codes.h"

namespace tarvelhost {

namespace {

int rank(int code) {
    switch (code) {
        case kExitInputError:
            return 3;
        case kExitUsageError:
            return 2;
        case kExitToolStopped:
            return 1;
        case kExitOk:
            return 0;
        default:
            return 4;
    }
}

}  // namespace

int worseExit(int a, int b) {
    return rank(b) > rank(a) ? b : a;
}

int exitCodeOf(const std::string& program, const std::string& subject, std::ostream& err,
               const std::function<int()>& body) {
    try {
        return body();
    } catch (const UsageError& error) {
        err << program << ": " << error.what() << '\n';
        return kExitUsageError;
    } catch (const std::bad_alloc&) {
        err << program << ": " << (subject.empty() ? "" : subject + ": ") << "out of memory\n";
    } catch (const std::exception& error) {
        err << program << ": " << error.what() << '\n';
    }
    return kExitInputError;
}

}  // namespace tarvelhost
