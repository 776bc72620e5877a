// What every run of the module keeps, whatever the selection and the host's answers, checked
// from the host's side: on the scene a run began with and the trace of every call it made.
#pragma once

#include <string>
#include <vector>

#include "standin/scene.h"
#include "standin/stand_in_host.h"

namespace tarvel::testing {

/// The rules `trace` (logged in full) breaks for a run on `scene`, one line each; empty when it
/// keeps them all:
/// - one `begin`, first; with no edit given, the result 3 and no further call; otherwise the
///   result 0 and exactly one `done`, as the last call;
/// - `done` closes with (0, 0), (0, 9) or (1, 0): error 1 only for a run that ran out of
///   memory, selection mode 9 only for a completed run; a count below two ends the run at once;
/// - `addFace` adds two-point polygons with the surface "test" between points of the scene;
///   each one the host made gets one "COLR" tag, "Red", "DkRed" or "Blue", right away;
/// - `remPoly` only in a completed run, after every link: each polygon at most once, and each
///   one a polygon of the scene (never an added one) that was selected, of a type the tool takes
///   ("FACE", "PTCH" or "SUBD"), and captured (its normal asked for);
/// - what can be seen of whole groups from outside: a completed run that removes anything
///   removes at least two polygons, and every link joins points of removed polygons.
std::vector<std::string> brokenRunInvariants(const standin::Scene& scene,
                                             const standin::Trace& trace);

/// The broken rules as one text, for a test failure or a fuzzer's report.
std::string describeBroken(const std::vector<std::string>& broken);

}  // namespace tarvel::testing
