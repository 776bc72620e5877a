// The files the report page is made of, built into the program (see embed_assets.cmake):
// three.js as its npm package ships it, and the page's own template and script.
#pragma once

#include <string_view>

namespace tarvelhost::report {

/// three.js's core module (build/three.core.js).
extern const std::string_view kThreeCore;
/// three.js's module (build/three.module.js), importing the core as "three/core".
extern const std::string_view kThreeModule;
/// The orbit controls of three.js's examples, importing "three".
extern const std::string_view kOrbitControls;
/// three.js's licence, which the page carries with its code.
extern const std::string_view kThreeLicence;
/// The page: HTML and style, with a marker line for each part the writer fills in.
extern const std::string_view kPageTemplate;
/// The page's script, a module importing "three" and the orbit controls.
extern const std::string_view kPageScript;

}  // namespace tarvelhost::report
