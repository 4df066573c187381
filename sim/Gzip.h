#pragma once

#include <string>
#include <string_view>

namespace vlo::sim {

// The gzip member (RFC 1952) holding `data`.
std::string GzipCompress(std::string_view data);

}  // namespace vlo::sim
