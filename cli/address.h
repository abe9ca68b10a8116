// Reading back an address the library built, for --dry-run: its query pairs and the decrypted
// text of its encrypted part, read with the sandbox's reading of the service's address forms,
// not with the library's own cipher, so that the output shows what the service would read.
#ifndef LUMO_CLI_ADDRESS_H_
#define LUMO_CLI_ADDRESS_H_

#include <optional>
#include <string>

#include "sandbox/address_form.h"

namespace lumo::cli {

using QueryPairs = sandbox::Pairs;

// The pairs of the query after "?", percent-decoded ("+" stays a plus sign).
QueryPairs SplitQuery(const std::string& url);

struct InnerText {
  std::string parameter;  // "param" or "e"
  std::string text;       // empty when the value does not decrypt
};

// The encrypted part of an address, decrypted: "param" of the signed form (its key follows from
// "timestamp"), or "e" of the lyrics lookup (a fixed key). Nothing for a plain address.
std::optional<InnerText> DecryptInnerText(const std::string& url);

}  // namespace lumo::cli

#endif  // LUMO_CLI_ADDRESS_H_
