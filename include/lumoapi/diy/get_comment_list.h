// GetCommentList: how many comments one object (a song list, a song, ...) has, by type.
//
// Sends "norda.lumo.ugcmsg.getCommentListByType" in the encrypted form with no session token:
// "type_id", "type", "size" and "offset" as passed. What the types select is the service's.
//
// Result: `commentlist_last_nums`, the count the service reports; the comments themselves are not
// read.
#ifndef LUMOAPI_DIY_GET_COMMENT_LIST_H_
#define LUMOAPI_DIY_GET_COMMENT_LIST_H_

#include <cstdint>
#include <string>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT GetCommentList : public RequestBase {
 public:
  // Every argument is sent as it is.
  GetCommentList(std::wstring type_id, unsigned int type, unsigned int size, unsigned int offset);
  ~GetCommentList() override;
  GetCommentList(const GetCommentList&) = delete;
  GetCommentList& operator=(const GetCommentList&) = delete;

  std::wstring type_id;               // the object whose comments are counted
  uint32_t type;                      // the kind of object, as the service numbers them
  uint32_t size;                      // sent as "size"
  uint32_t offset;                    // sent as "offset"
  int32_t commentlist_last_nums = 0;  // the count the service reports

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_GET_COMMENT_LIST_H_
