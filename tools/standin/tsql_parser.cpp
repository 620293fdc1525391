// Recursive-descent parser for the T-SQL subset.
#include "tsql_parser.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "collations.hpp"
#include "sql_errors.hpp"
#include "text.hpp"
#include "tsql_lexer.hpp"

namespace standin::tsql {

std::string ObjectName::display() const {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '.';
    out += parts[i];
  }
  return out;
}

namespace {

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  std::vector<Statement> parse_batch() {
    std::vector<Statement> statements;
    for (;;) {
      while (accept_symbol(";")) {
      }
      if (at_end()) break;
      statements.push_back(parse_statement());
    }
    return statements;
  }

 private:
  // --- token access -------------------------------------------------------------------
  const Token& peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  const Token& next() {
    const Token& token = tokens_[pos_];
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return token;
  }
  bool at_end() const { return peek().kind == TokenKind::End; }
  bool is_word(std::string_view upper, std::size_t ahead = 0) const {
    const auto& token = peek(ahead);
    return token.kind == TokenKind::Word && token.upper == upper;
  }
  bool accept_word(std::string_view upper) {
    if (!is_word(upper)) return false;
    next();
    return true;
  }
  void expect_word(std::string_view upper) {
    if (!accept_word(upper)) fail();
  }
  bool is_symbol(std::string_view symbol) const {
    return peek().kind == TokenKind::Symbol && peek().text == symbol;
  }
  bool accept_symbol(std::string_view symbol) {
    if (!is_symbol(symbol)) return false;
    next();
    return true;
  }
  void expect_symbol(std::string_view symbol) {
    if (!accept_symbol(symbol)) fail();
  }

  [[noreturn]] void fail() const {
    const Token& token = peek();
    SqlError error = [&] {
      if (token.kind == TokenKind::End)
        return errors::syntax_near(pos_ > 0 ? tokens_[pos_ - 1].raw : std::string());
      if (token.kind == TokenKind::Word && is_reserved(token.upper))
        return errors::syntax_near_keyword(token.raw);
      return errors::syntax_near(token.raw);
    }();
    error.set_line(token.line);
    throw error;
  }

  // --- names --------------------------------------------------------------------------
  bool is_identifier() const {
    const auto& token = peek();
    return token.kind == TokenKind::QuotedIdentifier ||
           (token.kind == TokenKind::Word && !is_reserved(token.upper));
  }
  std::string identifier() {
    if (!is_identifier()) fail();
    return next().text;
  }
  ObjectName object_name() {
    ObjectName name;
    name.parts.push_back(identifier());
    while (accept_symbol(".")) {
      while (accept_symbol(".")) name.parts.emplace_back();
      name.parts.push_back(identifier());
    }
    if (name.parts.size() > 3) fail();
    return name;
  }
  // Type as written, e.g. "varchar(10)" or "nvarchar(max)".
  std::string type_text() {
    std::string type = identifier();
    if (accept_symbol("(")) {
      if (accept_word("MAX")) {
        type += "(max)";
      } else if (peek().kind == TokenKind::Number) {
        type += "(" + next().text + ")";
      } else {
        fail();
      }
      expect_symbol(")");
    }
    return type;
  }
  // A known collation name; DATABASE_DEFAULT gives the empty name.
  std::string collation_name() {
    const Token& token = peek();
    if (token.kind != TokenKind::Word) fail();
    next();
    if (token.upper == "DATABASE_DEFAULT") return {};
    if (!collations::code_page(token.text)) {
      SqlError error = errors::invalid_collation(token.text);
      error.set_line(token.line);
      throw error;
    }
    return token.text;
  }

