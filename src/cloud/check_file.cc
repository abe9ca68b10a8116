#include "lumoapi/cloud/check_file.h"

#include <utility>

#include "base/os_utils.h"
#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::cloud {

CheckFile::CheckFile(std::wstring content_md5, std::wstring slice_md5, std::wstring ext,
                     uint64_t content_length, uint32_t content_crc32)
    : content_md5(std::move(content_md5)),
      slice_md5(std::move(slice_md5)),
      ext(std::move(ext)),
      content_length(content_length),
      content_crc32(content_crc32) {}

CheckFile::~CheckFile() { StopHttpRequest(); }

std::wstring CheckFile::GetMethodName() { return L"norda.lumo.cloud.checkFile"; }

std::wstring CheckFile::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"content_md5", content_md5);
  AppendPair(builder, L"slice_md5", slice_md5);
  AppendPair(builder, L"ext", ext);
  AppendPair(builder, L"content_length", content_length);
  AppendPair(builder, L"content_crc32", content_crc32);
  AppendPair(builder, L"id", base::os_utils::GetMachineID());
  AppendPair(builder, L"isXos", 1);
  return QueryText(builder);
}

// The service answers an unknown file, a stored file and a refusal with different codes, and the
// caller needs the result fields in each case.
bool CheckFile::IsErrorCodeAccepted() { return true; }

void CheckFile::ParseResult(web::json::value& result) {
  using utilities::json::ToInt64;
  using utilities::json::ToString;
  const web::json::value& body = Member(result, "result");
  song_id = ToString(Member(body, "song_id"));
  file_link = ToString(Member(body, "file_link"));
  object = ToString(Member(body, "object"));
  host = ToString(Member(body, "host"));
  time = ToInt64(Member(body, "time"), 0);
  file_size = ToInt64(Member(body, "file_size"), 0);
  bucket = ToString(Member(body, "bucket"));
  // "0" is how the service says it holds no such song.
  if (song_id == L"0") song_id.clear();
}

}  // namespace lumoapi::cloud
