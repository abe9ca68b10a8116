// Cloud methods (upload check, upload signature, record, quota) and the user-down report.
#include <algorithm>
#include <cctype>

#include "handlers.h"
#include "object_store.h"
#include "refusal.h"
#include "seed.h"
#include "songs.h"
#include "store.h"

namespace lumo::sandbox {
namespace {

// Cloud songs that are not in the catalogue get ids from here on.
constexpr int64_t kFirstCloudSongId = 900000001;

std::string ExtParam(const Call& call) {
  const std::string& ext = call.Get("ext");
  if (ext.empty() || ext.size() > 8 || !std::all_of(ext.begin(), ext.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0;
      })) {
    throw Refusal(code::kInvalidValue, "ext: not a file extension");
  }
  return ext;
}

void RequireMachineId(const Call& call) {
  if (call.Get("id").empty()) throw Refusal(code::kInvalidValue, "id: empty machine id");
  ChoiceParam(call, "isXos", {"1"});
}

// Known to the cloud: the song id, link and object of the first record of that content.
// Unknown: song id "0" and where the upload is to go.
Json CheckFile(const Call& call, HandlerContext& context) {
  std::string md5 = Md5Param(call, "content_md5");
  Md5Param(call, "slice_md5");
  std::string ext = ExtParam(call);
  IntParam(call, "content_length", 1, kMaxObjectSize);
  IntParam(call, "content_crc32", 0, 4294967295LL);
  RequireMachineId(call);
  Json result = Json::object();
  result[U("host")] = Text(kObjectStoreHost);
  result[U("bucket")] = Text(kObjectBucket);
  Query record = context.db.Sql(
      "SELECT song_id, file_link, object, time, size FROM cloud_records WHERE md5 = ? "
      "ORDER BY time LIMIT 1",
      md5);
  if (record.Next()) {
    result[U("song_id")] = IdText(record.Int(0));
    result[U("file_link")] = Text(record.Text(1));
    result[U("object")] = Text(record.Text(2));
    result[U("time")] = Number(record.Int(3));
    result[U("file_size")] = Number(record.Int(4));
  } else {
    std::string object = std::string(kObjectKeyPrefix) + md5 + "." + ext;
    result[U("song_id")] = Text("0");
    result[U("file_link")] = Text(ObjectLink(object));
    result[U("object")] = Text(object);
    result[U("time")] = Number(context.now);
    result[U("file_size")] = Number(0);
  }
  return ResultAnswer(result);
}

std::string ObjectParam(const Call& call) {
  const std::string& object = call.Get("object");
  bool valid = object.size() > kObjectKeyPrefix.size() && object.size() <= 200 &&
               object.compare(0, kObjectKeyPrefix.size(), kObjectKeyPrefix) == 0 &&
               object.find("..") == std::string::npos &&
               std::all_of(object.begin(), object.end(), [](char c) {
                 return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' ||
                        c == '-' || c == '/';
               });
  if (!valid) throw Refusal(code::kInvalidValue, "object: not a key under cloud/");
  return object;
}

Json Signature(const Call& call, HandlerContext& context) {
  ChoiceParam(call, "input_method", {"PUT"});
  std::string object = ObjectParam(call);
  int64_t length = IntParam(call, "content_length", 1, kMaxObjectSize);
  std::string md5 = Md5Param(call, "content_md5");
  const std::string& type = ChoiceParam(call, "content_type", {"application/octet-stream"});
  UploadGrant grant = GrantUpload(context.db, object, length, md5, type, context.now);
  Json result = Json::object();
  result[U("Host")] = Text(grant.host);
  result[U("Content-Length")] = Number(grant.length);
  result[U("Content-Type")] = Text(grant.content_type);
  result[U("x-qcs-date")] = Text(grant.date);
  result[U("Authorization")] = Text(grant.authorization);
  return ResultAnswer(result);
}

// Registers an uploaded file as one of the user's cloud songs. The file must be in the store
// with the digest given; recording the same content again answers the same song id.
Json Record(const Call& call, HandlerContext& context) {
  Db& db = context.db;
  int64_t user = call.user->id;
  std::string md5 = Md5Param(call, "md5");
  const std::string& link = call.Get("file_link");
  std::string prefix = ObjectLink("");
  if (link.compare(0, prefix.size(), prefix) != 0) {
    throw Refusal(code::kInvalidValue, "file_link: not a link of the object store");
  }
  std::string object = link.substr(prefix.size());
  int64_t bitrate = IntParam(call, "file_bitrate", 0, 100000);
  int64_t duration = IntParam(call, "file_duartion", 0, 100000000);
  int64_t size = IntParam(call, "file_size", 0, INT64_MAX);
  std::string ext = ExtParam(call);
  RequireMachineId(call);
  const std::string& song_id_text = call.Get("song_id");
  std::optional<int64_t> asked_id;
  if (!song_id_text.empty() && song_id_text != "0") asked_id = IdParam(call, "song_id");

  std::string stored_md5 = StoredObjectMd5(db, object);
  if (stored_md5.empty()) throw Refusal(code::kObjectNotStored, "no object " + object);
  if (stored_md5 != md5) {
    throw Refusal(code::kObjectMd5Mismatch, "md5 differs from the stored object's " + stored_md5);
  }
  Json result = Json::object();
  Query existing =
      db.Sql("SELECT song_id FROM cloud_records WHERE user_id = ? AND md5 = ?", user, md5);
  if (existing.Next()) {
    result[U("song_id")] = IdText(existing.Int(0));
    return ResultAnswer(result);
  }
  if (db.Scalar("SELECT COUNT(*) FROM cloud_records WHERE user_id = ?", user) >= kCloudLimit) {
    throw Refusal(code::kCloudFull, "the cloud is full");
  }
  int64_t song_id = 0;
  if (asked_id && LoadSong(db, *asked_id)) {
    song_id = *asked_id;
  } else {
    Query next =
        db.Sql("SELECT MAX(song_id) FROM cloud_records WHERE song_id >= ?", kFirstCloudSongId);
    song_id = next.Next() && !next.IsNull(0) ? next.Int(0) + 1 : kFirstCloudSongId;
  }
  db.Sql(
        "INSERT INTO cloud_records(user_id, md5, song_id, file_link, object, song_title, "
        "album_title, artist_name, file_name, ext, bitrate, duration, size, time) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        user, md5, song_id, link, object, call.Get("song_title"), call.Get("album_title"),
        call.Get("artist_name"), call.Get("file_name"), ext, bitrate, duration, size, context.now)
      .Run();
  result[U("song_id")] = IdText(song_id);
  return ResultAnswer(result);
}

// Quota in songs: "used" counts the user's cloud records.
Json Expand(const Call& call, HandlerContext& context) {
  Json result = Json::object();
  result[U("expand")] = Number(0);
  result[U("cloud_limit")] = Number(kCloudLimit);
  result[U("used")] = Number(
      context.db.Scalar("SELECT COUNT(*) FROM cloud_records WHERE user_id = ?", call.user->id));
  return ResultAnswer(result);
}

Json UserDown(const Call& call, HandlerContext& context) {
  std::vector<int64_t> ids = IdListParam(call, "songid", true);
  context.db
      .Sql("INSERT INTO user_downs(uid, song_ids, cuid, time) VALUES(?, ?, ?, ?)", call.Get("uid"),
           call.Get("songid"), call.cuid, context.now)
      .Run();
  Json answer = Answer();
  answer[U("count")] = Number(static_cast<int64_t>(ids.size()));
  return answer;
}

}  // namespace

void AddCloudHandlers(Router& router) {
  router.Add("norda.lumo.cloud.checkFile", CheckFile);
  router.Add("norda.lumo.cloud.signature2", Signature);
  router.Add("norda.lumo.cloud.record", Record);
  router.Add("norda.lumo.cloud.expand", Expand);
  router.Add("norda.lumo.user.down", UserDown);
}

}  // namespace lumo::sandbox