  // --- statements ---------------------------------------------------------------------
  Statement parse_statement() {
    Statement statement;
    statement.line = peek().line;
    static constexpr auto kStarts = std::to_array<std::string_view>(
        {"SELECT", "INSERT", "UPDATE", "DELETE", "CREATE", "DROP", "ALTER", "USE", "SET", "BEGIN",
         "COMMIT", "ROLLBACK", "IF", "SHUTDOWN"});
    const std::string word = peek().upper;
    if (peek().kind != TokenKind::Word ||
        std::find(kStarts.begin(), kStarts.end(), word) == kStarts.end())
      fail();
    next();
    if (word == "SELECT") {
      statement.kind = StatementKind::Select;
      statement.query = query();
    } else if (word == "INSERT") {
      insert(statement);
    } else if (word == "UPDATE") {
      update(statement);
    } else if (word == "DELETE") {
      statement.kind = StatementKind::Delete;
      accept_word("FROM");
      statement.target = object_name();
      if (accept_word("WHERE")) statement.condition = expression();
    } else if (word == "CREATE") {
      create(statement);
    } else if (word == "DROP") {
      const bool database = accept_word("DATABASE");
      if (!database) expect_word("TABLE");
      statement.kind = database ? StatementKind::DropDatabase : StatementKind::DropTable;
      if (database)
        statement.name = identifier();
      else
        statement.target = object_name();
    } else if (word == "ALTER") {
      alter_database(statement);
    } else if (word == "USE") {
      statement.kind = StatementKind::Use;
      if (peek().kind != TokenKind::QuotedIdentifier && peek().kind != TokenKind::Word) fail();
      statement.name = next().text;
    } else if (word == "SET") {
      set_option(statement);
    } else if (word == "BEGIN") {
      statement.kind = StatementKind::Begin;
      if (!accept_word("TRAN")) expect_word("TRANSACTION");
      if (is_identifier()) next();
    } else if (word == "COMMIT" || word == "ROLLBACK") {
      statement.kind = word == "COMMIT" ? StatementKind::Commit : StatementKind::Rollback;
      if (accept_word("TRAN") || accept_word("TRANSACTION")) {
        if (is_identifier()) next();
      } else {
        accept_word("WORK");
      }
    } else if (word == "IF") {
      statement.kind = StatementKind::If;
      statement.condition = expression();
      statement.then_branch = std::make_unique<Statement>(parse_statement());
    } else {
      statement.kind = StatementKind::Shutdown;
      if (accept_word("WITH")) expect_word("NOWAIT");
    }
    return statement;
  }

  void insert(Statement& statement) {
    statement.kind = StatementKind::Insert;
    accept_word("INTO");
    statement.target = object_name();
    if (accept_symbol("(")) {
      do {
        statement.columns.push_back(identifier());
      } while (accept_symbol(","));
      expect_symbol(")");
    }
    expect_word("VALUES");
    do {
      expect_symbol("(");
      std::vector<ExprPtr> row;
      do {
        row.push_back(expression());
      } while (accept_symbol(","));
      expect_symbol(")");
      statement.rows.push_back(std::move(row));
    } while (accept_symbol(","));
  }

  void update(Statement& statement) {
    statement.kind = StatementKind::Update;
    statement.target = object_name();
    expect_word("SET");
    do {
      const ObjectName column = object_name();
      expect_symbol("=");
      statement.assignments.emplace_back(column.object(), expression());
    } while (accept_symbol(","));
    if (accept_word("WHERE")) statement.condition = expression();
  }

  void create(Statement& statement) {
    if (accept_word("DATABASE")) {
      statement.kind = StatementKind::CreateDatabase;
      statement.name = identifier();
      if (accept_word("COLLATE")) statement.collation = collation_name();
      return;
    }
    expect_word("TABLE");
    statement.kind = StatementKind::CreateTable;
    statement.target = object_name();
    expect_symbol("(");
    do {
      statement.definitions.push_back(column_definition());
    } while (accept_symbol(","));
    expect_symbol(")");
  }

  ColumnDef column_definition() {
    ColumnDef column;
    column.name = identifier();
    column.type_text = type_text();
    for (;;) {
      if (accept_word("NULL")) {
        column.nullable = true;
      } else if (accept_word("NOT")) {
        expect_word("NULL");
        column.nullable = false;
      } else if (accept_word("PRIMARY")) {
        expect_word("KEY");
        column.primary_key = true;
      } else if (accept_word("COLLATE")) {
        column.collation = collation_name();
      } else {
        return column;
      }
    }
  }

  // ALTER DATABASE name SET state [WITH ROLLBACK IMMEDIATE | WITH NO_WAIT]: the states that
  // decide whether a database can be used or changed.
  void alter_database(Statement& statement) {
    expect_word("DATABASE");
    statement.kind = StatementKind::AlterDatabase;
    statement.name = identifier();
    expect_word("SET");
    static constexpr std::array<std::string_view, 6> kStates = {
        "ONLINE", "OFFLINE", "READ_ONLY", "READ_WRITE", "SINGLE_USER", "MULTI_USER"};
    if (std::find(kStates.begin(), kStates.end(), peek().upper) == kStates.end()) fail();
    statement.option = next().upper;
    if (!accept_word("WITH") || accept_word("NO_WAIT")) return;
    expect_word("ROLLBACK");
    expect_word("IMMEDIATE");
  }

  // SET option value: only IMPLICIT_TRANSACTIONS and LOCK_TIMEOUT have an effect.
  void set_option(Statement& statement) {
    statement.kind = StatementKind::Set;
    statement.option = text::ascii_upper(identifier());
    const bool negative = accept_symbol("-");
    const Token& value = peek();
    if (value.kind != TokenKind::Number && (negative || value.kind != TokenKind::Word)) fail();
    statement.value = (negative ? "-" : "") + next().text;
  }

