#include "cli/command_line.h"

#include <string_view>

#include "standin/input_error.h"

namespace tarvelhost {

namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw standin::InputError(why + " (" + kUsage + ")");
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string> args) {
    CommandLine line;
    bool haveScene = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (haveScene) {
                refuse("more than one scene given: '" + std::string(arg) + "'");
            }
            line.scene = std::string(arg);
            haveScene = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            line.help = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        std::optional<std::filesystem::path>* target = nullptr;
        if (name == "--trace") {
            target = &line.trace;
        } else if (name == "--module") {
            target = &line.module;
        } else {
            refuse("unknown option '" + std::string(arg) + "'");
        }
        if (target->has_value()) {
            refuse(std::string(name) + " given twice");
        }
        std::string value;
        if (equals != std::string_view::npos) {
            value = std::string(arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            value = args[++i];
        }
        if (value.empty()) {
            refuse(std::string(name) + " needs a file name");
        }
        *target = value;
    }
    if (!haveScene && !line.help) {
        refuse("no scene given");
    }
    return line;
}

}  // namespace tarvelhost
