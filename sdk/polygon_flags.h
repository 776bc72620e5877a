#pragma once

/// The bit of a polygon's `flags` (EDPolygonInfo) that marks it selected. The stand-in host's
/// scenes keep their polygons' flags in the same form.
inline constexpr int kPolygonSelected = 1;
