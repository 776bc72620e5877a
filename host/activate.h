#pragma once

#include "sdk/lwsdk.h"

namespace tarvel {

inline constexpr const char* kMessageTooFewPolygons =
    "Need at least two directly selected polys in primary foreground layer";
inline constexpr const char* kMessageTooFewGroups = "Need at least two groups of polys";
inline constexpr const char* kMessageNotFacing = "Selected groups not facing each other";
inline constexpr const char* kMessageNotFacingDetail =
    "Angle between groups should be less than 45 degrees.";

/// What activate returns: 0 for every run that began an edit, however it ended, and 3 when the
/// host gave no edit to begin.
inline constexpr int kActivateDone = 0;
inline constexpr int kActivateNoEdit = 3;

/// Shows a message in the host's error box, when the host gave its message functions.
void showError(const char* text, const char* text2);

/// The activation function of the "Tarvel" server. Returns kActivateNoEdit when no edit could
/// begin, and kActivateDone on every other path; every begun edit is closed with exactly one
/// `done`. Never throws.
extern "C" int TARVEL_HOSTCALL activate(int version, GlobalFunc* global, void* local,
                                        void* serverData);

}  // namespace tarvel
