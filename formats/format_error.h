// The error a mesh file reader or writer gives for a file it cannot use.
#pragma once

#include <cstddef>
#include <string>

#include "mesh/input_error.h"

namespace tarvel::formats {

/// A mesh file that cannot be read or written. The message is one line that starts with the
/// file's name and names the place ("model.lwo: POLS at byte 1234: vertex index 9999 beyond
/// the 120 points", "model.obj:17: face index 0: OBJ counts from 1").
class FormatError : public standin::InputError {
public:
    using standin::InputError::InputError;
};

/// A choice made for reading a file that the file cannot meet, such as a layer it does not
/// hold: the file may be sound, the request is not.
class ChoiceError : public FormatError {
public:
    using FormatError::FormatError;
};

}  // namespace tarvel::formats
