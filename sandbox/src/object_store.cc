#include "object_store.h"

#include <ctime>

#include "crypto.h"
#include "refusal.h"
#include "store.h"

namespace lumo::sandbox {
namespace {

// Only the sandbox verifies its grants, so the secret never leaves it.
constexpr std::string_view kGrantSecret = "sandbox-object-store-secret";

std::string HttpDate(int64_t seconds) {
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[64];
  std::strftime(text, sizeof(text), "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

}  // namespace

UploadGrant GrantUpload(Db& db, const std::string& object, int64_t length, const std::string& md5,
                        const std::string& content_type, int64_t now) {
  UploadGrant grant;
  grant.host = kObjectStoreHost;
  grant.length = length;
  grant.content_type = content_type;
  grant.date = HttpDate(now);
  std::string canonical = "PUT\n" + md5 + "\n" + content_type + "\n" + grant.date + "\n/" +
                          kObjectBucket + "/" + object;
  // The grant's sequence number keeps two grants of the same object in one second apart.
  canonical += "\n" + std::to_string(db.Scalar("SELECT COUNT(*) FROM upload_grants"));
  grant.authorization = "QCS sandbox:" + HmacSha256Hex(kGrantSecret, canonical);
  db.Sql(
        "INSERT INTO upload_grants(authorization, object, length, md5, content_type, date, "
        "expires, used) VALUES(?, ?, ?, ?, ?, ?, ?, 0)",
        grant.authorization, object, length, md5, content_type, grant.date,
        now + kGrantLifetimeSeconds)
      .Run();
  return grant;
}

GrantTerms CheckUploadHead(Db& db, const UploadHead& head, int64_t now) {
  if (!head.authorization) throw Refusal(code::kNoUploadGrant, "missing Authorization");
  Query grant = db.Sql(
      "SELECT object, length, md5, content_type, date, expires, used FROM upload_grants "
      "WHERE authorization = ?",
      *head.authorization);
  if (!grant.Next() || grant.Text(0) != head.object) {
    throw Refusal(code::kNoUploadGrant, "Authorization grants no upload of " + head.object);
  }
  if (grant.Int(6) != 0) throw Refusal(code::kGrantUsed, "this grant was used already");
  if (grant.Int(5) < now) throw Refusal(code::kGrantExpired, "this grant has expired");
  if (!head.content_type || *head.content_type != grant.Text(3)) {
    throw Refusal(code::kUploadHeaderMismatch, "Content-Type must be " + grant.Text(3));
  }
  if (!head.date || *head.date != grant.Text(4)) {
    throw Refusal(code::kUploadHeaderMismatch, "x-qcs-date must be " + grant.Text(4));
  }
  return GrantTerms{grant.Int(1), grant.Text(2)};
}

void PutObject(Db& db, const UploadHead& head, const std::string& body, int64_t now) {
  GrantTerms terms = CheckUploadHead(db, head, now);
  if (static_cast<int64_t>(body.size()) != terms.length) {
    throw Refusal(code::kUploadLengthMismatch, "body has " + std::to_string(body.size()) +
                                                   " bytes, grant says " +
                                                   std::to_string(terms.length));
  }
  std::string md5 = Md5Hex(body);
  if (md5 != terms.md5) {
    throw Refusal(code::kUploadMd5Mismatch, "body MD5 " + md5 + " is not " + terms.md5);
  }
  db.Sql("UPDATE upload_grants SET used = 1 WHERE authorization = ?", *head.authorization).Run();
  Query insert =
      db.Sql("INSERT OR REPLACE INTO objects(object, md5, size, data, time) VALUES(?, ?, ?, ?, ?)");
  insert.Bind(head.object).Bind(md5).Bind(static_cast<int64_t>(body.size()));
  insert.BindBlob(body).Bind(now).Run();
}

std::string GetObject(Db& db, const std::string& object) {
  Query query = db.Sql("SELECT data FROM objects WHERE object = ?", object);
  if (!query.Next()) throw Refusal(code::kNoSuchObject, "no object " + object);
  return query.Blob(0);
}

std::string StoredObjectMd5(Db& db, const std::string& object) {
  Query query = db.Sql("SELECT md5 FROM objects WHERE object = ?", object);
  return query.Next() ? query.Text(0) : std::string();
}

std::string ObjectLink(const std::string& object) {
  return std::string("http://") + kObjectStoreHost + "/" + object;
}

}  // namespace lumo::sandbox