  // --- queries ------------------------------------------------------------------------
  std::unique_ptr<SelectQuery> query() {
    auto result = std::make_unique<SelectQuery>();
    do {
      SelectItem item;
      if (accept_symbol("*")) {
        item.star = true;
      } else {
        item.expr = expression();
        if (accept_word("AS"))
          item.alias = peek().kind == TokenKind::String ? next().text : identifier();
      }
      result->items.push_back(std::move(item));
    } while (accept_symbol(","));
    if (accept_word("FROM")) result->from = object_name();
    if (accept_word("WHERE")) result->where = expression();
    if (accept_word("ORDER")) {
      expect_word("BY");
      do {
        OrderItem item;
        item.expr = expression();
        item.descending = accept_word("DESC");
        if (!item.descending) accept_word("ASC");
        result->order_by.push_back(std::move(item));
      } while (accept_symbol(","));
    }
    return result;
  }

  // --- expressions --------------------------------------------------------------------
  static ExprPtr make(ExprKind kind, std::string text = {}) {
    auto expr = std::make_unique<Expr>();
    expr->kind = kind;
    expr->text = std::move(text);
    return expr;
  }
  static ExprPtr binary(ExprKind kind, std::string op, ExprPtr left, ExprPtr right) {
    auto expr = make(kind, std::move(op));
    expr->args.push_back(std::move(left));
    expr->args.push_back(std::move(right));
    return expr;
  }

  ExprPtr expression() {
    auto left = conjunction();
    while (accept_word("OR")) left = binary(ExprKind::Or, "OR", std::move(left), conjunction());
    return left;
  }

  ExprPtr conjunction() {
    auto left = predicate();
    while (accept_word("AND")) left = binary(ExprKind::And, "AND", std::move(left), predicate());
    return left;
  }

  ExprPtr predicate() {
    auto left = primary();
    static constexpr std::array<std::string_view, 7> kCompare = {"=", "<>", "!=", "<",
                                                                 ">", "<=", ">="};
    if (peek().kind == TokenKind::Symbol &&
        std::find(kCompare.begin(), kCompare.end(), peek().text) != kCompare.end()) {
      std::string op = next().text;
      return binary(ExprKind::Compare, std::move(op), std::move(left), primary());
    }
    if (accept_word("LIKE")) return binary(ExprKind::Like, "LIKE", std::move(left), primary());
    return left;
  }

  ExprPtr primary() {
    const Token& token = peek();
    switch (token.kind) {
      case TokenKind::Number:
      case TokenKind::String:
      case TokenKind::NationalString:
      case TokenKind::Variable: {
        next();
        auto expr = make(token.kind == TokenKind::Number     ? ExprKind::Integer
                         : token.kind == TokenKind::Variable ? ExprKind::Variable
                                                             : ExprKind::String,
                         token.text);
        expr->national = token.kind == TokenKind::NationalString;
        expr->raw = token.raw;
        return expr;
      }
      case TokenKind::Symbol:
        if (!accept_symbol("(")) break;
        {
          auto inner = expression();
          expect_symbol(")");
          return inner;
        }
      case TokenKind::Word:
        return word_expression();
      case TokenKind::QuotedIdentifier:
        return column_reference();
      case TokenKind::End:
        break;
    }
    fail();
  }

  ExprPtr word_expression() {
    const Token& token = peek();
    if (token.upper == "NULL") {
      next();
      return make(ExprKind::Null);
    }
    const bool call = peek(1).kind == TokenKind::Symbol && peek(1).text == "(";
    if (token.upper == "CAST" && call) {
      next();
      next();
      auto expr = make(ExprKind::Cast, "CAST");
      expr->args.push_back(expression());
      expect_word("AS");
      expr->type_text = type_text();
      expect_symbol(")");
      return expr;
    }
    if (call && !is_reserved(token.upper)) {
      next();
      next();
      auto expr = make(ExprKind::Function, token.upper);
      expr->raw = token.raw;
      if (accept_symbol(")")) return expr;
      if (accept_symbol("*")) {
        expr->args.push_back(make(ExprKind::Star, "*"));
      } else {
        do {
          expr->args.push_back(expression());
        } while (accept_symbol(","));
      }
      expect_symbol(")");
      return expr;
    }
    if (is_reserved(token.upper)) fail();
    return column_reference();
  }

  ExprPtr column_reference() {
    auto expr = make(ExprKind::Column);
    expr->raw = peek().raw;
    expr->name = object_name().parts;
    return expr;
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<Statement> parse_batch(std::string_view sql) {
  Parser parser(tokenize(sql));
  return parser.parse_batch();
}

}  // namespace standin::tsql
