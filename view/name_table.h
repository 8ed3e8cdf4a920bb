// Lookups in the tables that give each value of a choice its name (rows
// with a Value and a Name), both ways, so that each table is the one
// place where a choice's names are spelled.
#ifndef QDPEXT_VIEW_NAME_TABLE_H_
#define QDPEXT_VIEW_NAME_TABLE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace qdp::view {

// Whether `table` has one row for each value of its enum, from `first` to
// `last`, in that order. Each table is checked so by a static_assert
// beside it, so that no row can go missing: give it the enum's last value.
template <typename Table, typename Value>
constexpr bool OneRowEach(const Table& table, Value first, Value last) {
  using Number = std::underlying_type_t<Value>;
  const auto from = static_cast<size_t>(static_cast<Number>(first));
  const auto to = static_cast<size_t>(static_cast<Number>(last));
  if (table.size() != to - from + 1) return false;
  for (size_t i = 0; i < table.size(); ++i) {
    if (static_cast<size_t>(static_cast<Number>(table[i].Value)) != from + i) return false;
  }
  return true;
}

// The name of `value` in `table`, or "?" for a value outside the enum.
template <typename Table, typename Value>
const char* NameIn(const Table& table, Value value) {
  for (const auto& row : table) {
    if (row.Value == value) return row.Name;
  }
  return "?";
}

// The value named `name` in `table`, if any.
template <typename Table>
auto ValueNamed(const Table& table, std::string_view name)
    -> std::optional<decltype(table[0].Value)> {
  for (const auto& row : table) {
    if (name == row.Name) return row.Value;
  }
  return std::nullopt;
}

// The names of `table`, in order, with `separator` between them: "9|10|11".
template <typename Table>
std::string NamesJoined(const Table& table, std::string_view separator) {
  std::string text;
  for (const auto& row : table) {
    if (!text.empty()) text += separator;
    text += row.Name;
  }
  return text;
}

// The names of `table` as a sentence lists them: "9, 10 or 11".
template <typename Table>
std::string NamesInWords(const Table& table) {
  std::string text;
  for (size_t i = 0; i < table.size(); ++i) {
    if (i > 0) text += i + 1 == table.size() ? " or " : ", ";
    text += table[i].Name;
  }
  return text;
}

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_NAME_TABLE_H_
