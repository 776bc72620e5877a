// The files the report page is made of, built into the program (see embed_assets.cmake):
// three.js as its npm package ships it, and the page's own template and script.
#pragma once

#include <string_view>

namespace tarvel::cli::report {

/// three.js's core module (build/three.core.js).
extern const std::string_view kThreeCore;
/// three.js's module (build/three.module.js), importing the core as "three/core".
extern const std::string_view kThreeModule;
/// The orbit controls of three.js's examples, importing "three".
extern const std::string_view kOrbitControls;
/// The wide lines of three.js's examples (lines drawn a set number of pixels wide): the
/// segments, their geometry and their material, importing "three" and each other.
extern const std::string_view kLineSegments2;
extern const std::string_view kLineSegmentsGeometry;
extern const std::string_view kLineMaterial;
/// three.js's licence, which the page carries with its code.
extern const std::string_view kThreeLicence;
/// The page: HTML and style, with a marker line for each part the writer fills in.
extern const std::string_view kPageTemplate;
/// The page's panel: a plain script that needs no WebGL and no module support, so that the
/// run's file, summary, messages, legend and pairs show in any browser.
extern const std::string_view kPagePanel;
/// The page's 3D view, a module importing "three", the orbit controls and the wide lines.
extern const std::string_view kPageScript;

}  // namespace tarvel::cli::report
