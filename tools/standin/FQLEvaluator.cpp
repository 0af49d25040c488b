#include "tools/standin/FQLEvaluator.h"
#include "tools/standin/StandinJson.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace clipora::standin {

namespace {

using Json = FQLEvaluator::Json;
using Error = FQLEvaluator::Error;

constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxQueryLength = 64 * 1024;

struct ParseFailure {
    Error error;
};

[[noreturn]] void fail(int code, std::string message) { throw ParseFailure{Error{code, std::move(message)}}; }

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// ---------------------------------------------------------------- lexer

struct Token {
    enum Kind { Identifier, Reference, Number, Text, Operator, LeftParen, RightParen, Comma, Star, Minus, End };
    Kind kind = End;
    std::string text;
    std::size_t position = 0;
};

std::vector<Token> lex(std::string_view query) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < query.size()) {
        char c = query[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        Token token;
        token.position = i;
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '#') {
            std::size_t start = i;
            if (c == '#') ++i;
            while (i < query.size() && (std::isalnum(static_cast<unsigned char>(query[i])) || query[i] == '_')) {
                ++i;
            }
            token.kind = c == '#' ? Token::Reference : Token::Identifier;
            token.text = std::string(query.substr(c == '#' ? start + 1 : start, i - start - (c == '#' ? 1 : 0)));
            if (token.text.empty())
                fail(601, "Parser error: unexpected '#' at position " + std::to_string(start) + ".");
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            std::size_t start = i;
            while (i < query.size() && std::isdigit(static_cast<unsigned char>(query[i]))) ++i;
            if (i + 1 < query.size() && query[i] == '.' && std::isdigit(static_cast<unsigned char>(query[i + 1]))) {
                ++i;
                while (i < query.size() && std::isdigit(static_cast<unsigned char>(query[i]))) ++i;
            }
            token.kind = Token::Number;
            token.text = std::string(query.substr(start, i - start));
        } else if (c == '\'' || c == '"') {
            char quote = c;
            ++i;
            bool closed = false;
            while (i < query.size()) {
                char d = query[i++];
                if (d == '\\' && i < query.size()) {
                    char e = query[i++];
                    token.text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                } else if (d == quote) {
                    closed = true;
                    break;
                } else {
                    token.text += d;
                }
            }
            if (!closed)
                fail(601, "Parser error: unterminated string at position " + std::to_string(token.position) + ".");
            token.kind = Token::Text;
        } else if (c == '(') {
            token.kind = Token::LeftParen;
            ++i;
        } else if (c == ')') {
            token.kind = Token::RightParen;
            ++i;
        } else if (c == ',') {
            token.kind = Token::Comma;
            ++i;
        } else if (c == '*') {
            token.kind = Token::Star;
            ++i;
        } else if (c == '-') {
            token.kind = Token::Minus;
            ++i;
        } else if (c == '=' || c == '!' || c == '<' || c == '>') {
            std::string op(1, c);
            if (i + 1 < query.size()) {
                char d = query[i + 1];
                if ((c == '=' && d == '=') || (c == '!' && d == '=') || (c == '<' && (d == '=' || d == '>')) ||
                    (c == '>' && d == '=')) {
                    op += d;
                }
            }
            if (op == "!") fail(601, "Parser error: unexpected '!' at position " + std::to_string(i) + ".");
            i += op.size();
            token.kind = Token::Operator;
            token.text = op;
        } else {
            fail(601, "Parser error: unexpected '" + std::string(1, c) + "' at position " + std::to_string(i) + ".");
        }
        tokens.push_back(std::move(token));
    }
    Token end;
    end.position = query.size();
    tokens.push_back(end);
    return tokens;
}

// ---------------------------------------------------------------- syntax tree

struct Select;

struct Operand {
    enum Kind { Column, Literal, Me, Now };
    Kind kind = Literal;
    std::string column;
    Json literal;
};

