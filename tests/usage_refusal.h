// What the command lines refuse, for the tests of the programs' options.
#pragma once

#include <functional>
#include <string>

#include "cli/exit_codes.h"

namespace tarvel::testing {

/// What the usage error that `action` raises says, without the pointer to --help; "accepted"
/// when it raises none.
inline std::string refusal(const std::function<void()>& action) {
    try {
        action();
    } catch (const cli::UsageError& error) {
        const std::string message = error.what();
        return message.substr(0, message.find(" (see tarvel"));
    }
    return "accepted";
}

}  // namespace tarvel::testing
