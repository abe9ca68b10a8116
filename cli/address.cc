#include "address.h"

namespace lumo::cli {

QueryPairs SplitQuery(const std::string& url) { return sandbox::ReadQuery(sandbox::QueryOf(url)); }

std::optional<InnerText> DecryptInnerText(const std::string& url) {
  const std::optional<sandbox::EncryptedPart> part = sandbox::DecryptEncryptedPart(SplitQuery(url));
  if (!part) return std::nullopt;
  return InnerText{part->name, part->text.value_or(std::string())};
}

}  // namespace lumo::cli
