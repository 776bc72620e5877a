// Text placed inside the SVG picture and the HTML report.
#pragma once

#include <string>
#include <string_view>

namespace tarvel::cli {

/// `text` made safe inside an XML or HTML element or a double-quoted attribute: '<', '>', '&'
/// and '"' become their entities; everything else, UTF-8 included, stays as it is.
std::string escapedMarkup(std::string_view text);

}  // namespace tarvel::cli
