// The extension's own errors; the module definition raises each as its Python exception.
#pragma once

#include <stdexcept>

namespace tarvel::python {

/// A file that cannot be opened or written: raised as tarvel.FileError (an OSError).
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Arrays that do not describe a mesh, or a result given to another mesh: raised as ValueError.
class ArrayError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

}  // namespace tarvel::python
