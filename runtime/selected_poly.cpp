#include "runtime/selected_poly.h"

namespace tarvel {

PolyShape::~PolyShape() = default;

SelectedPoly::~SelectedPoly() = default;

}  // namespace tarvel
