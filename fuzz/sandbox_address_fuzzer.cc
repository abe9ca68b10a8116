// The sandbox's reading of what a client sends: the strict query check, the lenient reading for
// display, percent decoding, and the decryption of the signed "param" and the lyrics "e" value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "query.h"
#include "refusal.h"
#include "sandbox/address_form.h"

namespace sandbox = lumo::sandbox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string_view query = sandbox::QueryOf(text);
  const sandbox::Pairs lenient = sandbox::ReadQuery(query);
  try {
    (void)sandbox::ParseQuery(query);
  } catch (const sandbox::Refusal&) {
  }
  (void)sandbox::PercentDecode(text);
  (void)sandbox::IsUtf8(text);
  if (const auto part = sandbox::DecryptEncryptedPart(lenient); part && part->text) {
    (void)sandbox::IsUtf8(*part->text);
  }
  // The whole input as a "param" value under a timestamp taken from its first bytes.
  const std::string_view timestamp = text.substr(0, size < 10 ? size : 10);
  (void)sandbox::DecryptParam(text, timestamp);
  (void)sandbox::DecryptLyricsValue(text);
  return 0;
}
