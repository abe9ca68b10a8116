#include "protocol.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "crypto.h"
#include "refusal.h"

namespace lumo::sandbox {
namespace {

constexpr std::string_view kUserAgent = "qxpc_1.0.0";
constexpr std::string_view kFormat = "json";
constexpr std::string_view kFrom = "qxpc";
constexpr std::string_view kVersionD = "10.1.1.1";
constexpr std::string_view kDefaultVersion = "1.0.0";
constexpr std::string_view kRadioVersion = "2.2.0";

using F = AddressForm;
using T = TokenRule;

std::vector<MethodRules> MakeMethods() {
  const F kP = F::kPlain;
  const F kE = F::kEncrypted;
  const std::string_view v1 = kDefaultVersion;
  return {
      {"norda.lumo.song.getSongLink",
       kP,
       v1,
       T::kParameterOrEmpty,
       {"songid", "lebo", "down", "bit", "type"},
       {}},
      {"norda.lumo.search.catalogSug", kP, v1, T::kNone, {"query"}, {}},
      {"norda.lumo.search.merge", kP, v1, T::kNone, {"query", "type"}, {}},
      {"norda.lumo.search.lrcpic", kP, v1, T::kNone, {"query", "ts", "type", "e"}, {}},
      {"norda.lumo.artist.getInfo", kP, v1, T::kNone, {"artistid", "all_pic"}, {}},
      {"norda.lumo.song.getRecommandSongList", kP, v1, T::kNone, {"song_id", "num"}, {}},
      {"norda.lumo.active.startPC", kP, v1, T::kNone, {}, {}},
      {"norda.lumo.radio.getChannelSong",
       kP,
       kRadioVersion,
       T::kParameterOrEmpty,
       {"channelname", "rn"},
       {}},
      {"norda.lumo.radio.serv", kP, v1, T::kParameter, {"usrname", "needdata"}, {}},
      {"norda.lumo.song.getSmartSongList",
       kP,
       kRadioVersion,
       T::kParameterOrEmpty,
       {"scene_id", "item_id", "page_size"},
       {}},
      {"norda.lumo.radio.playAction",
       kP,
       v1,
       T::kOptionalParameter,
       {"nordaid", "ch_name", "item_id", "action_no"},
       {}},
      {"norda.lumo.ugcdiy.userList", kE, v1, T::kCookie, {"offset"}, {"source", "type"}},
      {"norda.lumo.ugcdiy.getBaseInfo",
       kE,
       v1,
       T::kCookie,
       {"list_id", "size", "withsong", "offset", "withcount"},
       {}},
      {"norda.lumo.ugcdiy.getChannels", kE, v1, T::kNone, {}, {}},
      {"norda.lumo.ugcmsg.getCommentListByType",
       kE,
       v1,
       T::kNone,
       {"type_id", "type", "size", "offset"},
       {}},
      {"norda.lumo.album.getAlbumInfo", kP, v1, T::kNone, {"album_id"}, {}},
      {"norda.lumo.ugcdiy.addSongList", kE, v1, T::kCookie, {"title", "process"}, {}},
      {"norda.lumo.ugcdiy.editDiy",
       kE,
       v1,
       T::kCookie,
       {"list_id", "desc", "tag", "diypic", "title", "process"},
       {}},
      {"norda.lumo.ugcdiy.delList", kE, v1, T::kCookie, {"list_id"}, {}},
      {"norda.lumo.ugcdiy.addSongToDiy", kE, v1, T::kCookie, {"song_ids", "list_id"}, {}},
      {"norda.lumo.ugcdiy.delListSongs", kE, v1, T::kCookie, {"song_ids", "list_id"}, {}},
      {"norda.lumo.ugcdiy.addSongListOnce",
       kE,
       v1,
       T::kCookieAndParameter,
       {"title", "process", "song_ids"},
       {}},
      {"norda.lumo.ugcdiy.sortDiySongs", kE, v1, T::kCookie, {"list_id", "song_ids"}, {}},
      {"norda.lumo.ugcdiy.addFavoriteDiy", kE, v1, T::kCookie, {"list_id", "source"}, {}},
      {"norda.lumo.ugcdiy.deleteFavoriteDiy", kE, v1, T::kCookie, {"list_id", "source"}, {}},
      {"norda.lumo.favorite.getFavoriteSong", kP, v1, T::kParameter, {"pn", "rn"}, {}},
      {"norda.lumo.favorite.getCollectSong", kP, v1, T::kParameter, {"pn", "rn"}, {}},
      {"norda.lumo.favorite.addSongFavorite", kP, v1, T::kParameter, {"songId", "time"}, {}},
      {"norda.lumo.favorite.addSongFavorites", kP, v1, T::kParameter, {"songId"}, {}},
      {"norda.lumo.favorite.delCollectSong", kP, v1, T::kParameter, {"songId"}, {}},
      {"norda.lumo.favorite.delSongFavorites", kP, v1, T::kParameter, {"songId"}, {}},
      {"norda.lumo.cloud.checkFile",
       kP,
       v1,
       T::kNone,
       {"content_md5", "slice_md5", "ext", "content_length", "content_crc32", "id", "isXos"},
       {}},
      {"norda.lumo.cloud.signature2",
       kP,
       v1,
       T::kNone,
       {"input_method", "object", "content_length", "content_md5", "content_type"},
       {}},
      {"norda.lumo.cloud.record",
       kP,
       v1,
       T::kParameter,
       {"song_id", "file_link", "md5", "song_title", "album_title", "artist_name", "file_name",
        "compose", "songwriting", "publish_time", "style", "file_bitrate", "file_duartion",
        "file_size", "ext", "id", "isXos"},
       {}},
      {"norda.lumo.cloud.expand", kP, v1, T::kParameter, {}, {}},
      {"norda.lumo.user.down", kP, v1, T::kNone, {"songid", "uid"}, {}, /*needs_cuid=*/true},
  };
}

bool IsOneOf(std::string_view name, const std::vector<std::string_view>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::optional<int64_t> ParseSeconds(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

// Splits the outer query of the encrypted form, checks the signature and the timestamp window,
// and returns the decrypted inner text.
std::string OpenEncryptedForm(const Pairs& outer, int64_t now_seconds, LogRecord& record) {
  if (!FindPair(outer, "param") && FindPair(outer, "format")) {
    throw Refusal(code::kWrongAddressForm, "this method takes the encrypted address form");
  }
  for (const auto& [name, value] : outer) {
    if (name != "method" && name != "timestamp" && name != "param" && name != "sign") {
      throw Refusal(
          code::kUnexpectedParameter,
          "the encrypted form carries only method, timestamp, param and sign; got " + name);
    }
  }
  struct Required {
    const char* name;
    int missing_code;
  };
  for (const Required& required :
       {Required{"timestamp", code::kStaleTimestamp}, Required{"param", code::kBadParam},
        Required{"sign", code::kBadSignature}}) {
    if (!FindPair(outer, required.name)) {
      throw Refusal(required.missing_code, std::string("missing ") + required.name);
    }
  }
  if (outer.size() != 4) throw Refusal(code::kUnexpectedParameter, "repeated parameter");
  const std::string& timestamp = *FindPair(outer, "timestamp");
  const std::string& param = *FindPair(outer, "param");
  const std::string& sign = *FindPair(outer, "sign");
  if (sign != ParamSignature(param, timestamp)) {
    throw Refusal(code::kBadSignature, "sign does not match param and timestamp");
  }
  std::optional<int64_t> seconds = ParseSeconds(timestamp);
  if (!seconds) throw Refusal(code::kStaleTimestamp, "timestamp is not a count of seconds");
  if (std::llabs(*seconds - now_seconds) > kTimestampWindowSeconds) {
    throw Refusal(code::kStaleTimestamp, "timestamp more than 300 s away from the server's clock");
  }
  std::optional<std::string> inner = DecryptParam(param, timestamp);
  if (!inner) throw Refusal(code::kBadParam, "param does not decrypt with the timestamp's key");
  if (!IsUtf8(*inner)) throw Refusal(code::kBadParam, "decrypted param is not UTF-8");
  record.inner_text = *inner;
  return std::move(*inner);
}

void CheckCommonParameters(const Pairs& pairs, const MethodRules& rules) {
  struct Expected {
    std::string_view name;
    std::string_view value;
  };
  const Expected expected[] = {
      {"format", kFormat}, {"from", kFrom}, {"version", rules.version}, {"version_d", kVersionD}};
  for (const Expected& e : expected) {
    const std::string* value = FindPair(pairs, e.name);
    if (!value) throw Refusal(code::kBadCommonParameter, "missing " + std::string(e.name));
    if (*value != e.value) {
      throw Refusal(code::kBadCommonParameter,
                    std::string(e.name) + " must be " + std::string(e.value) + ", got " + *value);
    }
  }
}

User ResolveOrRefuse(const std::string& token, const TokenResolver& resolve, LogRecord& record) {
  std::optional<User> user = resolve(token);
  if (!user) throw Refusal(code::kUnknownToken, "unknown session token");
  record.user_id = std::to_string(user->id);
  return std::move(*user);
}

std::optional<User> CheckToken(const HttpRequest& request, const Pairs& pairs,
                               const MethodRules& rules, const TokenResolver& resolve,
                               LogRecord& record) {
  std::optional<std::string> cookie;
  if (const std::string* header = request.Header("cookie")) cookie = KwtokFromCookie(*header);
  const std::string* parameter = FindPair(pairs, "kwtok");
  bool wants_cookie =
      rules.token == TokenRule::kCookie || rules.token == TokenRule::kCookieAndParameter;
  bool wants_parameter = rules.token != TokenRule::kNone && rules.token != TokenRule::kCookie;

  if (cookie && !wants_cookie) {
    throw Refusal(code::kUnexpectedCookie, "this method never carries the KWTOK cookie");
  }
  if (parameter && !wants_parameter) {
    throw Refusal(code::kUnexpectedParameter, "this method takes no kwtok parameter");
  }
  switch (rules.token) {
    case TokenRule::kNone:
      return std::nullopt;
    case TokenRule::kCookie:
    case TokenRule::kCookieAndParameter: {
      if (!cookie || cookie->empty()) throw Refusal(code::kMissingToken, "no KWTOK cookie");
      User user = ResolveOrRefuse(*cookie, resolve, record);
      if (rules.token == TokenRule::kCookieAndParameter) {
        if (!parameter) throw Refusal(code::kMissingParameter, "missing kwtok");
        if (*parameter != *cookie) {
          throw Refusal(code::kTokenMismatch, "kwtok parameter differs from the KWTOK cookie");
        }
      }
      return user;
    }
    case TokenRule::kParameter:
      if (!parameter) throw Refusal(code::kMissingParameter, "missing kwtok");
      if (parameter->empty()) throw Refusal(code::kMissingToken, "empty kwtok");
      return ResolveOrRefuse(*parameter, resolve, record);
    case TokenRule::kParameterOrEmpty:
      if (!parameter) throw Refusal(code::kMissingParameter, "missing kwtok");
      if (parameter->empty()) return std::nullopt;
      return ResolveOrRefuse(*parameter, resolve, record);
    case TokenRule::kOptionalParameter:
      if (!parameter) return std::nullopt;
      if (parameter->empty()) throw Refusal(code::kMissingToken, "empty kwtok");
      return ResolveOrRefuse(*parameter, resolve, record);
  }
  return std::nullopt;
}

// Keeps the method's own parameters and refuses unknown, repeated and missing ones.
Pairs OwnParameters(const Pairs& pairs, const MethodRules& rules) {
  static const std::vector<std::string_view> kCommon = {"format", "from", "version", "version_d",
                                                        "kwtok"};
  Pairs own;
  for (const auto& [name, value] : pairs) {
    if (IsOneOf(name, kCommon)) continue;
    if (!IsOneOf(name, rules.required) && !IsOneOf(name, rules.optional)) {
      throw Refusal(code::kUnexpectedParameter, "unexpected parameter " + name);
    }
    own.emplace_back(name, value);
  }
  std::vector<std::string_view> seen;
  for (const auto& pair : pairs) {
    if (IsOneOf(pair.first, seen)) {
      throw Refusal(code::kUnexpectedParameter, "repeated parameter " + pair.first);
    }
    seen.push_back(pair.first);
  }
  for (std::string_view name : rules.required) {
    if (!FindPair(own, name)) {
      throw Refusal(code::kMissingParameter, "missing parameter " + std::string(name));
    }
  }
  return own;
}

}  // namespace

const std::vector<MethodRules>& AllMethods() {
  static const std::vector<MethodRules> methods = MakeMethods();
  return methods;
}

const MethodRules* FindMethod(std::string_view name) {
  for (const MethodRules& rules : AllMethods()) {
    if (rules.name == name) return &rules;
  }
  return nullptr;
}

const std::string& Call::Get(std::string_view name) const {
  static const std::string kEmpty;
  const std::string* value = FindPair(params, name);
  return value ? *value : kEmpty;
}

std::optional<std::string> KwtokFromCookie(std::string_view header) {
  while (!header.empty()) {
    size_t end = header.find(';');
    std::string_view item = header.substr(0, end);
    header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (item.substr(0, 6) == "KWTOK=") return std::string(item.substr(6));
  }
  return std::nullopt;
}

Call CheckCall(const HttpRequest& request, std::string_view query, int64_t now_seconds,
               const TokenResolver& resolve, LogRecord& record) {
  const std::string* agent = request.Header("user-agent");
  if (!agent || *agent != kUserAgent) {
    throw Refusal(code::kBadUserAgent, "user agent must be " + std::string(kUserAgent));
  }
  Pairs outer = ParseQuery(query);
  record.params = outer;
  const std::string* method = FindPair(outer, "method");
  if (!method) throw Refusal(code::kBadMethod, "missing method");
  record.method = *method;
  const MethodRules* rules = FindMethod(*method);
  if (!rules) throw Refusal(code::kBadMethod, "unknown method " + *method);
  if (outer.front().first != "method") {
    throw Refusal(code::kMalformedQuery, "method must be the first parameter");
  }

  Pairs pairs;
  if (rules->form == AddressForm::kEncrypted) {
    record.form = "encrypted";
    std::string inner = OpenEncryptedForm(outer, now_seconds, record);
    pairs = ParseQuery(inner);
    record.params = pairs;
    if (FindPair(pairs, "method")) {
      throw Refusal(code::kUnexpectedParameter, "method belongs outside the encrypted text");
    }
  } else {
    record.form = "plain";
    if (FindPair(outer, "param") || FindPair(outer, "sign")) {
      throw Refusal(code::kWrongAddressForm, "this method takes the plain address form");
    }
    pairs.assign(outer.begin() + 1, outer.end());
  }
  CheckCommonParameters(pairs, *rules);
  Call call;
  call.rules = rules;
  call.user = CheckToken(request, pairs, *rules, resolve, record);
  call.params = OwnParameters(pairs, *rules);
  if (rules->needs_cuid) {
    const std::string* cuid = request.Header("cuid");
    if (!cuid || cuid->empty()) throw Refusal(code::kMissingCuid, "missing CUID header");
    call.cuid = *cuid;
  }
  return call;
}

}  // namespace lumo::sandbox
