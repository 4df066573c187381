#include "core/Json.h"

namespace vlo::json {

namespace {

// Whether no array or object in `text` lies deeper than `limit`, brackets inside strings aside.
// One pass over the bytes, far cheaper than the parse it guards.
bool NestedWithin(std::string_view text, int limit) {
  int depth{0};
  bool inString{false};
  for (size_t i{0}; i < text.size(); ++i) {
    const char c{text[i]};
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

}  // namespace

Json ParseObject(std::string_view text) {
  Json parsed = ParseAny(text);
  if (!parsed.is_object()) return Json::object();
  return parsed;
}

Json ParseAny(std::string_view text) {
  if (!NestedWithin(text, kMaxNesting)) return Json(Json::value_t::discarded);
  return Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
}

const Json* Find(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::optional<std::string> AsText(const Json& value) {
  if (value.is_string()) return value.get_ref<const std::string&>();
  if (value.is_number_unsigned()) return std::to_string(value.get<uint64_t>());
  if (value.is_number_integer()) return std::to_string(value.get<int64_t>());
  return std::nullopt;
}

std::optional<int64_t> AsInt(const Json& value) {
  if (value.is_number_unsigned()) {
    const auto v = value.get<uint64_t>();
    if (v > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<int64_t>(v);
  }
  if (value.is_number_integer()) return value.get<int64_t>();
  return std::nullopt;
}

std::optional<bool> AsBool(const Json& value) {
  if (value.is_boolean()) return value.get<bool>();
  return std::nullopt;
}

std::optional<std::string> TextMember(const Json& object, std::string_view key) {
  const Json* v = Find(object, key);
  return v ? AsText(*v) : std::nullopt;
}

std::optional<int64_t> IntMember(const Json& object, std::string_view key) {
  const Json* v = Find(object, key);
  return v ? AsInt(*v) : std::nullopt;
}

std::optional<bool> BoolMember(const Json& object, std::string_view key) {
  const Json* v = Find(object, key);
  return v ? AsBool(*v) : std::nullopt;
}

std::string TextOr(const Json& object, std::string_view key, std::string_view fallback) {
  auto text = TextMember(object, key);
  return text ? std::move(*text) : std::string{fallback};
}

const Json& ObjectMember(const Json& object, std::string_view key) {
  static const Json empty = Json::object();
  const Json* v = Find(object, key);
  return v && v->is_object() ? *v : empty;
}

const Json& ArrayMember(const Json& object, std::string_view key) {
  static const Json empty = Json::array();
  const Json* v = Find(object, key);
  return v && v->is_array() ? *v : empty;
}

std::string Dump(const Json& value, int indent) {
  return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace vlo::json
