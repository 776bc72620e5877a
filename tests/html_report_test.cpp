// The report page as a file: every part once, nothing loaded from an address.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/report/html_report.h"
#include "cli/report/report_assets.h"
#include "cli/report/report_data.h"
#include "cli/run_summary.h"
#include "standin/module_loader.h"
#include "standin/scene_reader.h"
#include "standin/stand_in_host.h"

namespace {

namespace report = tarvel::cli::report;

TEST(HtmlReportTest, thePageHoldsEveryPartOnceAndLoadsNothing) {
    tarvel::standin::Scene scene =
        tarvel::standin::loadScene(std::string(TARVEL_SOURCE_DIR) + "/examples/facing_grids.json");
    const tarvel::standin::LoadedModule module(TARVEL_MODULE_FILE);
    const tarvel::standin::Trace trace = tarvel::standin::runTool(module.module(), scene);
    const report::ReportRun run{"facing_grids.json",
                                "summary",
                                "",
                                tarvel::cli::countRun(trace, scene.mesh.polygons.size()),
                                trace.calls.messages(),
                                scene.mesh,
                                *trace.mesh};
    std::ostringstream out;
    report::writeHtmlReport(run, out);
    const std::string page = out.str();
    const auto occurrences = [&page](const std::string& text) {
        std::size_t count = 0;
        for (std::size_t at = page.find(text); at != std::string::npos;
             at = page.find(text, at + 1)) {
            ++count;
        }
        return count;
    };
    for (const char* marker :
         {"@TITLE@", "@LICENCE@", "@DATA@", "@PANEL@", "@MODULES@", "@SCRIPT@"}) {
        EXPECT_EQ(occurrences(marker), 0u) << marker;
    }
    EXPECT_EQ(
        occurrences("<script type=\"application/json\" id=\"run-data\">{\"format\":2,\"file\""),
        1u);
    EXPECT_EQ(occurrences("<script type=\"text/x-module\""), 6u);
    EXPECT_EQ(occurrences("<script type=\"text/x-view\" id=\"view-script\">"), 1u);
    EXPECT_EQ(occurrences(std::string(report::kPagePanel)), 1u);
    EXPECT_EQ(occurrences(std::string(report::kPageScript)), 1u);
    EXPECT_EQ(occurrences("<title>facing_grids.json"), 1u);
    EXPECT_EQ(occurrences("The MIT License"), 1u);
    // Nothing from any address: no URL but the object URLs the page makes itself.
    EXPECT_EQ(occurrences("src="), 0u);
    EXPECT_EQ(occurrences("<link"), 0u);
    EXPECT_EQ(occurrences("from 'three/core'"), 2u);
    EXPECT_EQ(occurrences("three.core.js'"), 0u);
}

}  // namespace
