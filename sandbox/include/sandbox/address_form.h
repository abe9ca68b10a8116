// The service's reading of the addresses a client sends, for whoever needs to read one back: the
// query's pairs, the encrypted and signed "param" form, and the lyrics lookup's "e" value. The
// writing side is here too, for test clients that must speak the protocol without the client
// library. Built on the system's cryptography (OpenSSL; on Windows, its own providers), with
// nothing of the client library, so that a fault in the library's address builder or cipher shows
// up instead of hiding behind the same fault on both sides.
#ifndef SANDBOX_ADDRESS_FORM_H_
#define SANDBOX_ADDRESS_FORM_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumo::sandbox {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The text after the first '?' of `address`, or empty when it has none.
std::string_view QueryOf(std::string_view address);

// Splits a query text into pairs at '&' and at each pair's first '=', and decodes %XX escapes in
// names and values ('+' stays a plus sign). Unlike the service's own checking it refuses nothing:
// an escape that is not one stays as it is, a pair without '=' has an empty value, and empty
// pairs are skipped. For showing or comparing what a client sent.
Pairs ReadQuery(std::string_view query);

// The value of the first pair named `name`, if any.
const std::string* FindPair(const Pairs& pairs, std::string_view name);

// The encrypted part of an address's pairs, decrypted: "param" of the signed form (its key
// follows from "timestamp"), else "e" of the lyrics lookup. Nothing when neither is there;
// `text` is empty when the value is there but does not decrypt.
struct EncryptedPart {
  std::string name;  // "param" or "e"
  std::optional<std::string> text;
};
std::optional<EncryptedPart> DecryptEncryptedPart(const Pairs& pairs);

// The signed form's parts: the key (and IV) that belongs to a timestamp, the Base64 "param" for
// an inner text, its decryption, and the "sign" over "param" and the timestamp.
std::string ParamKeyFor(std::string_view timestamp);
std::string EncryptParam(std::string_view inner_text, std::string_view timestamp);
std::optional<std::string> DecryptParam(std::string_view param_base64, std::string_view timestamp);
std::string ParamSignature(std::string_view param_base64, std::string_view timestamp);

// The fixed-key cipher of the lyrics lookup's "e" value (Base64, before percent-encoding).
std::string EncryptLyricsValue(std::string_view plain);
std::optional<std::string> DecryptLyricsValue(std::string_view base64);

// Lower-case hexadecimal MD5 of the bytes.
std::string Md5Hex(std::string_view bytes);

}  // namespace lumo::sandbox

#endif  // SANDBOX_ADDRESS_FORM_H_
