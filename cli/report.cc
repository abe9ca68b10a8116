#include "report.h"

#include <algorithm>
#include <cinttypes>
#include <ctime>
#include <iostream>
#include <sstream>
#include <utility>

#include "base/string_utils.h"
#include "lumoapi/request_base.h"
#include "platform.h"
#include "service_codes.h"

namespace lumo::cli {
namespace {

using web::json::value;

// The text form of a table cell; a list of texts shows them joined by ", ".
std::string CellText(const value& cell) {
  if (cell.is_string()) return Printable(Utf8(cell.as_string()));
  if (cell.is_boolean()) return cell.as_bool() ? "yes" : "no";
  if (cell.is_null()) return std::string();
  if (cell.is_array()) {
    std::string text;
    for (const value& element : cell.as_array()) {
      text += (text.empty() ? "" : ", ") + CellText(element);
    }
    return text;
  }
  return Serialized(cell);
}

// The header row (the column names), then one row per record.
std::vector<std::vector<std::string>> TableRows(const value& records,
                                                const std::vector<std::string>& columns) {
  std::vector<std::vector<std::string>> rows = {columns};
  for (size_t i = 0; i < records.size(); ++i) {
    const value& record = records.at(i);
    std::vector<std::string> row;
    bool blank = true;
    for (const std::string& column : columns) {
      const utility::string_t name = JsonString(column);
      row.push_back(record.has_field(name) ? CellText(record.at(name)) : std::string());
      blank = blank && row.back().empty();
    }
    if (!blank) rows.push_back(std::move(row));
  }
  return rows;
}

// Short items (ids) side by side in lines of about 100 cells; longer ones (addresses) one per
// line.
std::string ListText(const value& list, const std::string& indent) {
  constexpr size_t kShortItem = 12;
  constexpr size_t kLineCells = 100;
  std::vector<std::string> items;
  bool all_short = true;
  for (size_t i = 0; i < list.size(); ++i) {
    items.push_back(CellText(list.at(i)));
    all_short = all_short && DisplayWidth(items.back()) <= kShortItem;
  }
  std::string out;
  std::string line;
  for (const std::string& item : items) {
    if (!line.empty() && (!all_short || DisplayWidth(line) + item.size() > kLineCells)) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? indent : "  ") + item;
  }
  return out + line + "\n";
}

}  // namespace

value OrderedObject() { return value::object(/*keep_order=*/true); }

utility::string_t JsonString(const std::string& utf8) {
  return utility::conversions::to_string_t(utf8);
}

std::string Utf8(const utility::string_t& text) {
  return utility::conversions::to_utf8string(text);
}

std::string Serialized(const value& json) { return Utf8(json.serialize()); }

value JsonText(const std::string& text) { return value::string(JsonString(text)); }

value JsonText(const std::wstring& text) { return JsonText(base::string_utils::ToUtf8(text)); }

void PrintReport(const Report& report, bool json) {
  if (json) {
    std::cout << Serialized(report.ToJson()) << "\n";
  } else {
    const std::string text = report.ToText();
    std::cout << (text.empty() ? "no matches\n" : text);
  }
  std::cout.flush();
}

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    char escape[8];
    if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // A C1 control in UTF-8 (U+0080 to U+009F; U+009B starts a terminal sequence).
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(text[++i]));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string ReadableBytes(uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  double amount = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (amount >= 1024 && unit + 1 < std::size(kUnits)) {
    amount /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, amount < 10 ? "%.1f %s" : "%.0f %s", amount, kUnits[unit]);
  return text;
}

std::string ReadableDuration(int64_t seconds) {
  if (seconds < 0) return std::to_string(seconds) + " s";
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d", seconds / 3600,
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%" PRId64 ":%02d", seconds / 60,
                  static_cast<int>(seconds % 60));
  }
  return text;
}

std::string ReadableTime(int64_t seconds_since_epoch) {
  const std::time_t time = static_cast<std::time_t>(seconds_since_epoch);
  std::tm local{};
  char text[32];
  if (!localtime_r(&time, &local) ||
      !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local)) {
    return std::to_string(seconds_since_epoch);
  }
  return text;
}

size_t DisplayWidth(const std::string& text) {
  const std::wstring wide = base::string_utils::ToUtf16(text);
  size_t width = 0;
  for (size_t i = 0; i < wide.size(); ++i) {
    auto c = static_cast<char32_t>(wide[i]);
    // A 16-bit wchar_t holds a character beyond the first plane as a surrogate pair.
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(wide[++i]) - 0xDC00);
    }
    width += static_cast<size_t>(CharacterCells(c));
  }
  return width;
}

std::string FormatTable(const std::vector<std::vector<std::string>>& rows,
                        const std::string& indent) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line = indent;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - DisplayWidth(row[i]) + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
  }
  return out;
}

Report::Report() : json_(OrderedObject()) {}

Report& Report::Scalar(const std::string& key, value json, std::string text) {
  const bool is_default =
      (json.is_number() && json.as_double() == 0) || (json.is_boolean() && !json.as_bool());
  json_[JsonString(key)] = std::move(json);
  entries_.push_back({Kind::kScalar, key, {}, std::move(text), {}, nullptr, is_default});
  return *this;
}

Report& Report::Label(const std::string& label) {
  if (!entries_.empty() && entries_.back().kind == Kind::kScalar) entries_.back().label = label;
  return *this;
}

Report& Report::Said(const std::string& key, value json, std::string words) {
  return Scalar(key, std::move(json), std::move(words));
}

