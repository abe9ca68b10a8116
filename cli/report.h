// What a command prints about a result, described once and rendered two ways: as one JSON object
// (--json) or as aligned text for a person. Commands build a Report from a request's result
// members; nothing else in the tool formats output.
#ifndef LUMO_CLI_REPORT_H_
#define LUMO_CLI_REPORT_H_

#include <cpprest/json.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace lumoapi {
class RequestBase;
}

namespace lumo::cli {

// Thread-compatible.
class Report {
 public:
  Report();

  // Scalars: one line each of the text form's key/value table. Empty texts are left out of the
  // text form (they stay in the JSON).
  Report& Text(const std::string& key, const std::wstring& value);
  Report& Text(const std::string& key, const std::string& value);
  Report& Int(const std::string& key, int64_t value);
  Report& UInt(const std::string& key, uint64_t value);
  Report& Real(const std::string& key, double value);
  Report& Flag(const std::string& key, bool value);
  // Numbers with a unit: JSON keeps the number, the text form shows it for a person.
  Report& Bytes(const std::string& key, uint64_t bytes);              // "3.4 MiB"
  Report& Seconds(const std::string& key, int64_t seconds);           // "3:07"
  Report& Kbps(const std::string& key, int64_t kbit_per_second);      // "320 kbit/s"
  Report& Time(const std::string& key, int64_t seconds_since_epoch);  // "2026-12-07 09:30:00"
  // A time the service sends as a decimal text: JSON keeps the text, the text form shows the
  // local date and time (or the text as it is, when it is no number).
  Report& TimeText(const std::string& key, const std::wstring& seconds_since_epoch);
  // A value that the text form says in words.
  Report& Said(const std::string& key, web::json::value value, std::string words);

  // The text form's label for the scalar added last, where the service's name does not say what
  // the value is ("listnum"); JSON keeps the service's name.
  Report& Label(const std::string& label);

  // The outcome of a request: "status" and "succeeded" in JSON; in the text form a status line
  // only when the code is not plain success, with its meaning.
  Report& Outcome(const lumoapi::RequestBase& request);
  Report& Outcome(int32_t status, bool succeeded);

  // A list of texts, one per line under its own heading in the text form. The text form leaves
  // out empty lists and tables, and rows whose shown cells are all empty.
  Report& List(const std::string& key, const std::vector<std::wstring>& values);

  // Records (JSON objects), shown in the text form as a table under its own heading with only
  // `columns`; JSON keeps every member.
  Report& Table(const std::string& key, web::json::value rows, std::vector<std::string> columns);

  // A member of the JSON form that the text form does not show (it shows the same facts
  // another way).
  Report& JsonOnly(const std::string& key, web::json::value value);

  // Leaves zero numbers and "no" flags out of the text form too (JSON keeps them), for results
  // where most fields do not apply.
  Report& OmitDefaultsInText();

  // A nested report under its own heading.
  Report& Section(const std::string& key, const Report& section);

  web::json::value ToJson() const;
  // Empty when there is nothing to show.
  std::string ToText() const;

 private:
  enum class Kind { kScalar, kHidden, kList, kTable, kSection };
  struct Entry {
    Kind kind;
    std::string key;
    std::string label;                 // kScalar: the text form's label, when not the key
    std::string text;                  // kScalar: the text form of the value
    std::vector<std::string> columns;  // kTable
    std::shared_ptr<const Report> section;
    bool is_default = false;  // kScalar: a zero number or a false flag
  };

  Report& Scalar(const std::string& key, web::json::value value, std::string text);
  void AppendText(const std::string& indent, std::string& out) const;

  web::json::value json_;
  std::vector<Entry> entries_;
  bool omit_defaults_ = false;
};

// Prints `report` on standard output, as JSON when `json` is set; a text form with nothing to
// show prints "no matches".
void PrintReport(const Report& report, bool json);

// A new JSON object that keeps its members in insertion order.
web::json::value OrderedObject();

// Rows aligned in columns separated by two blanks, each line starting with `indent`. Widths are
// measured as a terminal shows the text (a CJK character takes two cells).
std::string FormatTable(const std::vector<std::vector<std::string>>& rows,
                        const std::string& indent);

// Readable forms of numbers with units, as the text form shows them; times in the local zone.
std::string ReadableBytes(uint64_t bytes);
std::string ReadableDuration(int64_t seconds);
std::string ReadableTime(int64_t seconds_since_epoch);

// `text` safe to show on a terminal: control characters (C0, DEL and C1: escape sequences, CR
// and LF that would forge lines or retitle the window) are written as \n, \r, \t, \xNN or
// \u00NN. Everything else stays as it is.
std::string Printable(const std::string& text);

// The number of terminal cells the UTF-8 `text` takes.
size_t DisplayWidth(const std::string& text);

// The tool's text is UTF-8; the JSON library's strings are UTF-8 on Linux and UTF-16 on Windows.
// These convert at that boundary.
utility::string_t JsonString(const std::string& utf8);
std::string Utf8(const utility::string_t& text);
// The JSON text of `json`, in UTF-8.
std::string Serialized(const web::json::value& json);
// A JSON string of UTF-8 `text`, or of a wide string.
web::json::value JsonText(const std::string& text);
web::json::value JsonText(const std::wstring& text);

// Records whose members are all texts, as JSON rows for Report::Table: one object per item with
// the named fields.
template <class Item>
web::json::value TextRows(
    const std::vector<Item>& items,
    std::initializer_list<std::pair<const char*, std::wstring Item::*>> fields) {
  web::json::value rows = web::json::value::array(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    web::json::value row = OrderedObject();
    for (const auto& [name, field] : fields) row[JsonString(name)] = JsonText(items[i].*field);
    rows[i] = std::move(row);
  }
  return rows;
}

}  // namespace lumo::cli

#endif  // LUMO_CLI_REPORT_H_
