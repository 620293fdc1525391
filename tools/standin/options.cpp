// Parsing of the command-line options.
#include "options.hpp"

#include <charconv>
#include <cmath>
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

}  // namespace

const char* usage_text() {
  return "usage: oravend-standin [options]\n"
         "  --listen ADDR:PORT      TCP address to listen on (default 127.0.0.1:0)\n"
         "  --login NAME:PASSWORD   an SQL Server login (repeatable; default sa:Oravend-Demo1)\n"
         "  --instance NAME         answer SQL Server Browser requests on UDP ADDR:1434\n"
         "  --data-dir DIR          directory of the SQLite files (default: temporary)\n"
         "  --seed FILE             T-SQL script run before listening (GO separates batches)\n"
         "  --collation NAME        the server's collation: master's and the default of new\n"
         "                          databases (default Japanese_CI_AS)\n"
         "  --wire-log FILE         append one JSON line per request received\n"
         "  --ready-file FILE       write \"ADDR PORT\" to FILE when listening; removed when the\n"
         "                          server has stopped\n"
         "  --require-encryption    answer PRELOGIN with ENCRYPT_REQ, as a server that forces\n"
         "                          encryption; no TLS follows: every connection is then closed\n"
         "  --exit-with-parent      exit when the parent process goes away\n"
         "  --exit-when-idle SECONDS  exit when no client has been connected for SECONDS\n"
         "  --stop-file FILE        exit when FILE appears (for clients that cannot log in)\n"
         "  --fail-batch N:ERROR    the Nth SQL batch fails with error ERROR; an error of\n"
         "                          severity 20 or more (4014) then closes the connection\n"
         "  --fail-text TEXT:ERROR  the first SQL batch containing TEXT fails with ERROR\n"
         "  --hold TEXT:SECONDS     hold SQL batches containing TEXT before running them\n"
         "  --drop-batch N          close the connection when the Nth SQL batch arrives\n"
         "  --stall-batch N         never answer the Nth SQL batch, nor a cancel of it\n"
         "  --drop-reply N          run the Nth SQL batch, send part of its reply, then close the\n"
         "                          connection (repeatable)\n"
         "  --drop-in-rows N        run the Nth SQL batch, send its reply up to its first row,\n"
         "                          then close the connection (repeatable)\n"
         "  --reply-delay MS        wait MS milliseconds (fractions allowed) before every reply\n"
         "  --restoring DB          database DB (made by the seed) is in the middle of a restore:\n"
         "                          using it fails with error 927 (repeatable)\n"
         "  --help                  show this text\n";
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
    auto value = [&]() -> std::string {
      if (inline_value) return *inline_value;
      if (i + 1 >= argc) throw UsageError(option + " needs a value");
      return argv[++i];
    };
    if (option == "--help") {
      options.help = true;
    } else if (option == "--collation") {
      options.collation = value();
      if (!collations::code_page(options.collation))
        throw UsageError("--collation: unknown collation '" + options.collation + "'");
    } else if (option == "--require-encryption") {
      options.require_encryption = true;
    } else if (option == "--exit-with-parent") {
      options.exit_with_parent = true;
    } else if (option == "--exit-when-idle") {
      const auto seconds = number<int>(option, value());
      if (seconds <= 0) throw UsageError("--exit-when-idle: the seconds must be positive");
      options.exit_when_idle = std::chrono::seconds(seconds);
    } else if (option == "--stop-file") {
      options.stop_file = value();
    } else if (option == "--listen") {
      try {
        options.listen = parse_endpoint(value());
      } catch (const std::invalid_argument& error) {
        throw UsageError("--listen: " + std::string(error.what()));
      }
    } else if (option == "--login") {
      const auto text = value();
      const auto colon = text.find(':');
      if (colon == std::string::npos || colon == 0)
        throw UsageError("--login: expected NAME:PASSWORD, got '" + text + "'");
      options.logins.push_back({text.substr(0, colon), text.substr(colon + 1)});
    } else if (option == "--instance") {
      options.instance = value();
      if (options.instance->empty()) throw UsageError("--instance: the name may not be empty");
    } else if (option == "--data-dir") {
      options.data_dir = value();
    } else if (option == "--seed") {
      options.seed = value();
    } else if (option == "--wire-log") {
      options.wire_log = value();
    } else if (option == "--ready-file") {
      options.ready_file = value();
    } else if (option == "--fail-batch") {
      const auto [batch, error] = split_last(option, value());
      const auto n = number<std::uint64_t>(option, batch);
      if (n == 0) throw UsageError("--fail-batch: batches are counted from 1");
      options.fail_batches.emplace_back(n, error_number(option, error));
    } else if (option == "--fail-text") {
      const auto [text, error] = split_last(option, value());
      options.fail_texts.emplace_back(text, error_number(option, error));
    } else if (option == "--hold") {
      const auto [text, seconds_text] = split_last(option, value());
      const double seconds = number<double>(option, seconds_text);
      if (!(seconds >= 0) || !std::isfinite(seconds))
        throw UsageError("--hold: the seconds must not be negative");
      options.holds.emplace_back(text, std::chrono::milliseconds(std::llround(seconds * 1000)));
    } else if (option == "--stall-batch") {
      const auto n = number<std::uint64_t>(option, value());
      if (n == 0) throw UsageError("--stall-batch: batches are counted from 1");
      options.stalled_batches.push_back(n);
    } else if (option == "--drop-batch") {
      const auto n = number<std::uint64_t>(option, value());
      if (n == 0) throw UsageError("--drop-batch: batches are counted from 1");
      options.drop_batches.push_back(n);
    } else if (option == "--drop-reply" || option == "--drop-in-rows") {
      const auto n = number<std::uint64_t>(option, value());
      if (n == 0) throw UsageError(option + ": batches are counted from 1");
      (option == "--drop-reply" ? options.drop_replies : options.drops_in_rows).push_back(n);
    } else if (option == "--reply-delay") {
      const double milliseconds = number<double>(option, value());
      if (!(milliseconds >= 0) || !std::isfinite(milliseconds))
        throw UsageError("--reply-delay: the milliseconds must not be negative");
      options.reply_delay = std::chrono::nanoseconds(std::llround(milliseconds * 1e6));
    } else if (option == "--restoring") {
      options.restoring_databases.push_back(value());
    } else {
      throw UsageError("unknown option '" + option + "'");
    }
  }
  if (options.logins.empty()) options.logins.push_back({"sa", "Oravend-Demo1"});
  return options;
}

}  // namespace standin
