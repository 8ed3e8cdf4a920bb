// Lookups in the tables that give each value of a choice its name (rows
// with a Value and a Name), both ways, so that each table is the one
// place where a choice's names are spelled.
#ifndef QDPEXT_VIEW_NAME_TABLE_H_
#define QDPEXT_VIEW_NAME_TABLE_H_

#include <optional>
#include <string_view>

namespace qdp::view {

// The name of `value` in `table`, or "?" for a value it lacks.
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

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_NAME_TABLE_H_
