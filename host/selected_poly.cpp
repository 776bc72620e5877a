#include "host/selected_poly.h"

namespace tarvel {

PolyShape::~PolyShape() {
    delete[] positions;
    positions = nullptr;
}

SelectedPoly::~SelectedPoly() {
    delete[] pointIds;
    pointIds = nullptr;
}

}  // namespace tarvel