struct Condition {
    enum Kind { Or, And, Not, Compare, In };
    Kind kind = Compare;
    std::vector<std::unique_ptr<Condition>> children;
    Operand left;
    Operand right;
    std::string op;
    bool negated = false;
    std::unique_ptr<Select> subquery;
    std::vector<Operand> list;
};

struct Select {
    std::vector<std::string> columns;
    std::string table;
    bool reference = false;  // "#name"
    std::unique_ptr<Condition> where;
    std::vector<std::pair<std::string, bool>> order;  // column, descending
    std::size_t offset = 0;
    std::optional<std::size_t> limit;
};

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::unique_ptr<Select> parseQuery() {
        auto select = parseSelect();
        if (peek().kind != Token::End) unexpected();
        return select;
    }

private:
    const Token& peek() const { return tokens_[index_]; }
    const Token& next() { return tokens_[index_ < tokens_.size() - 1 ? index_++ : index_]; }

    [[noreturn]] void unexpected() const {
        const Token& token = peek();
        if (token.kind == Token::End) fail(601, "Parser error: unexpected end of query.");
        std::string text = token.text;
        switch (token.kind) {
        case Token::LeftParen: text = "("; break;
        case Token::RightParen: text = ")"; break;
        case Token::Comma: text = ","; break;
        case Token::Star: text = "*"; break;
        case Token::Minus: text = "-"; break;
        case Token::Reference: text = "#" + text; break;
        default: break;
        }
        fail(601, "Parser error: unexpected '" + text + "' at position " + std::to_string(token.position) + ".");
    }

    bool isKeyword(std::string_view keyword) const {
        return peek().kind == Token::Identifier && upper(peek().text) == keyword;
    }
    void expectKeyword(std::string_view keyword) {
        if (!isKeyword(keyword)) unexpected();
        next();
    }
    void expect(Token::Kind kind) {
        if (peek().kind != kind) unexpected();
        next();
    }

    struct DepthGuard {
        explicit DepthGuard(int& depth) : depth_(depth) {
            if (++depth_ > kMaxDepth) fail(601, "Parser error: the query nests too deeply.");
        }
        ~DepthGuard() { --depth_; }
        int& depth_;
    };

    std::unique_ptr<Select> parseSelect() {
        DepthGuard guard(depth_);
        auto select = std::make_unique<Select>();
        expectKeyword("SELECT");
        if (peek().kind == Token::Star)
            fail(601,
                 "Parser error: SELECT * is not supported.  Please manually list the columns you are interested in.");
        for (;;) {
            if (peek().kind != Token::Identifier) unexpected();
            select->columns.push_back(next().text);
            if (peek().kind != Token::Comma) break;
            next();
        }
        expectKeyword("FROM");
        if (peek().kind == Token::Identifier) {
            select->table = next().text;
        } else if (peek().kind == Token::Reference) {
            select->table = next().text;
            select->reference = true;
        } else {
            unexpected();
        }
        if (isKeyword("WHERE")) {
            next();
            select->where = parseOr();
        }
        if (isKeyword("ORDER")) {
            next();
            expectKeyword("BY");
            for (;;) {
                if (peek().kind != Token::Identifier) unexpected();
                std::string column = next().text;
                bool descending = false;
                if (isKeyword("DESC")) {
                    next();
                    descending = true;
                } else if (isKeyword("ASC")) {
                    next();
                }
                select->order.emplace_back(column, descending);
                if (peek().kind != Token::Comma) break;
                next();
            }
        }
        if (isKeyword("LIMIT")) {
            next();
            std::size_t first = parseCount();
            if (peek().kind == Token::Comma) {
                next();
                select->offset = first;
                select->limit = parseCount();
            } else {
                select->limit = first;
            }
        }
        return select;
    }

    std::size_t parseCount() {
        if (peek().kind != Token::Number || peek().text.find('.') != std::string::npos || peek().text.size() > 9) {
            unexpected();
        }
        return static_cast<std::size_t>(std::stoul(next().text));
    }

    std::unique_ptr<Condition> parseOr() {
        DepthGuard guard(depth_);
        auto left = parseAnd();
        if (!isKeyword("OR")) return left;
        auto node = std::make_unique<Condition>();
        node->kind = Condition::Or;
        node->children.push_back(std::move(left));
        while (isKeyword("OR")) {
            next();
            node->children.push_back(parseAnd());
        }
        return node;
    }

    std::unique_ptr<Condition> parseAnd() {
        auto left = parseNot();
        if (!isKeyword("AND")) return left;
        auto node = std::make_unique<Condition>();
        node->kind = Condition::And;
        node->children.push_back(std::move(left));
        while (isKeyword("AND")) {
            next();
            node->children.push_back(parseNot());
        }
        return node;
    }

    std::unique_ptr<Condition> parseNot() {
        DepthGuard guard(depth_);
        if (isKeyword("NOT")) {
            next();
            auto node = std::make_unique<Condition>();
            node->kind = Condition::Not;
            node->children.push_back(parseNot());
            return node;
        }
        if (peek().kind == Token::LeftParen) {
            next();
            auto inner = parseOr();
            expect(Token::RightParen);
            return inner;
        }
        auto node = std::make_unique<Condition>();
        node->left = parseOperand();
        if (isKeyword("NOT") || isKeyword("IN")) {
            if (isKeyword("NOT")) {
                next();
                node->negated = true;
            }
            expectKeyword("IN");
            node->kind = Condition::In;
            expect(Token::LeftParen);
            if (isKeyword("SELECT")) {
                node->subquery = parseSelect();
            } else if (peek().kind != Token::RightParen) {
                for (;;) {
                    node->list.push_back(parseOperand());
                    if (peek().kind != Token::Comma) break;
                    next();
                }
            }
            expect(Token::RightParen);
            return node;
        }
        if (peek().kind != Token::Operator) unexpected();
        node->kind = Condition::Compare;
        node->op = next().text;
        node->right = parseOperand();
        return node;
    }

    Operand parseOperand() {
        Operand operand;
        const Token& token = peek();
        if (token.kind == Token::Minus) {
            next();
            if (peek().kind != Token::Number) unexpected();
            operand.literal = numberLiteral("-" + next().text);
            return operand;
        }
        if (token.kind == Token::Number) {
            operand.literal = numberLiteral(next().text);
            return operand;
        }
        if (token.kind == Token::Text) {
            operand.literal = next().text;
            return operand;
        }
        if (token.kind == Token::Identifier) {
            std::string name = next().text;
            if (peek().kind == Token::LeftParen) {
                next();
                expect(Token::RightParen);
                std::string function = upper(name);
                if (function == "ME") {
                    operand.kind = Operand::Me;
                } else if (function == "NOW") {
                    operand.kind = Operand::Now;
                } else {
                    fail(601, "Parser error: unknown function '" + name + "'.");
                }
                return operand;
            }
            static const std::set<std::string> reserved = {"SELECT", "FROM",  "WHERE", "AND",   "OR",  "NOT",
                                                           "IN",     "ORDER", "BY",    "LIMIT", "ASC", "DESC"};
            if (reserved.count(upper(name))) {
                --index_;
                unexpected();
            }
            operand.kind = Operand::Column;
            operand.column = name;
            return operand;
        }
        unexpected();
    }

    static Json numberLiteral(const std::string& text) {
        if (text.find('.') != std::string::npos) return std::stod(text);
        try {
            return static_cast<std::int64_t>(std::stoll(text));
        } catch (const std::out_of_range&) {
            return std::stod(text);
        }
    }

    std::vector<Token> tokens_;
    std::size_t index_ = 0;
    int depth_ = 0;
};

