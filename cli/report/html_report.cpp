#include "cli/report/html_report.h"

#include <string_view>

#include "cli/markup_text.h"
#include "cli/report/report_assets.h"

namespace tarvel::cli::report {

namespace {

/// A module's text as a <script> element the page's loader turns into the module
/// `specifier`. The browser does not run a script of this type.
void writeModuleText(std::string_view specifier, std::string_view text, std::ostream& out) {
    out << "<script type=\"text/x-module\" data-specifier=\"" << specifier << "\">\n"
        << text << "\n</script>\n";
}

}  // namespace

void writeHtmlReport(const ReportRun& run, std::ostream& out) {
    // The template's markers, in the order they come, and what replaces each.
    const std::string_view markers[] = {"@TITLE@", "@LICENCE@", "@DATA@",
                                        "@PANEL@", "@MODULES@", "@SCRIPT@"};
    std::string_view rest = kPageTemplate;
    for (const std::string_view marker : markers) {
        const std::size_t at = rest.find(marker);
        out << rest.substr(0, at);
        rest.remove_prefix(at == std::string_view::npos ? rest.size() : at + marker.size());
        if (marker == "@TITLE@") {
            out << escapedMarkup(run.file) << " \xe2\x80\x94 tarvel run";
        } else if (marker == "@DATA@") {
            out << pageDataJson(run);
        } else if (marker == "@LICENCE@") {
            out << escapedMarkup(kThreeLicence);
        } else if (marker == "@MODULES@") {
            writeModuleText("three/core", kThreeCore, out);
            writeModuleText("three", kThreeModule, out);
            writeModuleText("three/addons/controls/OrbitControls.js", kOrbitControls, out);
            writeModuleText("three/addons/lines/LineSegmentsGeometry.js", kLineSegmentsGeometry,
                            out);
            writeModuleText("three/addons/lines/LineMaterial.js", kLineMaterial, out);
            writeModuleText("three/addons/lines/LineSegments2.js", kLineSegments2, out);
        } else if (marker == "@PANEL@") {
            out << kPagePanel;
        } else {
            out << kPageScript;
        }
    }
    out << rest;
}

}  // namespace tarvel::cli::report
