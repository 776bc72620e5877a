// The report page of a run: one HTML file holding three.js, the page's script and the run's
// data, which opens from disk and loads nothing else.
#pragma once

#include <ostream>

#include "cli/report/report_data.h"

namespace tarvel::cli::report {

/// Writes the page of `run` to `out`.
void writeHtmlReport(const ReportRun& run, std::ostream& out);

}  // namespace tarvel::cli::report