Report& Report::OmitDefaultsInText() {
  omit_defaults_ = true;
  return *this;
}

Report& Report::Text(const std::string& key, const std::wstring& text) {
  return Text(key, base::string_utils::ToUtf8(text));
}

Report& Report::Text(const std::string& key, const std::string& text) {
  return Scalar(key, JsonText(text), text);
}

Report& Report::Int(const std::string& key, int64_t number) {
  return Scalar(key, value::number(number), std::to_string(number));
}

Report& Report::UInt(const std::string& key, uint64_t number) {
  return Scalar(key, value::number(number), std::to_string(number));
}

Report& Report::Real(const std::string& key, double number) {
  std::ostringstream text;
  text << number;
  return Scalar(key, value::number(number), text.str());
}

Report& Report::Flag(const std::string& key, bool flag) {
  return Scalar(key, value::boolean(flag), flag ? "yes" : "no");
}

Report& Report::Bytes(const std::string& key, uint64_t bytes) {
  return Scalar(key, value::number(bytes), ReadableBytes(bytes));
}

Report& Report::Seconds(const std::string& key, int64_t seconds) {
  return Scalar(key, value::number(seconds), ReadableDuration(seconds));
}

Report& Report::Kbps(const std::string& key, int64_t kbit_per_second) {
  return Scalar(key, value::number(kbit_per_second), std::to_string(kbit_per_second) + " kbit/s");
}

Report& Report::Time(const std::string& key, int64_t seconds_since_epoch) {
  return Scalar(key, value::number(seconds_since_epoch), ReadableTime(seconds_since_epoch));
}

Report& Report::TimeText(const std::string& key, const std::wstring& seconds_since_epoch) {
  const std::string text = base::string_utils::ToUtf8(seconds_since_epoch);
  const bool numeric =
      !text.empty() && text.size() <= 18 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  return Scalar(key, JsonText(text), numeric ? ReadableTime(std::stoll(text)) : text);
}

Report& Report::Outcome(const lumoapi::RequestBase& request) {
  return Outcome(request.status, request.succeeded);
}

Report& Report::Outcome(int32_t status, bool succeeded) {
  std::string text;
  if (status != kSuccessCode) {
    text = std::to_string(status);
    std::string meaning = ServiceCodeMeaning(status);
    if (!meaning.empty()) text += " (" + meaning + ")";
  }
  Scalar("status", value::number(status), text);
  json_[U("succeeded")] = value::boolean(succeeded);
  entries_.push_back({Kind::kHidden, "succeeded", {}, {}, {}, nullptr, false});
  return *this;
}

Report& Report::JsonOnly(const std::string& key, value json) {
  json_[JsonString(key)] = std::move(json);
  entries_.push_back({Kind::kHidden, key, {}, {}, {}, nullptr, false});
  return *this;
}

Report& Report::List(const std::string& key, const std::vector<std::wstring>& texts) {
  value list = value::array(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    list[i] = JsonText(texts[i]);
  }
  json_[JsonString(key)] = std::move(list);
  entries_.push_back({Kind::kList, key, {}, {}, {}, nullptr, false});
  return *this;
}

Report& Report::Table(const std::string& key, value rows, std::vector<std::string> columns) {
  json_[JsonString(key)] = std::move(rows);
  entries_.push_back({Kind::kTable, key, {}, {}, std::move(columns), nullptr, false});
  return *this;
}

Report& Report::Section(const std::string& key, const Report& section) {
  json_[JsonString(key)] = section.ToJson();
  entries_.push_back({Kind::kSection, key, {}, {}, {}, std::make_shared<Report>(section), false});
  return *this;
}

value Report::ToJson() const { return json_; }

std::string Report::ToText() const {
  std::string out;
  AppendText("", out);
  return out;
}

void Report::AppendText(const std::string& indent, std::string& out) const {
  const std::string inner = indent + "  ";
  std::vector<std::vector<std::string>> pairs;
  bool after_block = false;
  auto flush_pairs = [&] {
    if (pairs.empty()) return;
    if (after_block) out += "\n";
    out += FormatTable(pairs, indent);
    pairs.clear();
  };
  auto open_block = [&](const std::string& title) {
    flush_pairs();
    if (!out.empty()) out += "\n";
    out += indent + title + "\n";
    after_block = true;
  };
  for (const Entry& entry : entries_) {
    const value& json = json_.at(JsonString(entry.key));
    switch (entry.kind) {
      case Kind::kScalar:
        if (!entry.text.empty() && !(omit_defaults_ && entry.is_default)) {
          pairs.push_back({entry.label.empty() ? entry.key : entry.label, Printable(entry.text)});
        }
        break;
      case Kind::kHidden:
        break;
      case Kind::kList:
        if (json.size() == 0) break;
        open_block(entry.key + " (" + std::to_string(json.size()) + "):");
        out += ListText(json, inner);
        break;
      case Kind::kTable: {
        const auto rows = TableRows(json, entry.columns);
        if (rows.size() <= 1) break;
        open_block(entry.key + " (" + std::to_string(rows.size() - 1) + "):");
        out += FormatTable(rows, inner);
        break;
      }
      case Kind::kSection: {
        std::string section;
        entry.section->AppendText(inner, section);
        if (section.empty()) break;
        open_block(entry.key + ":");
        out += section;
        break;
      }
    }
  }
  flush_pairs();
}

}  // namespace lumo::cli
