#include "lumoapi/song/get_song_link.h"

#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "json_access.h"
#include "query_builder.h"
#include "settings/language_settings.h"
#include "utilities/json.h"

namespace lumoapi::song {
namespace {

using SongUrlItem = GetSongLink::SongUrlItem;
using utilities::json::ToDouble;
using utilities::json::ToInt;
using utilities::json::ToString;

constexpr int32_t kMustBuyCode = 22469;
constexpr int32_t kRefusedCode = 24003;
constexpr int32_t kLosslessRate = 2;
constexpr int32_t kHighRate = 1;
constexpr long kHighRateKbps = 320;

// The number `token` starts with, read as the standard string-to-long conversion reads it
// (leading white space skipped, anything after the digits ignored); nothing when the token does
// not start with a number or the number does not fit in 32 bits.
std::optional<long> LeadingNumber(const std::wstring& token) {
  const wchar_t* begin = token.c_str();
  wchar_t* end = nullptr;
  errno = 0;
  const long value = std::wcstol(begin, &end, 10);
  if (end == begin || errno == ERANGE) return std::nullopt;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return value;
}

// Splits at commas, dropping the white space around each comma (a separator of the form
// `\s*,\s*`); white space at the very start or end stays with its token.
std::vector<std::wstring> SplitRates(const std::wstring& all_rate) {
  std::vector<std::wstring> tokens;
  size_t start = 0;
  for (;;) {
    const size_t comma = all_rate.find(L',', start);
    size_t end = comma == std::wstring::npos ? all_rate.size() : comma;
    if (comma != std::wstring::npos) {
      while (end > start && std::iswspace(all_rate[end - 1])) --end;
    }
    tokens.push_back(all_rate.substr(start, end - start));
    if (comma == std::wstring::npos) return tokens;
    start = comma + 1;
    while (start < all_rate.size() && std::iswspace(all_rate[start])) ++start;
  }
}

// The best quality offered by "all_rate", a comma-separated list of bit rates that may hold the
// token "flac". Lossless wins wherever it stands. Tokens that are not numbers are skipped, so that
// a new kind of token from the service cannot cost the user the whole link.
int32_t BestRate(const std::wstring& all_rate) {
  if (all_rate.empty()) return 0;
  const std::vector<std::wstring> tokens = SplitRates(all_rate);
  for (const std::wstring& token : tokens) {
    if (token == L"flac") return kLosslessRate;
  }
  for (const std::wstring& token : tokens) {
    const std::optional<long> kbps = LeadingNumber(token);
    if (kbps && *kbps >= kHighRateKbps) return kHighRate;
  }
  return 0;
}

// Resource types 0 and 1 are the service's own catalogue; anything else was found on the net.
std::wstring SongSourceLabel(int32_t resource_type) {
  const bool own_catalogue = resource_type == 0 || resource_type == 1;
  return settings::language::LanguageSettings::Instance().GetString(
      own_catalogue ? L"song_source_norda" : L"song_source_net");
}

void ReadFullAnswer(const web::json::value& result, SongUrlItem& item) {
  const web::json::value& songinfo = Member(result, "songinfo");
  if (!IsObject(songinfo)) return;
  const web::json::value& bitrate = Member(result, "bitrate");
  if (!IsArray(bitrate) || bitrate.size() == 0) return;

  // The file to play is the last entry; the ones before it are not read.
  const web::json::value file = bitrate.at(bitrate.size() - 1);
  item.file_duration = ToInt(Member(file, "file_duration"), 0);
  item.song_file_id = ToString(Member(file, "song_file_id"));
  item.file_link = ToString(Member(file, "file_link"));
  item.show_link = ToString(Member(file, "show_link"));
  item.file_extension = ToString(Member(file, "file_extension"));
  item.file_bitrate = ToInt(Member(file, "file_bitrate"), 0);
  item.file_size = ToInt(Member(file, "file_size"), 0);
  item.hash = ToString(Member(file, "hash"));
  item.xcode_expire = ToInt(Member(file, "xcode_expire"), 0);
  item.replay_gain = ToDouble(Member(file, "replay_gain"), 0.0);
  item.free = ToInt(Member(file, "free"), 1) != 0;

  item.song_id = ToString(Member(songinfo, "song_id"));
  item.title = ToString(Member(songinfo, "title"));
  item.author = ToString(Member(songinfo, "author"));
  item.album_title = ToString(Member(songinfo, "album_title"));
  item.album_id = ToString(Member(songinfo, "album_id"));
  item.pic_big = LargePicture(songinfo);
  item.pic_small = SmallPicture(songinfo);
  item.artist_id = ToString(Member(songinfo, "artist_id"));
  item.play_type = ToInt(Member(songinfo, "play_type"), 0);
  item.relate_status = ToInt(Member(songinfo, "relate_status"), 0) != 0;
  item.best_rate = BestRate(ToString(Member(songinfo, "all_rate")));
  item.lrclink = ToString(Member(songinfo, "lrclink"));
  item.song_source = SongSourceLabel(ToInt(Member(songinfo, "resource_type"), 0));

  // "0" is how the service says that the file has no identifier.
  if (item.song_file_id == L"0") item.song_file_id.clear();
}

void ReadBuyAnswer(const web::json::value& result, SongUrlItem& item) {
  item.song_id = ToString(Member(result, "song_id"));
  item.title = ToString(Member(result, "song_title"));
  item.author = ToString(Member(result, "author"));
  item.album_title = ToString(Member(result, "album_title"));
  item.pic_big = ToString(Member(result, "album_pic"));
  item.song_pic = ToString(Member(result, "song_pic"));
  item.publishtime = ToString(Member(result, "publishtime"));
  item.buy_url = ToString(Member(result, "buy_url"));
  item.resource_type_ext = ToInt(Member(result, "resource_type_ext"), 0);
}

}  // namespace

GetSongLink::GetSongLink(std::shared_ptr<utilities::SongInfo> song, bool down, std::wstring bit,
                         bool alt_type, std::wstring kwtok)
    : song(std::move(song)),
      down(down),
      bit(std::move(bit)),
      alt_type(alt_type),
      kwtok(std::move(kwtok)) {}

GetSongLink::~GetSongLink() { StopHttpRequest(); }

GetSongLink::SongUrlItem GetSongLink::GetSongInfo() const { return item; }

std::wstring GetSongLink::GetMethodName() { return L"norda.lumo.song.getSongLink"; }

std::wstring GetSongLink::BuildParams() {
  if (!song) throw std::invalid_argument("song link requested without a song");
  // Without an identifier the service looks the song up by title and artist.
  std::wstring songid = song->song_id;
  if (songid.empty()) {
    songid = song->author.empty() ? song->title : song->title + L"$$" + song->author;
  }
  QueryBuilder builder;
  AppendPair(builder, L"songid", songid);
  AppendPair(builder, L"lebo", song->lebo ? 1 : 0);
  AppendPair(builder, L"down", down ? 1 : 0);
  AppendPair(builder, L"bit", bit);
  AppendPair(builder, L"type", alt_type ? 2 : 1);
  AppendPair(builder, L"kwtok", kwtok);
  return QueryText(builder);
}

void GetSongLink::ParseResult(web::json::value& answer) {
  const web::json::value& result = Member(answer, "result");
  if (!IsObject(result)) return;
  switch (ToInt(Member(answer, "error_code"), 22000)) {
    case kMustBuyCode:
      ReadBuyAnswer(result, item);
      break;
    case kRefusedCode:
      item.tips = ToString(Member(result, "tips"));
      break;
    default:
      ReadFullAnswer(result, item);
      break;
  }
}

}  // namespace lumoapi::song
