#pragma once

#include <map>
#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

namespace clipora::standin {

// A small FQL engine over the stand-in's tables. It reads
//   SELECT col, ... FROM table [WHERE cond] [ORDER BY col [ASC|DESC], ...]
//   [LIMIT n | LIMIT offset, n]
// where a condition combines, with AND, OR, NOT and parentheses,
// comparisons (=, ==, !=, <>, <, <=, >, >=) of columns, numbers, quoted texts,
// me() and now(), and "x IN (subquery)" / "x NOT IN (a, b, ...)". Keywords
// are case-insensitive. A table "#name" is the result of an earlier query of
// the same multiquery. Values compare as numbers when both read as numbers
// (so the uid 100001 equals "100001"), else as texts; null matches nothing.
// Errors carry the network's FQL codes: 601 for a query that does not parse
// or names an unknown table, 602 for an unknown column.
class FQLEvaluator {
public:
    using Json = nlohmann::ordered_json;
    struct Error {
        int code = 601;
        std::string message;
    };
    using Result = std::variant<Json, Error>;

    // `tables`: name -> array of row objects. `me`: the uid me() stands for.
    // `now`: seconds since 1970 for now().
    FQLEvaluator(const Json& tables, std::string me, double now);

    // One query: an array of row objects with the selected columns in order.
    Result query(std::string_view text) const;
    // Named queries (a JSON object of name -> query text, or its text): an
    // array of {"name": ..., "fql_result_set": [...]} in the given order.
    // Queries may refer to one another as "#name" in any order, without
    // cycles.
    Result multiquery(const Json& queries) const;
    Result multiquery(std::string_view queriesText) const;

private:
    const Json& tables_;
    std::string me_;
    double now_;
};

}  // namespace clipora::standin
