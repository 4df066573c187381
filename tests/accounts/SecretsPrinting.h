#pragma once

// Readable failure output for the secret store's records: their JSON form.

#include <ostream>

#include "accounts/SecretStore.h"

namespace vlo {

inline void PrintTo(const SecretsDocument& document, std::ostream* out) {
  *out << SecretsToJson(document);
}

}  // namespace vlo

namespace plx {

inline void PrintTo(const TokenRecord& token, std::ostream* out) {
  vlo::SecretsDocument document;
  document.tokens["-"] = token;
  *out << vlo::SecretsToJson(document);
}

}  // namespace plx