// ---------------------------------------------------------------- evaluation

std::optional<double> numberOf(const Json& value, bool& integral, std::int64_t& asInteger) {
    if (value.is_number_integer()) {
        integral = true;
        asInteger = value.get<std::int64_t>();
        return static_cast<double>(asInteger);
    }
    if (value.is_number_unsigned()) {
        integral = true;
        asInteger = static_cast<std::int64_t>(value.get<std::uint64_t>());
        return static_cast<double>(asInteger);
    }
    if (value.is_number_float()) {
        integral = false;
        return value.get<double>();
    }
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (text.empty() || text.size() > 40) return std::nullopt;
        std::size_t i = text[0] == '-' ? 1 : 0;
        if (i == text.size()) return std::nullopt;
        bool dot = false;
        for (std::size_t j = i; j < text.size(); ++j) {
            if (text[j] == '.' && !dot && j > i && j + 1 < text.size()) {
                dot = true;
            } else if (!std::isdigit(static_cast<unsigned char>(text[j]))) {
                return std::nullopt;
            }
        }
        integral = !dot && text.size() - i <= 18;
        if (integral) asInteger = std::stoll(text);
        return std::stod(text);
    }
    return std::nullopt;
}

// <0, 0, >0; nullopt when either side is null or they cannot be compared.
std::optional<int> compareValues(const Json& a, const Json& b) {
    if (a.is_null() || b.is_null() || a.is_structured() || b.is_structured()) return std::nullopt;
    bool ia = false, ib = false;
    std::int64_t xa = 0, xb = 0;
    auto na = numberOf(a, ia, xa);
    auto nb = numberOf(b, ib, xb);
    if (na && nb) {
        if (ia && ib) return xa < xb ? -1 : xa > xb ? 1 : 0;
        return *na < *nb ? -1 : *na > *nb ? 1 : 0;
    }
    if (a.is_boolean() || b.is_boolean()) {
        if (a.is_boolean() && b.is_boolean()) return static_cast<int>(a.get<bool>()) - static_cast<int>(b.get<bool>());
        return std::nullopt;
    }
    if (a.is_string() && b.is_string()) {
        int c = a.get_ref<const std::string&>().compare(b.get_ref<const std::string&>());
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    // A number against a text that is not a number.
    return std::nullopt;
}

// Ordering for ORDER BY: nulls last, then numbers, then texts.
bool orderLess(const Json& a, const Json& b) {
    if (a.is_null() != b.is_null()) return b.is_null();
    if (auto c = compareValues(a, b)) return *c < 0;
    if (a.is_number() != b.is_number()) return a.is_number();
    return false;
}

class Evaluation {
public:
    Evaluation(const Json& tables, const std::map<std::string, Json>& named, const std::string& me, double now)
        : tables_(tables), named_(named), me_(me), now_(now) {}

    Json run(const Select& select) {
        const Json* rows = nullptr;
        if (select.reference) {
            auto it = named_.find(select.table);
            if (it == named_.end()) fail(601, "Parser error: unknown table #" + select.table + ".");
            rows = &it->second;
        } else {
            auto it = tables_.find(select.table);
            if (it == tables_.end()) fail(601, "Parser error: unknown table " + select.table + ".");
            rows = &*it;
        }

        std::set<std::string> known;
        for (const auto& row : *rows) {
            for (auto it = row.begin(); it != row.end(); ++it) known.insert(it.key());
        }
        auto check = [&](const std::string& column) {
            if (!known.empty() && !known.count(column)) {
                fail(602, column + " is not a member of the " + std::string(select.reference ? "#" : "") +
                              select.table + " table.");
            }
        };
        for (const auto& column : select.columns) check(column);
        for (const auto& [column, descending] : select.order) check(column);
        if (select.where) checkColumns(*select.where, check);

        std::vector<const Json*> matched;
        for (const auto& row : *rows) {
            if (!select.where || holds(*select.where, row)) matched.push_back(&row);
        }
        if (!select.order.empty()) {
            std::stable_sort(matched.begin(), matched.end(), [&](const Json* a, const Json* b) {
                for (const auto& [column, descending] : select.order) {
                    const Json& x = cell(*a, column);
                    const Json& y = cell(*b, column);
                    bool less = descending ? orderLess(y, x) : orderLess(x, y);
                    bool greater = descending ? orderLess(x, y) : orderLess(y, x);
                    if (less != greater) return less;
                    // Nulls go last in both directions.
                    if (x.is_null() != y.is_null()) return y.is_null();
                }
                return false;
            });
        }
        Json out = Json::array();
        std::size_t skipped = 0;
        for (const Json* row : matched) {
            if (skipped < select.offset) {
                ++skipped;
                continue;
            }
            if (select.limit && out.size() >= *select.limit) break;
            Json projected = Json::object();
            for (const auto& column : select.columns) projected[column] = cell(*row, column);
            out.push_back(std::move(projected));
        }
        return out;
    }

private:
    static const Json& cell(const Json& row, const std::string& column) {
        static const Json null;
        auto it = row.find(column);
        return it == row.end() ? null : *it;
    }

    template <typename Check>
    void checkColumns(const Condition& condition, const Check& check) {
        for (const auto& child : condition.children) checkColumns(*child, check);
        if (condition.kind == Condition::Compare || condition.kind == Condition::In) {
            if (condition.left.kind == Operand::Column) check(condition.left.column);
            if (condition.kind == Condition::Compare && condition.right.kind == Operand::Column) {
                check(condition.right.column);
            }
            for (const auto& item : condition.list) {
                if (item.kind == Operand::Column) check(item.column);
            }
        }
    }

    Json value(const Operand& operand, const Json& row) const {
        switch (operand.kind) {
        case Operand::Column: return cell(row, operand.column);
        case Operand::Literal: return operand.literal;
        case Operand::Me: {
            bool integral = false;
            std::int64_t asInteger = 0;
            if (numberOf(Json(me_), integral, asInteger) && integral) return asInteger;
            return me_;
        }
        case Operand::Now: return static_cast<std::int64_t>(std::floor(now_));
        }
        return Json();
    }

    bool holds(const Condition& condition, const Json& row) {
        switch (condition.kind) {
        case Condition::Or:
            for (const auto& child : condition.children) {
                if (holds(*child, row)) return true;
            }
            return false;
        case Condition::And:
            for (const auto& child : condition.children) {
                if (!holds(*child, row)) return false;
            }
            return true;
        case Condition::Not: return !holds(*condition.children.front(), row);
        case Condition::Compare: {
            auto c = compareValues(value(condition.left, row), value(condition.right, row));
            if (!c) return false;
            const std::string& op = condition.op;
            if (op == "=" || op == "==") return *c == 0;
            if (op == "!=" || op == "<>") return *c != 0;
            if (op == "<") return *c < 0;
            if (op == "<=") return *c <= 0;
            if (op == ">") return *c > 0;
            if (op == ">=") return *c >= 0;
            return false;
        }
        case Condition::In: {
            Json left = value(condition.left, row);
            bool found = false;
            if (condition.subquery) {
                for (const auto& candidate : subqueryValues(condition)) {
                    auto c = compareValues(left, candidate);
                    if (c && *c == 0) {
                        found = true;
                        break;
                    }
                }
            } else {
                for (const auto& item : condition.list) {
                    auto c = compareValues(left, value(item, row));
                    if (c && *c == 0) {
                        found = true;
                        break;
                    }
                }
            }
            if (left.is_null()) return false;
            return condition.negated ? !found : found;
        }
        }
        return false;
    }

    // A subquery does not depend on the outer row: run it once.
    const std::vector<Json>& subqueryValues(const Condition& condition) {
        auto it = subqueries_.find(&condition);
        if (it != subqueries_.end()) return it->second;
        const Select& select = *condition.subquery;
        if (select.columns.size() != 1) fail(601, "Parser error: a subquery must select exactly one column.");
        Json rows = run(select);
        std::vector<Json> values;
        for (const auto& row : rows) values.push_back(row[select.columns.front()]);
        return subqueries_.emplace(&condition, std::move(values)).first->second;
    }

    const Json& tables_;
    const std::map<std::string, Json>& named_;
    const std::string& me_;
    double now_;
    std::map<const Condition*, std::vector<Json>> subqueries_;
};

void collectReferences(const Select& select, std::set<std::string>& out);

void collectReferences(const Condition& condition, std::set<std::string>& out) {
    for (const auto& child : condition.children) collectReferences(*child, out);
    if (condition.subquery) collectReferences(*condition.subquery, out);
}

void collectReferences(const Select& select, std::set<std::string>& out) {
    if (select.reference) out.insert(select.table);
    if (select.where) collectReferences(*select.where, out);
}

std::unique_ptr<Select> parse(std::string_view text) {
    if (text.size() > kMaxQueryLength) fail(601, "Parser error: the query is too long.");
    Parser parser(lex(text));
    return parser.parseQuery();
}

}  // namespace

