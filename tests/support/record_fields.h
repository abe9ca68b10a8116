// Comparing a record that a reader made with the fields a test expects, field by field, by name.
//
// One row per reader (classes that share a reader share its row). The row's answer gives every key
// a value of its own, so that a reader that swaps two fields, copies one into another or drops one
// fails on that field by name. A field that a row does not name must keep the value of a record
// made by default; a request that holds its results itself has no such record, so its row names
// every member. A test lists each record's fields with LUMO_FIELDS_OF, in this namespace.
#ifndef LUMO_TESTS_SUPPORT_RECORD_FIELDS_H_
#define LUMO_TESTS_SUPPORT_RECORD_FIELDS_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace lumo::testing {

// The text a field is compared by: numbers in decimal, flags as "true" or "false".
template <class T>
std::wstring Text(const T& value) {
  if constexpr (std::is_same_v<T, std::wstring>) {
    return value;
  } else if constexpr (std::is_same_v<T, bool>) {
    return value ? L"true" : L"false";
  } else {
    std::wostringstream text;
    text << value;
    return text.str();
  }
}

template <class Item>
struct FieldOf {
  const char* name;
  std::function<std::wstring(const Item&)> text;
};

template <class Item>
using FieldList = std::vector<FieldOf<Item>>;

template <class Item, class T>
FieldOf<Item> Field(const char* name, T Item::*member) {
  return {name, [member](const Item& item) { return Text(item.*member); }};
}

// Converts to any member type: the longest brace list an aggregate accepts is its member count,
// which the field list of an aggregate must match.
struct AnyMember {
  template <class T>
  operator T() const;
};

template <class Item, class Indices, class = void>
struct TakesInitializers : std::false_type {};
template <class Item, size_t... I>
struct TakesInitializers<Item, std::index_sequence<I...>,
                         std::void_t<decltype(Item{(static_cast<void>(I), AnyMember{})...})>>
    : std::true_type {};

template <class Item, size_t N = 0>
constexpr size_t MemberCount() {
  if constexpr (TakesInitializers<Item, std::make_index_sequence<N + 1>>::value) {
    return MemberCount<Item, N + 1>();
  } else {
    return N;
  }
}

// The fields of each record, in the record's order.
template <class Item>
FieldList<Item> FieldsOf();

// The field's name is the member's, so that a list cannot pair a name with another member.
#define LUMO_FIELD(member) Field(#member, &Item::member)
#define LUMO_FIELDS_OF(Record, ...)      \
  template <>                            \
  FieldList<Record> FieldsOf<Record>() { \
    using Item = Record;                 \
    return {__VA_ARGS__};                \
  }

// A field's name, its value, and what it holds when nothing is read (unset for a request).
struct FieldText {
  std::string name;
  std::wstring value;
  std::optional<std::wstring> unread;
};
using Fields = std::vector<FieldText>;

template <class Item>
Fields Describe(const Item& item) {
  const FieldList<Item> fields = FieldsOf<Item>();
  if constexpr (std::is_aggregate_v<Item>) {
    if (fields.size() != MemberCount<Item>()) {
      ADD_FAILURE() << "the field list of " << typeid(Item).name() << " misses a member";
      return Fields();
    }
  }
  Fields texts;
  for (const FieldOf<Item>& field : fields) {
    std::optional<std::wstring> unread;
    if constexpr (std::is_default_constructible_v<Item>) unread = field.text(Item());
    texts.push_back({field.name, field.text(item), unread});
  }
  return texts;
}

// The only record of `records`; nothing when there is none or more than one.
template <class Item>
Fields TheOne(const std::vector<Item>& records) {
  return records.size() == 1 ? Describe(records[0]) : Fields();
}

// An expected field: its name and its value.
inline std::pair<std::string, std::wstring> Is(const char* name, std::wstring value) {
  return {name, std::move(value)};
}
template <class T, class = std::enable_if_t<std::is_arithmetic_v<T>>>
std::pair<std::string, std::wstring> Is(const char* name, T value) {
  return {name, Text(value)};
}

using Expected = std::vector<std::pair<std::string, std::wstring>>;

// The fields of a record that has two parts in its answer, part by part.
inline Expected Joined(Expected first, const Expected& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

struct RecordRow {
  const char* name;
  Fields fields;  // what the reader made
  Expected expected;
};

inline void ExpectRecord(const RecordRow& row) {
  SCOPED_TRACE(row.name);
  ASSERT_FALSE(row.fields.empty())
      << "not exactly one record, or a field list that misses a member";
  size_t named = 0;
  for (const FieldText& field : row.fields) {
    const auto expected =
        std::find_if(row.expected.begin(), row.expected.end(),
                     [&](const auto& name_value) { return name_value.first == field.name; });
    if (expected != row.expected.end()) {
      ++named;
      EXPECT_EQ(field.value, expected->second) << field.name;
    } else if (field.unread) {
      EXPECT_EQ(field.value, *field.unread)
          << field.name << " is read, and the row does not say so";
    } else {
      ADD_FAILURE() << field.name << " is not named by the row";
    }
  }
  EXPECT_EQ(named, row.expected.size()) << "the row names a field twice or one the record lacks";
}

}  // namespace lumo::testing

#endif  // LUMO_TESTS_SUPPORT_RECORD_FIELDS_H_
