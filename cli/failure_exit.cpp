#include "cli/failure_exit.h"

#include <exception>
#include <new>

#include "cli/exit_codes.h"

namespace tarvel::cli {

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

int runCatching(const std::string& subject, const std::function<int()>& body,
                std::optional<std::string>& failure) {
    failure.reset();
    try {
        return body();
    } catch (const UsageError& error) {
        failure = error.what();
        return kExitUsageError;
    } catch (const std::bad_alloc&) {
        failure = (subject.empty() ? "" : subject + ": ") + "out of memory";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    return kExitInputError;
}

int exitCodeOf(const std::string& program, const std::string& subject, std::ostream& err,
               const std::function<int()>& body) {
    std::optional<std::string> failure;
    const int code = runCatching(subject, body, failure);
    if (failure) {
        err << program << ": " << *failure << '\n';
    }
    return code;
}

}  // namespace tarvel::cli