FQLEvaluator::FQLEvaluator(const Json& tables, std::string me, double now)
    : tables_(tables), me_(std::move(me)), now_(now) {}

FQLEvaluator::Result FQLEvaluator::query(std::string_view text) const {
    try {
        auto select = parse(text);
        std::map<std::string, Json> none;
        Evaluation evaluation(tables_, none, me_, now_);
        return evaluation.run(*select);
    } catch (const ParseFailure& failure) {
        return failure.error;
    }
}

FQLEvaluator::Result FQLEvaluator::multiquery(std::string_view queriesText) const {
    Json queries = StandinJson::parse(queriesText);
    if (queries.is_discarded()) return Error{601, "Parser error: the queries are not a JSON object."};
    return multiquery(queries);
}

FQLEvaluator::Result FQLEvaluator::multiquery(const Json& queries) const {
    if (!queries.is_object() || queries.empty()) return Error{601, "Parser error: the queries are not a JSON object."};
    try {
        std::vector<std::string> names;
        std::map<std::string, std::unique_ptr<Select>> parsed;
        std::map<std::string, std::set<std::string>> needs;
        for (auto it = queries.begin(); it != queries.end(); ++it) {
            if (!it.value().is_string()) fail(601, "Parser error: query " + it.key() + " is not a text.");
            names.push_back(it.key());
            parsed[it.key()] = parse(it.value().get<std::string>());
            collectReferences(*parsed[it.key()], needs[it.key()]);
        }
        std::map<std::string, Json> results;
        // Run each query once everything it refers to has run.
        while (results.size() < names.size()) {
            bool progress = false;
            for (const auto& name : names) {
                if (results.count(name)) continue;
                bool ready = std::all_of(needs[name].begin(), needs[name].end(),
                                         [&](const std::string& n) { return results.count(n) != 0; });
                if (!ready) continue;
                Evaluation evaluation(tables_, results, me_, now_);
                results[name] = evaluation.run(*parsed[name]);
                progress = true;
            }
            if (!progress) {
                for (const auto& name : names) {
                    if (results.count(name)) continue;
                    for (const auto& n : needs[name]) {
                        if (!queries.contains(n)) fail(601, "Parser error: unknown table #" + n + ".");
                    }
                }
                fail(601, "Parser error: the queries refer to one another in a cycle.");
            }
        }
        Json out = Json::array();
        for (const auto& name : names) {
            Json entry = Json::object();
            entry["name"] = name;
            entry["fql_result_set"] = std::move(results[name]);
            out.push_back(std::move(entry));
        }
        return out;
    } catch (const ParseFailure& failure) {
        return failure.error;
    }
}

}  // namespace clipora::standin
