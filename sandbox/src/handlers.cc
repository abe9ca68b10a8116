#include "handlers.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "refusal.h"
#include "store.h"

namespace lumo::sandbox {
namespace {

[[noreturn]] void Invalid(std::string_view name, std::string_view why) {
  throw Refusal(code::kInvalidValue, std::string(name) + ": " + std::string(why));
}

// Signed decimal without a plus sign or leading zeros.
std::optional<int64_t> ParseInt(std::string_view text) {
  std::string_view digits = text.substr(!text.empty() && text[0] == '-' ? 1 : 0);
  if (digits.empty() || (digits.size() > 1 && digits[0] == '0') || text == "-0") {
    return std::nullopt;
  }
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool IsUnreserved(unsigned char c) {
  return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

}  // namespace

Router::Router() {
  AddCatalogueHandlers(*this);
  AddRadioHandlers(*this);
  AddListHandlers(*this);
  AddFavoriteHandlers(*this);
  AddCloudHandlers(*this);
}

Handler Router::Find(std::string_view method) const {
  auto found = handlers_.find(method);
  return found == handlers_.end() ? nullptr : found->second;
}

int64_t IntParam(const Call& call, std::string_view name, int64_t min, int64_t max) {
  std::optional<int64_t> value = ParseInt(call.Get(name));
  if (!value) Invalid(name, "not a decimal integer");
  if (*value < min || *value > max) {
    Invalid(name, "out of range " + std::to_string(min) + ".." + std::to_string(max));
  }
  return *value;
}

int64_t IdParam(const Call& call, std::string_view name) {
  const std::string& text = call.Get(name);
  if (text.empty() || text.size() > 18 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    Invalid(name, "not an id");
  }
  return std::stoll(text);
}

std::vector<int64_t> IdListParam(const Call& call, std::string_view name, bool allow_empty) {
  const std::string& text = call.Get(name);
  std::vector<int64_t> ids;
  if (text.empty()) {
    if (!allow_empty) Invalid(name, "empty id list");
    return ids;
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string_view item(text.data() + start, end - start);
    if (item.empty() || item.size() > 18 ||
        !std::all_of(item.begin(), item.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      Invalid(name, "ids are digits joined by ','");
    }
    ids.push_back(std::stoll(std::string(item)));
    start = end + 1;
  }
  return ids;
}

const std::string& ChoiceParam(const Call& call, std::string_view name,
                               std::initializer_list<std::string_view> choices) {
  const std::string& value = call.Get(name);
  if (std::find(choices.begin(), choices.end(), value) == choices.end()) {
    std::string allowed;
    for (std::string_view choice : choices)
      allowed += (allowed.empty() ? "" : "|") + std::string(choice);
    Invalid(name, "must be " + allowed + ", got '" + value + "'");
  }
  return value;
}

std::string DataStringParam(const Call& call, std::string_view name) {
  const std::string& encoded = call.Get(name);
  for (size_t i = 0; i < encoded.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(encoded[i]);
    if (c == '%') {
      if (i + 2 >= encoded.size() || !std::isxdigit(static_cast<unsigned char>(encoded[i + 1])) ||
          !std::isxdigit(static_cast<unsigned char>(encoded[i + 2]))) {
        Invalid(name, "bad percent escape");
      }
      i += 2;
    } else if (!IsUnreserved(c)) {
      Invalid(name,
              "must arrive percent-encoded (found a raw '" + std::string(1, encoded[i]) + "')");
    }
  }
  std::optional<std::string> plain = PercentDecode(encoded);
  if (!plain || !IsUtf8(*plain)) Invalid(name, "not UTF-8 once decoded");
  return *plain;
}

std::string Md5Param(const Call& call, std::string_view name) {
  std::string value = call.Get(name);
  if (value.size() != 32 || !std::all_of(value.begin(), value.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    Invalid(name, "not 32 hexadecimal digits");
  }
  std::transform(value.begin(), value.end(), value.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  return value;
}

Json Answer(int error_code) {
  Json answer = Json::object();
  answer[U("error_code")] = Json::number(error_code);
  return answer;
}

Json ResultAnswer(Json result, int error_code) {
  Json answer = Answer(error_code);
  answer[U("result")] = std::move(result);
  return answer;
}

utility::string_t JsonString(std::string_view utf8) {
  return utility::conversions::to_string_t(std::string(utf8));
}

std::string Utf8(const utility::string_t& text) {
  return utility::conversions::to_utf8string(text);
}

std::string Serialized(const Json& value) { return Utf8(value.serialize()); }

Json Text(std::string_view text) { return Json::string(JsonString(text)); }

Json Number(int64_t value) { return Json::number(value); }

Json IdText(int64_t id) { return Text(std::to_string(id)); }

Json RowsToArray(Query& rows, std::initializer_list<Field> fields) {
  Json array = Json::array();
  size_t n = 0;
  while (rows.Next()) {
    Json item = Json::object();
    for (const Field& field : fields) {
      switch (field.as) {
        case As::kId:
          item[JsonString(field.key)] = IdText(rows.Int(field.column));
          break;
        case As::kText:
          item[JsonString(field.key)] = Text(rows.Text(field.column));
          break;
        case As::kNumber:
          item[JsonString(field.key)] = Number(rows.Int(field.column));
          break;
      }
    }
    array[n++] = item;
  }
  return array;
}

std::string FirstId(const std::string& ids) { return ids.substr(0, ids.find(',')); }

}  // namespace lumo::sandbox
