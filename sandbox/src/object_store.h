// The object store behind the cloud methods: a signature answer grants one PUT of one object;
// the PUT is checked against the grant and its bytes are kept in the database.
#ifndef SANDBOX_SRC_OBJECT_STORE_H_
#define SANDBOX_SRC_OBJECT_STORE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "sandbox/seed_users.h"

namespace lumo::sandbox {

class Db;

inline constexpr const char* kObjectBucket = "lumo-cloud";
// Every object key starts with this; it is also the path prefix the server routes to the store.
inline constexpr std::string_view kObjectKeyPrefix = "cloud/";
inline constexpr int64_t kMaxObjectSize = int64_t{64} * 1024 * 1024;
inline constexpr int64_t kGrantLifetimeSeconds = 900;

struct UploadGrant {
  std::string host;
  int64_t length = 0;
  std::string content_type;
  std::string date;  // the x-qcs-date value
  std::string authorization;
};

// Records a grant for one PUT of `object` and returns the header values it needs.
UploadGrant GrantUpload(Db& db, const std::string& object, int64_t length, const std::string& md5,
                        const std::string& content_type, int64_t now);

// What a PUT carries besides its bytes; the header pointers are null when the header is absent.
struct UploadHead {
  std::string object;
  const std::string* authorization;
  const std::string* content_type;
  const std::string* date;
};

// What a grant allows: this many bytes with this MD5 (lower-case hex).
struct GrantTerms {
  int64_t length = 0;
  std::string md5;
};

// Checks what a PUT's header can show against its grant (Authorization, object, use, expiry,
// Content-Type, x-qcs-date), so that an upload can be refused before its body is read. Throws
// Refusal (42001..42004).
GrantTerms CheckUploadHead(Db& db, const UploadHead& head, int64_t now);

// Checks a PUT against its grant, header and bytes, and stores the bytes. Throws Refusal
// (42001..42006).
void PutObject(Db& db, const UploadHead& head, const std::string& body, int64_t now);

// The stored bytes. Throws Refusal(kNoSuchObject).
std::string GetObject(Db& db, const std::string& object);

// The stored object's MD5 (lower-case hex), or empty when the object is not stored.
std::string StoredObjectMd5(Db& db, const std::string& object);

// "http://<host>/<object>".
std::string ObjectLink(const std::string& object);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_OBJECT_STORE_H_
