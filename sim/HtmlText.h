#pragma once

#include <string>
#include <string_view>

namespace vlo::sim {

// `text` with &, <, >, " and ' written as character references, for the simulator's pages.
std::string HtmlEscape(std::string_view text);

}  // namespace vlo::sim
