// MD5 of bytes given in pieces, from the system's cryptography: OpenSSL on Linux
// (md5_openssl.cc), CNG on Windows (md5_win.cc).
#ifndef LUMO_CLI_MD5_H_
#define LUMO_CLI_MD5_H_

#include <memory>
#include <string>
#include <string_view>

namespace lumo::cli {

// Lower-case hexadecimal of `bytes`.
inline std::string LowerHex(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

// Thread-compatible.
class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  void Update(std::string_view bytes);
  // Lower-case hexadecimal of everything given. REQUIRES: called once, after the last Update.
  std::string FinishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace lumo::cli

#endif  // LUMO_CLI_MD5_H_
