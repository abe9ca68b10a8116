// GetChannels: the service's channel tags, a list of "hot" tags and two-level tag groups.
//
// Sends "norda.lumo.ugcdiy.getChannels" in the encrypted form with no parameters of its own and
// no session token.
//
// Result: `result_text`, the whole "result" value as text; and, when "result" holds both a
// "tags" and a "hot" array, `hot` (the hot tags in order) and `channels` (one map per tag group:
// its first-level text mapped to its second-level texts; two groups with the same first level
// stay two maps).
#ifndef LUMOAPI_DIY_GET_CHANNELS_H_
#define LUMOAPI_DIY_GET_CHANNELS_H_

#include <map>
#include <string>
#include <vector>

#include "lumoapi/export.h"
#include "lumoapi/request_base.h"

namespace lumoapi::diy {

// Threads and lifetime: as RequestBase.
class LUMOAPI_EXPORT GetChannels : public RequestBase {
 public:
  GetChannels();
  ~GetChannels() override;
  GetChannels(const GetChannels&) = delete;
  GetChannels& operator=(const GetChannels&) = delete;

  std::vector<std::map<std::wstring, std::vector<std::wstring>>> channels;  // one map per tag group
  std::vector<std::wstring> hot;  // the hot tags, in order
  std::wstring result_text;       // the whole "result" value as JSON text

 protected:
  std::wstring GetMethodName() override;
  std::wstring BuildParams() override;
  void ParseResult(web::json::value& answer) override;
};

}  // namespace lumoapi::diy

#endif  // LUMOAPI_DIY_GET_CHANNELS_H_
