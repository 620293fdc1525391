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

constexpr auto kStatementStarts = std::to_array<std::string_view>(
    {"SELECT", "INSERT", "UPDATE", "DELETE", "TRUNCATE", "CREATE", "DROP", "ALTER", "USE", "SET",
     "BEGIN", "COMMIT", "ROLLBACK", "IF", "WAITFOR", "SHUTDOWN", "PRINT", "EXEC", "EXECUTE"});

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  std::vector<Statement> parse_batch() {
    std::vector<Statement> statements;
    for (;;) {
      while (accept_symbol(";")) {
      }
      if (at_end()) break;
      statements.push_back(parse_statement(statements.empty()));
    }
    return statements;
  }

 private:
  // --- token access -------------------------------------------------------------------
  const Token& peek(std::size_t ahead = 0) const {
    const auto index = std::min(pos_ + ahead, tokens_.size() - 1);
    return tokens_[index];
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
  bool is_symbol(std::string_view symbol, std::size_t ahead = 0) const {
    const auto& token = peek(ahead);
    return token.kind == TokenKind::Symbol && token.text == symbol;
  }
  bool accept_symbol(std::string_view symbol) {
    if (!is_symbol(symbol)) return false;
    next();
    return true;
  }
  void expect_symbol(std::string_view symbol) {
    if (!accept_symbol(symbol)) fail();
  }
  bool is_statement_start() const {
    const auto& token = peek();
    if (token.kind != TokenKind::Word) return false;
    return std::find(kStatementStarts.begin(), kStatementStarts.end(), token.upper) !=
           kStatementStarts.end();
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
  bool is_identifier(std::size_t ahead = 0) const {
    const auto& token = peek(ahead);
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
      while (is_symbol(".")) {
        next();
        name.parts.emplace_back();
      }
      name.parts.push_back(identifier());
    }
    if (name.parts.size() > 3) fail();
    return name;
  }
  // Type as written, e.g. "varchar(10)" or "nvarchar(max)".
  std::string type_text() {
    if (!is_identifier()) fail();
    std::string type = next().text;
    if (accept_symbol("(")) {
      type += '(';
      if (is_word("MAX")) {
        type += "max";
        next();
      } else if (peek().kind == TokenKind::Number) {
        type += next().text;
        if (accept_symbol(",")) {
          if (peek().kind != TokenKind::Number) fail();
          type += "," + next().text;
        }
      } else {
        fail();
      }
      expect_symbol(")");
      type += ')';
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
  std::optional<std::string> alias() {
    if (accept_word("AS")) {
      if (peek().kind == TokenKind::String) return next().text;
      return identifier();
    }
    if (is_identifier() || peek().kind == TokenKind::String) return next().text;
    return std::nullopt;
  }

  // --- statements ---------------------------------------------------------------------
  Statement parse_statement(bool first_in_batch) {
    Statement statement;
    statement.line = peek().line;
    const Token& start = peek();
    if (start.kind != TokenKind::Word) fail();
    const std::string& word = start.upper;
    if (word == "SELECT") {
      statement.kind = StatementKind::Select;
      statement.query = query();
    } else if (word == "INSERT") {
      insert(statement);
    } else if (word == "UPDATE") {
      update(statement);
    } else if (word == "DELETE") {
      next();
      statement.kind = StatementKind::Delete;
      accept_word("FROM");
      statement.targets.push_back(object_name());
      table_hints();
      if (accept_word("WHERE")) statement.condition = expression();
    } else if (word == "TRUNCATE") {
      next();
      expect_word("TABLE");
      statement.kind = StatementKind::Truncate;
      statement.targets.push_back(object_name());
    } else if (word == "CREATE") {
      create(statement);
    } else if (word == "DROP") {
      drop(statement);
    } else if (word == "ALTER") {
      alter(statement);
    } else if (word == "USE") {
      next();
      statement.kind = StatementKind::Use;
      if (peek().kind != TokenKind::QuotedIdentifier && peek().kind != TokenKind::Word) fail();
      statement.name = next().text;
    } else if (word == "SET") {
      set_option(statement);
    } else if (word == "BEGIN") {
      begin(statement);
    } else if (word == "COMMIT" || word == "ROLLBACK") {
      next();
      statement.kind = word == "COMMIT" ? StatementKind::Commit : StatementKind::Rollback;
      if (accept_word("TRAN") || accept_word("TRANSACTION")) {
        if (is_identifier()) next();
      } else {
        accept_word("WORK");
      }
    } else if (word == "IF") {
      next();
      statement.kind = StatementKind::If;
      statement.condition = expression();
      statement.then_branch = std::make_unique<Statement>(branch());
      if (accept_word("ELSE")) statement.else_branch = std::make_unique<Statement>(branch());
    } else if (word == "WAITFOR") {
      next();
      expect_word("DELAY");
      statement.kind = StatementKind::WaitFor;
      statement.condition = primary();
    } else if (word == "SHUTDOWN") {
      next();
      statement.kind = StatementKind::Shutdown;
      if (accept_word("WITH")) expect_word("NOWAIT");
    } else if (word == "PRINT") {
      next();
      statement.kind = StatementKind::Print;
      statement.condition = expression();
    } else if (word == "EXEC" || word == "EXECUTE") {
      next();
      exec(statement);
    } else if (first_in_batch && is_identifier()) {
      exec(statement);  // a procedure name alone at the start of a batch is an EXEC
    } else {
      fail();
    }
    return statement;
  }

  Statement branch() {
    while (accept_symbol(";")) {
    }
    if (!is_statement_start()) fail();
    return parse_statement(false);
  }

  void exec(Statement& statement) {
    statement.kind = StatementKind::Exec;
    statement.name = object_name().display();
    if (at_end() || is_statement_start() || is_symbol(";")) return;
    for (;;) {
      if (peek().kind == TokenKind::Variable && is_symbol("=", 1)) {
        next();
        next();
      }
      expression();
      if (!accept_symbol(",")) break;
    }
  }

  void insert(Statement& statement) {
    next();
    statement.kind = StatementKind::Insert;
    accept_word("INTO");
    statement.targets.push_back(object_name());
    if (is_symbol("(") && !is_word("SELECT", 1)) {
      next();
      do {
        statement.columns.push_back(identifier());
      } while (accept_symbol(","));
      expect_symbol(")");
    }
    if (accept_word("VALUES")) {
      do {
        expect_symbol("(");
        std::vector<ExprPtr> row;
        do {
          row.push_back(expression());
        } while (accept_symbol(","));
        expect_symbol(")");
        statement.rows.push_back(std::move(row));
      } while (accept_symbol(","));
    } else if (is_word("SELECT")) {
      statement.query = query();
    } else {
      fail();
    }
  }

  void update(Statement& statement) {
    next();
    statement.kind = StatementKind::Update;
    statement.targets.push_back(object_name());
    table_hints();
    expect_word("SET");
    do {
      const ObjectName column = object_name();
      expect_symbol("=");
      statement.assignments.emplace_back(column.object(), expression());
    } while (accept_symbol(","));
    if (accept_word("WHERE")) statement.condition = expression();
  }

  void create(Statement& statement) {
    next();
    if (accept_word("DATABASE")) {
      statement.kind = StatementKind::CreateDatabase;
      statement.name = identifier();
      if (accept_word("COLLATE")) statement.collation = collation_name();
      return;
    }
    expect_word("TABLE");
    statement.kind = StatementKind::CreateTable;
    statement.targets.push_back(object_name());
    expect_symbol("(");
    do {
      if (is_word("CONSTRAINT") || is_word("PRIMARY")) {
        if (accept_word("CONSTRAINT")) statement.constraint_name = identifier();
        expect_word("PRIMARY");
        expect_word("KEY");
        if (!accept_word("CLUSTERED")) accept_word("NONCLUSTERED");
        expect_symbol("(");
        do {
          statement.columns.push_back(identifier());
          if (!accept_word("ASC")) accept_word("DESC");
        } while (accept_symbol(","));
        expect_symbol(")");
      } else {
        statement.definitions.push_back(column_definition(statement));
      }
    } while (accept_symbol(","));
    expect_symbol(")");
  }

  ColumnDef column_definition(Statement& statement) {
    ColumnDef column;
    column.name = identifier();
    column.type_text = type_text();
    for (;;) {
      if (accept_word("NULL")) {
        column.nullable = true;
      } else if (is_word("NOT") && is_word("NULL", 1)) {
        next();
        next();
        column.nullable = false;
      } else if (is_word("CONSTRAINT") || is_word("PRIMARY")) {
        if (accept_word("CONSTRAINT")) {
          std::string name = identifier();
          if (is_word("DEFAULT")) continue;
          statement.constraint_name = std::move(name);
        }
        expect_word("PRIMARY");
        expect_word("KEY");
        if (!accept_word("CLUSTERED")) accept_word("NONCLUSTERED");
        column.primary_key = true;
      } else if (accept_word("DEFAULT")) {
        column.default_value = primary();
      } else if (accept_word("COLLATE")) {
        column.collation = collation_name();
      } else {
        break;
      }
    }
    return column;
  }

  void drop(Statement& statement) {
    next();
    const bool database = accept_word("DATABASE");
    if (!database) expect_word("TABLE");
    statement.kind = database ? StatementKind::DropDatabase : StatementKind::DropTable;
    if (is_word("IF") && is_word("EXISTS", 1)) {
      next();
      next();
      statement.if_exists = true;
    }
    do {
      if (database)
        statement.targets.push_back(ObjectName{{identifier()}});
      else
        statement.targets.push_back(object_name());
    } while (accept_symbol(","));
  }

  void alter(Statement& statement) {
    next();
    if (accept_word("DATABASE")) {
      alter_database(statement);
      return;
    }
    expect_word("TABLE");
    statement.kind = StatementKind::AlterTableAdd;
    statement.targets.push_back(object_name());
    expect_word("ADD");
    do {
      statement.definitions.push_back(column_definition(statement));
    } while (accept_symbol(","));
  }

  // ALTER DATABASE name SET state [WITH ROLLBACK IMMEDIATE | WITH ROLLBACK AFTER n [SECONDS] |
  // WITH NO_WAIT]: the states that decide whether a database can be used or changed.
  void alter_database(Statement& statement) {
    statement.kind = StatementKind::AlterDatabase;
    statement.name = identifier();
    expect_word("SET");
    static constexpr std::array<std::string_view, 6> kStates = {
        "ONLINE", "OFFLINE", "READ_ONLY", "READ_WRITE", "SINGLE_USER", "MULTI_USER"};
    if (std::find(kStates.begin(), kStates.end(), peek().upper) == kStates.end()) fail();
    statement.value = next().upper;
    if (!accept_word("WITH")) return;
    if (accept_word("NO_WAIT")) return;
    expect_word("ROLLBACK");
    if (accept_word("IMMEDIATE")) return;
    expect_word("AFTER");
    if (peek().kind != TokenKind::Number) fail();
    next();
    accept_word("SECONDS");
  }

  // SET options are accepted and, IMPLICIT_TRANSACTIONS aside, have no effect; only their shape
  // is checked.
  void set_option(Statement& statement) {
    next();
    statement.kind = StatementKind::Set;
    if (accept_word("TRANSACTION")) {
      expect_word("ISOLATION");
      expect_word("LEVEL");
      if (accept_word("READ")) {
        if (!accept_word("COMMITTED")) expect_word("UNCOMMITTED");
      } else if (accept_word("REPEATABLE")) {
        expect_word("READ");
      } else if (!accept_word("SERIALIZABLE")) {
        expect_word("SNAPSHOT");
      }
      return;
    }
    if (peek().kind == TokenKind::Variable) {
      const Token& variable = next();
      SqlError error = errors::undeclared_variable(variable.text);
      error.set_line(variable.line);
      throw error;
    }
    if (!is_identifier()) fail();
    statement.options.push_back(text::ascii_upper(next().text));
    while (accept_symbol(",")) statement.options.push_back(text::ascii_upper(identifier()));
    const Token& value = peek();
    statement.value = value.text;
    if (is_word("ON") || is_word("OFF") || value.kind == TokenKind::Number ||
        value.kind == TokenKind::String) {
      next();
    } else if (accept_symbol("-")) {
      if (peek().kind != TokenKind::Number) fail();
      statement.value = "-" + next().text;
    } else if (is_identifier()) {
      next();
    } else {
      fail();
    }
  }

  void begin(Statement& statement) {
    next();
    if (accept_word("TRAN") || accept_word("TRANSACTION")) {
      statement.kind = StatementKind::Begin;
      if (is_identifier()) next();
      return;
    }
    statement.kind = StatementKind::Block;
    for (;;) {
      while (accept_symbol(";")) {
      }
      if (accept_word("END")) return;
      if (!is_statement_start()) fail();
      statement.body.push_back(parse_statement(false));
    }
  }

  // Skips table hints such as WITH (NOLOCK).
  void table_hints() {
    if (is_word("WITH") && is_symbol("(", 1)) {
      next();
      next();
      do {
        identifier();
      } while (accept_symbol(","));
      expect_symbol(")");
    }
  }

  // --- queries ------------------------------------------------------------------------
  std::unique_ptr<SelectQuery> query() {
    auto result = std::make_unique<SelectQuery>();
    result->cores.push_back(select_core());
    while (accept_word("UNION")) {
      result->union_all.push_back(accept_word("ALL"));
      result->cores.push_back(select_core());
    }
    if (is_word("ORDER") && is_word("BY", 1)) {
      next();
      next();
      do {
        OrderItem item;
        item.expr = expression();
        if (accept_word("DESC"))
          item.descending = true;
        else
          accept_word("ASC");
        result->order_by.push_back(std::move(item));
      } while (accept_symbol(","));
    }
    return result;
  }

  SelectCore select_core() {
    expect_word("SELECT");
    SelectCore core;
    if (accept_word("DISTINCT"))
      core.distinct = true;
    else
      accept_word("ALL");
    if (accept_word("TOP")) {
      if (accept_symbol("(")) {
        core.top = expression();
        expect_symbol(")");
      } else {
        if (peek().kind != TokenKind::Number) fail();
        core.top = primary();
      }
    }
    do {
      core.items.push_back(select_item());
    } while (accept_symbol(","));
    if (accept_word("FROM")) {
      core.from.push_back(table_ref(JoinKind::First));
      for (;;) {
        if (accept_symbol(",")) {
          core.from.push_back(table_ref(JoinKind::Comma));
        } else if (is_word("JOIN") || is_word("INNER")) {
          accept_word("INNER");
          expect_word("JOIN");
          core.from.push_back(table_ref(JoinKind::Inner));
          expect_word("ON");
          core.from.back().on = expression();
        } else if (accept_word("LEFT")) {
          accept_word("OUTER");
          expect_word("JOIN");
          core.from.push_back(table_ref(JoinKind::Left));
          expect_word("ON");
          core.from.back().on = expression();
        } else if (is_word("CROSS") && is_word("JOIN", 1)) {
          next();
          next();
          core.from.push_back(table_ref(JoinKind::Cross));
        } else {
          break;
        }
      }
    }
    if (accept_word("WHERE")) core.where = expression();
    if (is_word("GROUP") && is_word("BY", 1)) {
      next();
      next();
      do {
        core.group_by.push_back(expression());
      } while (accept_symbol(","));
    }
    if (accept_word("HAVING")) core.having = expression();
    return core;
  }

  SelectItem select_item() {
    SelectItem item;
    if (accept_symbol("*")) {
      item.star = true;
      return item;
    }
    if (is_identifier() && is_symbol(".", 1) && is_symbol("*", 2)) {
      item.star = true;
      item.star_qualifier = next().text;
      next();
      next();
      return item;
    }
    if ((is_identifier() || peek().kind == TokenKind::String) && is_symbol("=", 1)) {
      item.alias = next().text;
      next();
      item.expr = expression();
      return item;
    }
    item.expr = expression();
    if (auto name = alias()) item.alias = *name;
    return item;
  }

  TableRef table_ref(JoinKind join) {
    TableRef ref;
    ref.join = join;
    ref.name = object_name();
    table_hints();
    if (auto name = alias()) ref.alias = *name;
    table_hints();
    return ref;
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

  ExprPtr expression() { return disjunction(); }

  ExprPtr disjunction() {
    auto left = conjunction();
    while (accept_word("OR")) left = binary(ExprKind::Or, "OR", std::move(left), conjunction());
    return left;
  }

  ExprPtr conjunction() {
    auto left = negation();
    while (accept_word("AND")) left = binary(ExprKind::And, "AND", std::move(left), negation());
    return left;
  }

  ExprPtr negation() {
    if (accept_word("NOT")) {
      auto expr = make(ExprKind::Not, "NOT");
      expr->args.push_back(negation());
      return expr;
    }
    return predicate();
  }

  ExprPtr predicate() {
    if (is_word("EXISTS")) {
      next();
      expect_symbol("(");
      auto expr = make(ExprKind::Exists);
      expr->query = query();
      expect_symbol(")");
      return expr;
    }
    auto left = additive();
    static constexpr std::array<std::string_view, 9> kCompare = {"=",  "<>", "!=", "<", ">",
                                                                 "<=", ">=", "!<", "!>"};
    if (peek().kind == TokenKind::Symbol &&
        std::find(kCompare.begin(), kCompare.end(), peek().text) != kCompare.end()) {
      std::string op = next().text;
      return binary(ExprKind::Compare, std::move(op), std::move(left), additive());
    }
    const bool negated =
        is_word("NOT") && (is_word("LIKE", 1) || is_word("IN", 1) || is_word("BETWEEN", 1));
    if (negated) next();
    if (accept_word("LIKE")) {
      auto expr = binary(ExprKind::Like, "LIKE", std::move(left), additive());
      expr->negated = negated;
      if (accept_word("ESCAPE")) expr->args.push_back(additive());
      return expr;
    }
    if (accept_word("IN")) {
      auto expr = make(ExprKind::In);
      expr->negated = negated;
      expr->args.push_back(std::move(left));
      expect_symbol("(");
      if (is_word("SELECT")) {
        expr->query = query();
      } else {
        do {
          expr->args.push_back(expression());
        } while (accept_symbol(","));
      }
      expect_symbol(")");
      return expr;
    }
    if (accept_word("BETWEEN")) {
      auto expr = make(ExprKind::Between);
      expr->negated = negated;
      expr->args.push_back(std::move(left));
      expr->args.push_back(additive());
      expect_word("AND");
      expr->args.push_back(additive());
      return expr;
    }
    if (accept_word("IS")) {
      auto expr = make(ExprKind::IsNull);
      expr->negated = accept_word("NOT");
      expect_word("NULL");
      expr->args.push_back(std::move(left));
      return expr;
    }
    return left;
  }

  ExprPtr additive() {
    auto left = multiplicative();
    while (is_symbol("+") || is_symbol("-")) {
      std::string op = next().text;
      left = binary(ExprKind::Arithmetic, std::move(op), std::move(left), multiplicative());
    }
    return left;
  }

  ExprPtr multiplicative() {
    auto left = unary();
    while (is_symbol("*") || is_symbol("/") || is_symbol("%")) {
      std::string op = next().text;
      left = binary(ExprKind::Arithmetic, std::move(op), std::move(left), unary());
    }
    return left;
  }

  ExprPtr unary() {
    if (accept_symbol("-")) {
      auto expr = make(ExprKind::Negate, "-");
      expr->args.push_back(unary());
      return expr;
    }
    if (accept_symbol("+")) return unary();
    return primary();
  }

  ExprPtr primary() {
    const Token& token = peek();
    switch (token.kind) {
      case TokenKind::Number: {
        next();
        const bool fractional = token.text.find_first_of(".eE") != std::string::npos;
        auto expr = make(fractional ? ExprKind::Float : ExprKind::Integer, token.text);
        expr->raw = token.raw;
        return expr;
      }
      case TokenKind::String:
      case TokenKind::NationalString: {
        next();
        auto expr = make(ExprKind::String, token.text);
        expr->national = token.kind == TokenKind::NationalString;
        expr->raw = token.raw;
        return expr;
      }
      case TokenKind::Variable: {
        next();
        auto expr = make(ExprKind::Variable, token.text);
        expr->raw = token.raw;
        return expr;
      }
      case TokenKind::Symbol:
        if (accept_symbol("(")) {
          if (is_word("SELECT")) {
            auto expr = make(ExprKind::Subquery);
            expr->query = query();
            expect_symbol(")");
            return expr;
          }
          auto inner = expression();
          expect_symbol(")");
          return inner;
        }
        fail();
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
    if (token.upper == "CASE") return case_expression();
    if (token.upper == "CAST" && is_symbol("(", 1)) {
      next();
      next();
      auto expr = make(ExprKind::Cast, "CAST");
      expr->args.push_back(expression());
      expect_word("AS");
      expr->type_text = type_text();
      expect_symbol(")");
      return expr;
    }
    if (token.upper == "CONVERT" && is_symbol("(", 1)) {
      next();
      next();
      auto expr = make(ExprKind::Cast, "CONVERT");
      expr->type_text = type_text();
      expect_symbol(",");
      expr->args.push_back(expression());
      if (accept_symbol(",")) expression();
      expect_symbol(")");
      return expr;
    }
    if (token.upper == "CURRENT_USER" || token.upper == "SYSTEM_USER" ||
        token.upper == "SESSION_USER") {
      next();
      return make(ExprKind::Function, token.upper);
    }
    const bool callable_keyword = token.upper == "LEFT" || token.upper == "RIGHT";
    if (is_symbol("(", 1) && (callable_keyword || !is_reserved(token.upper))) {
      next();
      next();
      auto expr = make(ExprKind::Function, token.upper);
      expr->raw = token.raw;
      if (accept_symbol(")")) return expr;
      if (accept_symbol("*")) {
        expr->args.push_back(make(ExprKind::Star, "*"));
      } else {
        expr->distinct = accept_word("DISTINCT");
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

  ExprPtr case_expression() {
    next();
    auto expr = make(ExprKind::Case, "CASE");
    if (!is_word("WHEN")) expr->operand = expression();
    if (!is_word("WHEN")) fail();
    while (accept_word("WHEN")) {
      expr->args.push_back(expression());
      expect_word("THEN");
      expr->args.push_back(expression());
    }
    if (accept_word("ELSE")) expr->otherwise = expression();
    expect_word("END");
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
