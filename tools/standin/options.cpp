// Parsing of the command-line options.
#include "options.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>

namespace standin {
namespace {

template <typename Number>
Number number(const std::string& option, std::string_view text) {
  Number value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    throw UsageError(option + ": '" + std::string(text) + "' is not a valid number");
  return value;
}

// Splits "LEFT:RIGHT" at the last ':' so that LEFT may contain colons.
std::pair<std::string, std::string> split_last(const std::string& option,
                                               const std::string& value) {
  const auto colon = value.rfind(':');
  if (colon == std::string::npos || colon == 0)
    throw UsageError(option + ": expected a value of the form X:Y, got '" + value + "'");
  return {value.substr(0, colon), value.substr(colon + 1)};
}

int error_number(const std::string& option, std::string_view text) {
  const int error = number<int>(option, text);
  if (error <= 0) throw UsageError(option + ": the error number must be positive");
  return error;
}

// Every option once: its argument, its help and what it sets. A switch has no argument.
struct OptionRow {
  const char* name;
  const char* argument;
  const char* help;  // lines after the first are indented under it
  void (*apply)(Options& options, const std::string& option, const std::string& value);
};

std::uint64_t batch_number(const std::string& option, std::string_view text) {
  const auto n = number<std::uint64_t>(option, text);
  if (n == 0) throw UsageError(option + ": batches are counted from 1");
  return n;
}

const OptionRow kOptions[] = {
    {"--listen", "ADDR:PORT", "TCP address to listen on (default 127.0.0.1:0)",
     [](Options& o, const std::string&, const std::string& v) {
       try {
         o.listen = parse_endpoint(v);
       } catch (const std::invalid_argument& error) {
         throw UsageError("--listen: " + std::string(error.what()));
       }
     }},
    {"--login", "NAME:PASSWORD", "an SQL Server login (repeatable; default sa:Oravend-Demo1)",
     [](Options& o, const std::string&, const std::string& v) {
       const auto colon = v.find(':');
       if (colon == std::string::npos || colon == 0)
         throw UsageError("--login: expected NAME:PASSWORD, got '" + v + "'");
       o.logins.push_back({v.substr(0, colon), v.substr(colon + 1)});
     }},
    {"--instance", "NAME", "answer SQL Server Browser requests on UDP ADDR:1434",
     [](Options& o, const std::string&, const std::string& v) {
       if (v.empty()) throw UsageError("--instance: the name may not be empty");
       o.instance = v;
     }},
    {"--data-dir", "DIR", "directory of the SQLite files (default: temporary)",
     [](Options& o, const std::string&, const std::string& v) { o.data_dir = v; }},
    {"--seed", "FILE", "T-SQL script run before listening (GO separates batches)",
     [](Options& o, const std::string&, const std::string& v) { o.seed = v; }},
    {"--collation", "NAME",
     "the server's collation: master's and the default of new\ndatabases (default "
     "Japanese_CI_AS)",
     [](Options& o, const std::string&, const std::string& v) {
       if (!collations::code_page(v))
         throw UsageError("--collation: unknown collation '" + v + "'");
       o.collation = v;
     }},
    {"--wire-log", "FILE", "append one JSON line per request received",
     [](Options& o, const std::string&, const std::string& v) { o.wire_log = v; }},
    {"--ready-file", "FILE",
     "write \"ADDR PORT\" to FILE when listening; removed when the\nserver has stopped",
     [](Options& o, const std::string&, const std::string& v) { o.ready_file = v; }},
    {"--require-encryption", nullptr,
     "answer PRELOGIN with ENCRYPT_REQ, as a server that forces\nencryption; no TLS follows: every "
     "connection is then closed",
     [](Options& o, const std::string&, const std::string&) { o.require_encryption = true; }},
    {"--exit-with-parent", nullptr, "exit when the parent process goes away",
     [](Options& o, const std::string&, const std::string&) { o.exit_with_parent = true; }},
    {"--exit-when-idle", "SECONDS", "exit when no client has been connected for SECONDS",
     [](Options& o, const std::string& option, const std::string& v) {
       const auto seconds = number<int>(option, v);
       if (seconds <= 0) throw UsageError("--exit-when-idle: the seconds must be positive");
       o.exit_when_idle = std::chrono::seconds(seconds);
     }},
    {"--stop-file", "FILE", "exit when FILE appears (for clients that cannot log in)",
     [](Options& o, const std::string&, const std::string& v) { o.stop_file = v; }},
    {"--fail-batch", "N:ERROR",
     "the Nth SQL batch fails with error ERROR; an error of\nseverity 20 or more (4014) then "
     "closes the connection",
     [](Options& o, const std::string& option, const std::string& v) {
       const auto [batch, error] = split_last(option, v);
       o.fail_batches.emplace_back(batch_number(option, batch), error_number(option, error));
     }},
    {"--fail-text", "TEXT:ERROR", "the first SQL batch containing TEXT fails with ERROR",
     [](Options& o, const std::string& option, const std::string& v) {
       const auto [text, error] = split_last(option, v);
       o.fail_texts.emplace_back(text, error_number(option, error));
     }},
    {"--hold", "TEXT:SECONDS", "hold SQL batches containing TEXT before running them",
     [](Options& o, const std::string& option, const std::string& v) {
       const auto [text, seconds_text] = split_last(option, v);
       const double seconds = number<double>(option, seconds_text);
       if (!(seconds >= 0) || !std::isfinite(seconds))
         throw UsageError("--hold: the seconds must not be negative");
       o.holds.emplace_back(text, std::chrono::milliseconds(std::llround(seconds * 1000)));
     }},
    {"--drop-batch", "N", "close the connection when the Nth SQL batch arrives",
     [](Options& o, const std::string& option, const std::string& v) {
       o.drop_batches.push_back(batch_number(option, v));
     }},
    {"--stall-batch", "N", "never answer the Nth SQL batch, nor a cancel of it",
     [](Options& o, const std::string& option, const std::string& v) {
       o.stalled_batches.push_back(batch_number(option, v));
     }},
    {"--drop-reply", "N",
     "run the Nth SQL batch, send part of its reply, then close the\nconnection (repeatable)",
     [](Options& o, const std::string& option, const std::string& v) {
       o.drop_replies.push_back(batch_number(option, v));
     }},
    {"--drop-in-rows", "N",
     "run the Nth SQL batch, send its reply up to its first row,\nthen close the connection "
     "(repeatable)",
     [](Options& o, const std::string& option, const std::string& v) {
       o.drops_in_rows.push_back(batch_number(option, v));
     }},
    {"--reply-delay", "MS", "wait MS milliseconds (fractions allowed) before every reply",
     [](Options& o, const std::string& option, const std::string& v) {
       const double milliseconds = number<double>(option, v);
       if (!(milliseconds >= 0) || !std::isfinite(milliseconds))
         throw UsageError("--reply-delay: the milliseconds must not be negative");
       o.reply_delay = std::chrono::nanoseconds(std::llround(milliseconds * 1e6));
     }},
    {"--restoring", "DB",
     "database DB (made by the seed) is in the middle of a restore:\nusing it fails with error "
     "927 (repeatable)",
     [](Options& o, const std::string&, const std::string& v) {
       o.restoring_databases.push_back(v);
     }},
    {"--help", nullptr, "show this text",
     [](Options& o, const std::string&, const std::string&) { o.help = true; }},
};

}  // namespace

const char* usage_text() {
  static const std::string text = [] {
    constexpr std::size_t kColumn = 22;
    std::string usage = "usage: oravend-standin [options]\n";
    for (const auto& row : kOptions) {
      std::string left = row.name;
      if (row.argument != nullptr) left += std::string(" ") + row.argument;
      usage +=
          "  " + left + std::string(left.size() < kColumn ? kColumn - left.size() : 0, ' ') + "  ";
      for (const char* c = row.help; *c != '\0'; ++c) {
        usage += *c;
        if (*c == '\n') usage += std::string(kColumn + 4, ' ');
      }
      usage += "\n";
    }
    return usage;
  }();
  return text.c_str();
}

Options parse_options(int argc, const char* const* argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    std::optional<std::string> inline_value;
    if (const auto equals = option.find('=');
        option.rfind("--", 0) == 0 && equals != std::string::npos) {
      inline_value = option.substr(equals + 1);
      option.resize(equals);
    }
    const auto row = std::find_if(std::begin(kOptions), std::end(kOptions),
                                  [&](const OptionRow& r) { return option == r.name; });
    if (row == std::end(kOptions)) throw UsageError("unknown option '" + option + "'");
    std::string value;
    if (row->argument != nullptr) {
      if (inline_value) {
        value = *inline_value;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        throw UsageError(option + " needs a value");
      }
    }
    row->apply(options, option, value);
  }
  if (options.logins.empty()) options.logins.push_back({"sa", "Oravend-Demo1"});
  return options;
}

}  // namespace standin
