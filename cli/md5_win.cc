#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include "md5.h"

namespace lumo::cli {

// A CNG hash object; null handles when the system could not make one, which gives an empty
// digest.
struct Md5::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

Md5::Md5() : state_(std::make_unique<State>()) {
  if (BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) < 0) {
    state_->algorithm = nullptr;
    return;
  }
  if (BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0) < 0) {
    state_->hash = nullptr;
  }
}

Md5::~Md5() {
  if (state_->hash) BCryptDestroyHash(state_->hash);
  if (state_->algorithm) BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

void Md5::Update(std::string_view bytes) {
  if (!state_->hash) return;
  // ULONG counts: large inputs go in pieces.
  constexpr size_t kPiece = size_t{1} << 30;
  for (size_t at = 0; at < bytes.size(); at += kPiece) {
    const std::string_view piece = bytes.substr(at, kPiece);
    BCryptHashData(state_->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(piece.data())),
                   static_cast<ULONG>(piece.size()), 0);
  }
}

std::string Md5::FinishHex() {
  char digest[16];
  if (!state_->hash ||
      BCryptFinishHash(state_->hash, reinterpret_cast<PUCHAR>(digest), sizeof(digest), 0) < 0) {
    return "";
  }
  return LowerHex(std::string_view(digest, sizeof(digest)));
}

}  // namespace lumo::cli
