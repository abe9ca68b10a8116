#include <openssl/evp.h>

#include "md5.h"

namespace lumo::cli {

struct Md5::State {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context{EVP_MD_CTX_new(),
                                                                  EVP_MD_CTX_free};
};

Md5::Md5() : state_(std::make_unique<State>()) {
  EVP_DigestInit_ex(state_->context.get(), EVP_md5(), nullptr);
}

Md5::~Md5() = default;

void Md5::Update(std::string_view bytes) {
  EVP_DigestUpdate(state_->context.get(), bytes.data(), bytes.size());
}

std::string Md5::FinishHex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(state_->context.get(), digest, &length);
  return LowerHex(std::string_view(reinterpret_cast<const char*>(digest), length));
}

}  // namespace lumo::cli
