#include "alerts/AlertFields.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vlo::alert_fields {

std::string Text(const json::Json& object, std::string_view key) {
  const json::Json* value = json::Find(object, key);
  if (value == nullptr) return {};
  if (value->is_number_float()) {
    const double number = value->get<double>();
    if (!std::isfinite(number) || std::fabs(number) >= 9.2e18) return {};
    return std::to_string(static_cast<int64_t>(number));
  }
  auto text = json::AsText(*value);
  return text ? std::move(*text) : std::string{};
}

int32_t Number(std::string_view text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  int64_t value{0};
  const auto result = std::from_chars(first, last, value);
  if (result.ec == std::errc::result_out_of_range) {
    return first != last && *first == '-' ? std::numeric_limits<int32_t>::min()
                                          : std::numeric_limits<int32_t>::max();
  }
  if (result.ec != std::errc{}) return 0;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string_view StripAction(std::string_view text) {
  constexpr std::string_view kAction =
      "\x01"
      "ACTION ";
  if (text.size() < 9 || !text.starts_with(kAction)) return text;
  text.remove_prefix(kAction.size());
  if (!text.empty() && text.back() == '\x01') text.remove_suffix(1);
  return text;
}

}  // namespace vlo::alert_fields
