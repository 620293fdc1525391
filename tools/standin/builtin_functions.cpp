// The built-in T-SQL functions the stand-in knows: those the tool's catalog checks and an
// administrator's checks of the demo call.
#include <algorithm>
#include <array>

#include "sql_errors.hpp"
#include "text.hpp"
#include "translator.hpp"

namespace standin {

using tsql::Expr;
using tsql::ExprKind;

struct Translator::Function {
  std::string_view name;
  std::size_t min_args;
  std::size_t max_args;
  Typed (*translate)(Translator& self, const Expr& call, const Scope& scope);
};

namespace {

const std::string kObjects = quote_name(catalog::kObjectsTable);

SqlType integer() { return SqlType::integer(TypeKind::Int); }
SqlType sysname() { return SqlType::character(TypeKind::NVarChar, 128); }

// The upper-case text of a string literal argument; properties are named by literals.
std::string property_name(const Expr& argument) {
  return argument.kind == ExprKind::String ? text::ascii_upper(argument.text) : std::string();
}

}  // namespace

const Translator::Function* Translator::find_function(std::string_view name) {
  static const std::array<Function, 7> kFunctions = {{
      {"COUNT", 1, 1,
       [](Translator& self, const Expr& call, const Scope& scope) -> Typed {
         if (call.args[0]->kind == ExprKind::Star) return {"count(*)", integer()};
         return {"count(" + self.expr(*call.args[0], scope).sql + ")", integer()};
       }},
      {"DATALENGTH", 1, 1,
       [](Translator& self, const Expr& call, const Scope& scope) -> Typed {
         const auto value = self.expr(*call.args[0], scope);
         if (!value.type.is_character()) {
           return {"(CASE WHEN " + value.sql + " IS NULL THEN NULL ELSE " +
                       std::to_string(value.type.max_length_bytes()) + " END)",
                   integer()};
         }
         // Bytes as stored: two per UTF-16 unit for national data, else the code page's.
         const int page =
             value.type.is_national() ? text::kNational : self.code_page(value.collation);
         return {"tsql_datalength(" + value.sql + ", " + std::to_string(page) + ")", integer()};
       }},
      {"DB_NAME", 0, 0,
       [](Translator& self, const Expr&, const Scope&) -> Typed {
         return {quote_text(self.context_.database), sysname()};
       }},
      {"OBJECT_ID", 1, 1,
       [](Translator& self, const Expr& call, const Scope& scope) -> Typed {
         return {"(SELECT \"$o\".object_id FROM " + kObjects +
                     " AS \"$o\" WHERE \"$o\".name = tsql_object_name(" +
                     self.expr(*call.args[0], scope).sql + ", " +
                     quote_text(self.context_.database) + "))",
                 integer()};
       }},
      {"OBJECTPROPERTY", 2, 2,
       [](Translator& self, const Expr& call, const Scope& scope) -> Typed {
         if (property_name(*call.args[1]) != "ISUSERTABLE") return {"NULL", integer()};
         return {"(SELECT CASE WHEN \"$o\".type = 'U' THEN 1 ELSE 0 END FROM " + kObjects +
                     " AS \"$o\" WHERE \"$o\".object_id = " + self.expr(*call.args[0], scope).sql +
                     ")",
                 integer()};
       }},
      {"COLLATIONPROPERTY", 2, 2,
       [](Translator& self, const Expr& call, const Scope& scope) -> Typed {
         return {"tsql_collation_property(" + self.expr(*call.args[0], scope).sql + ", " +
                     self.expr(*call.args[1], scope).sql + ")",
                 integer()};
       }},
      {"SERVERPROPERTY", 1, 1,
       [](Translator& self, const Expr& call, const Scope&) -> Typed {
         if (property_name(*call.args[0]) != "COLLATION") return {"NULL", sysname()};
         return {quote_text(self.context_.registry.server_collation()), sysname()};
       }},
  }};
  const auto found = std::find_if(kFunctions.begin(), kFunctions.end(),
                                  [&](const Function& f) { return f.name == name; });
  return found == kFunctions.end() ? nullptr : &*found;
}

Translator::Typed Translator::function(const Expr& e, const Scope& scope) {
  const auto* known = find_function(e.text);
  if (known == nullptr) throw errors::unknown_function(e.raw.empty() ? e.text : e.raw);
  if (e.args.size() < known->min_args || e.args.size() > known->max_args)
    throw errors::wrong_argument_count(e.text, static_cast<int>(known->min_args));
  return known->translate(*this, e, scope);
}

}  // namespace standin
