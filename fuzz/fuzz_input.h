// Turning a fuzzer's bytes into the texts the code under test takes.
#ifndef LUMO_FUZZ_FUZZ_INPUT_H_
#define LUMO_FUZZ_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace lumo::fuzz {

// Every sizeof(wchar_t) bytes become one wide character, any value included (unpaired surrogates,
// values past U+10FFFF); a short tail is dropped.
inline std::wstring WideFrom(const uint8_t* data, size_t size) {
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
  return text;
}

inline std::string BytesFrom(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace lumo::fuzz

#endif  // LUMO_FUZZ_FUZZ_INPUT_H_
