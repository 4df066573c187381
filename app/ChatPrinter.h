#pragma once

#include <array>
#include <ostream>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/ChatHub.h"

namespace vlo {

// Turns hub changes into lines on a stream: a readable line per new row, deletion and status
// change, or one JSON object per line. The JSON form is an interface for scripts; keep it stable.
// Used from one thread.
class ChatPrinter {
 public:
  ChatPrinter(std::ostream& out, bool json) : out_{out}, json_{json} {}

  // Prints what changed since the last call.
  void Update(const std::vector<plx::ChatRow>& rows, const std::array<PlatformStatus, 3>& statuses);

  static std::string RowJson(const plx::ChatRow& row);
  static std::string RowText(const plx::ChatRow& row);

 private:
  void PrintStatus(plx::PlatformId platform, const PlatformStatus& status);

  std::ostream& out_;
  bool json_;
  std::unordered_set<std::string> seen_;     // ids of the rows in the last update
  std::unordered_set<std::string> deleted_;  // ids already reported deleted
  std::array<PlatformStatus, 3> statuses_{};
  bool first_{true};
};

}  // namespace vlo
