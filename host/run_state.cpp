#include "host/run_state.h"

namespace tarvel {

SelectedPoly** polyTable = nullptr;
std::int32_t unassignedCount = 0;
PolyGroup* groupList = nullptr;
LWMessageFuncs* messageFuncs = nullptr;

}  // namespace tarvel
