#pragma once

#include <stdexcept>

namespace tarvel::standin {

/// Input the stand-in host refuses: a scene, trace or module file, or a command line. The
/// message is one line that names the file (or option) and the place.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tarvel::standin
