// Request loop of a client connection.
#include "tds_connection.hpp"

#include <sys/socket.h>

#include <iostream>
#include <thread>

#include "tds_login.hpp"
#include "text.hpp"

namespace standin {
namespace {

constexpr std::uint16_t kFirstSpid = 51;
constexpr std::uint16_t kTmBegin = 5;
constexpr std::uint16_t kTmCommit = 7;
constexpr std::uint16_t kTmRollback = 8;
constexpr std::uint8_t kBeginNewTransaction = 0x01;

class ConnectionClosed : public std::runtime_error {
 public:
  ConnectionClosed() : std::runtime_error("connection closed by the client") {}
};

std::vector<std::uint8_t> descriptor_bytes(std::uint64_t descriptor) {
  std::vector<std::uint8_t> bytes;
  tds::put_u64(bytes, descriptor);
  return bytes;
}

}  // namespace

TdsConnection::TdsConnection(int fd, int id, ConnectionContext& context)
    : fd_(fd),
      id_(id),
      context_(context),
      channel_(fd, static_cast<std::uint16_t>(kFirstSpid + id - 1)) {}

TdsConnection::~TdsConnection() = default;

void TdsConnection::log(nlohmann::ordered_json fields) {
  nlohmann::ordered_json line;
  line["conn"] = id_;
  line["login"] = login_name_;
  line["database"] = session_ ? session_->database() : std::string("master");
  for (const auto& [key, value] : fields.items()) line[key] = value;
  context_.log.write(line);
}

void TdsConnection::serve() {
  try {
    if (!login()) return;
    while (auto request = channel_.read()) {
      switch (static_cast<tds::PacketType>(request->type)) {
        case tds::PacketType::SqlBatch:
          if (!handle_batch(*request)) return;
          break;
        case tds::PacketType::TransactionManager:
          handle_transaction_request(*request);
          break;
        case tds::PacketType::Attention:
          log({{"kind", "attention"}});
          answer_attention();
          break;
        case tds::PacketType::Rpc:
          log({{"kind", "rpc"}});
          message(errors::unsupported("remote procedure calls").message(), true, 1);
          done({.error = true});
          send_reply();
          break;
        default:
          std::cerr << "oravend-standin: connection " << id_ << ": unexpected packet type "
                    << static_cast<int>(request->type) << "\n";
          return;
      }
    }
  } catch (const ConnectionClosed&) {
  } catch (const std::exception& error) {
    if (!context_.stop.raised())
      std::cerr << "oravend-standin: connection " << id_ << ": " << error.what() << "\n";
  }
}

// --- login ------------------------------------------------------------------------------

bool TdsConnection::login() {
  auto request = channel_.read();
  if (request && request->type == static_cast<std::uint8_t>(tds::PacketType::PreLogin)) {
    send(tds::prelogin_reply(context_.require_encryption));
    request = channel_.read();
    if (context_.require_encryption) {
      // What follows is a TLS handshake (in PRELOGIN packets), which the stand-in cannot
      // answer, or a plain login, which such a server refuses: it ends the connection either way.
      log({{"kind", "prelogin"}, {"encryption", "required"}});
      close();
      return false;
    }
  }
  if (!request || request->type != static_cast<std::uint8_t>(tds::PacketType::Login7)) return false;

  const auto login = tds::parse_login7(request->payload);
  version_ = tds::answered_version(login.tds_version);
  writer_.emplace(version_);
  login_name_ = login.user;
  const std::string database = login.database.empty() ? "master" : login.database;

  if (login.integrated)
    return login_failed({errors::integrated_login_refused()}, login.user, database);
  const LoginAccount* account = nullptr;
  for (const auto& candidate : context_.logins)
    if (text::collate_equal(candidate.name, login.user) && candidate.password == login.password)
      account = &candidate;
  if (account == nullptr)
    return login_failed({errors::login_failed(login.user)}, login.user, database);

  auto session = std::make_unique<EngineSession>(context_.engine);
  try {
    session->enter_database(database);
  } catch (const SqlError& error) {
    const auto first =
        error.number() == 911 ? errors::login_database_unavailable(database) : error.message();
    return login_failed({first, errors::login_failed(login.user)}, login.user, database);
  }
  session_ = std::move(session);
  log({{"kind", "login"}, {"database", database}, {"ok", true}});

  const std::string server = context_.engine.server_name;
  writer_->env_string(tds::kEnvDatabase, session_->database(), "master");
  writer_->message(errors::database_changed(session_->database(), 2), false, server, 1);
  writer_->env_bytes(tds::kEnvCollation, tds::kCollation, {});
  writer_->env_string(tds::kEnvLanguage, "us_english", "");
  writer_->message(errors::language_changed(), false, server, 1);
  writer_->login_ack(version_);
  writer_->env_string(tds::kEnvPacketSize, "4096", "4096");
  writer_->done(0, 0, 0);
  send_reply();
  return true;
}

bool TdsConnection::login_failed(const std::vector<ServerMessage>& messages,
                                 const std::string& user, const std::string& database) {
  login_name_ = user;
  log({{"kind", "login"}, {"database", database}, {"ok", false}});
  for (const auto& failure : messages)
    writer_->message(failure, true, context_.engine.server_name, 1);
  writer_->done(tds::kDoneError, 0, 0);
  send_reply();
  close();
  return false;
}

// --- requests ---------------------------------------------------------------------------

std::span<const std::uint8_t> TdsConnection::request_body(const tds::Message& request) const {
  std::span<const std::uint8_t> body(request.payload);
  if (!tds::is_tds72_or_later(version_)) return body;
  const std::size_t headers = tds::get_u32(body, 0);
  if (headers > body.size()) throw std::runtime_error("ALL_HEADERS longer than the request");
  return body.subspan(headers);
}

bool TdsConnection::handle_batch(const tds::Message& request) {
  const std::string sql = text::utf16le_to_utf8(request_body(request));
  const auto fault = context_.faults.on_batch(sql);
  log({{"kind", "batch"}, {"sql", sql}});
  if (fault.drop) {
    close();
    return false;
  }
  if (fault.stall) {
    // Nothing is read or sent again on this connection: it waits for the server's stop only.
    wait_readable(context_.stop.fd(), context_.stop, std::nullopt);
    return false;
  }
  if (fault.fail) {
    const auto error = errors::injected(*fault.fail);
    session_->report(error, *this);
    send_reply();
    // Errors of severity 20 and above end the session.
    if (error.message().severity < 20) return true;
    close();
    return false;
  }
  if (fault.hold && !wait(*fault.hold)) {
    answer_cancelled_request();
    return !context_.stop.raised();
  }
  cut_ = fault.cut;
  cut_at_.reset();
  const auto outcome = session_->run_batch(sql, *this);
  if (outcome.cancelled) {
    answer_cancelled_request();
    return !context_.stop.raised();
  }
  if (fault.cut != ReplyCut::None) {
    send_cut_reply();
    close();
    return false;
  }
  send_reply();
  if (outcome.shutdown) {
    context_.request_shutdown();
    return false;
  }
  return true;
}

// The reply as far as the client gets it before the connection goes.
void TdsConnection::send_cut_reply() {
  const auto payload = writer_->finish();
  const auto cut = cut_;
  cut_ = ReplyCut::None;
  if (cut == ReplyCut::Half) {
    send(payload, Sending::Half);
  } else {
    send(std::span(payload).first(std::min(cut_at_.value_or(payload.size()), payload.size())),
         Sending::Unfinished);
  }
}

void TdsConnection::handle_transaction_request(const tds::Message& request) {
  const auto body = request_body(request);
  const std::uint16_t type = tds::get_u16(body, 0);
  bool begin_new = false;
  std::string kind;
  if (type == kTmBegin) {
    kind = "begin";
  } else if (type == kTmCommit || type == kTmRollback) {
    kind = type == kTmCommit ? "commit" : "rollback";
    // Name (B_VARCHAR), then the flags byte.
    if (body.size() > 2) {
      const std::size_t flags_at = 3 + 2 * static_cast<std::size_t>(body[2]);
      begin_new = flags_at < body.size() && (body[flags_at] & kBeginNewTransaction) != 0;
    }
  }
  log({{"kind", "tm"},
       {"request", kind.empty() ? std::to_string(type) : kind},
       {"new_transaction", begin_new}});
  if (kind == "begin") {
    session_->begin_transaction(*this);
  } else if (!kind.empty()) {
    session_->end_transaction(kind == "commit", begin_new, *this);
  } else {
    message(errors::unsupported("transaction manager request " + std::to_string(type)).message(),
            true, 1);
    done({.error = true});
  }
  send_reply();
}

void TdsConnection::send_reply() { send(writer_->finish()); }

// Every reply waits for the configured delay, as if it crossed a slow network.
void TdsConnection::send(std::span<const std::uint8_t> payload, Sending how) {
  if (context_.reply_delay.count() > 0) std::this_thread::sleep_for(context_.reply_delay);
  switch (how) {
    case Sending::Whole:
      channel_.send(payload);
      break;
    case Sending::Half:
      channel_.send_partial(payload);
      break;
    case Sending::Unfinished:
      channel_.send_unfinished(payload);
      break;
  }
}

// Ends the session first, so that its open transaction is rolled back before the client can
// notice that the connection is gone.
void TdsConnection::close() {
  session_.reset();
  ::shutdown(fd_, SHUT_RDWR);
}

void TdsConnection::answer_attention() {
  tds::TokenWriter acknowledgement(version_);
  acknowledgement.done(tds::kDoneAttention, 0, 0);
  send(acknowledgement.finish());
}

// The reply in progress is closed with its own DONE before the attention is acknowledged in
// a message of its own; some clients need the two messages apart.
void TdsConnection::answer_cancelled_request() {
  if (!attention_received_) return;
  attention_received_ = false;
  send_reply();
  answer_attention();
}

// --- ReplySink --------------------------------------------------------------------------

void TdsConnection::columns(const std::vector<ResultColumn>& result_columns) {
  columns_ = result_columns;
  writer_->column_metadata(columns_);
}

void TdsConnection::row(const std::vector<Value>& values) {
  writer_->row(columns_, values);
  if (cut_ == ReplyCut::InRows && !cut_at_) cut_at_ = writer_->size();
}

void TdsConnection::done(const Done& done_record) {
  std::uint16_t status = 0;
  if (done_record.error) status |= tds::kDoneError;
  if (done_record.has_count) status |= tds::kDoneCount;
  writer_->done(status, static_cast<std::uint16_t>(done_record.command), done_record.count);
}

void TdsConnection::message(const ServerMessage& server_message, bool is_error, int line) {
  writer_->message(server_message, is_error, context_.engine.server_name, line);
}

void TdsConnection::database_changed(const std::string& old_name, const std::string& new_name) {
  writer_->env_string(tds::kEnvDatabase, new_name, old_name);
}

void TdsConnection::transaction_began(std::uint64_t descriptor) {
  if (tds::is_tds72_or_later(version_))
    writer_->env_bytes(tds::kEnvBeginTransaction, descriptor_bytes(descriptor), {});
}

void TdsConnection::transaction_ended(bool committed, std::uint64_t descriptor) {
  if (tds::is_tds72_or_later(version_)) {
    writer_->env_bytes(committed ? tds::kEnvCommitTransaction : tds::kEnvRollbackTransaction, {},
                       descriptor_bytes(descriptor));
  }
}

bool TdsConnection::wait(std::chrono::milliseconds duration) {
  const auto deadline = std::chrono::steady_clock::now() + duration;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    switch (wait_readable(fd_, context_.stop, left)) {
      case WaitResult::TimedOut:
        return true;
      case WaitResult::Stopped:
        return false;
      case WaitResult::Readable:
        break;
    }
    const auto request = channel_.read();
    if (!request) throw ConnectionClosed();
    if (request->type != static_cast<std::uint8_t>(tds::PacketType::Attention))
      throw std::runtime_error("a request arrived while another was running");
    log({{"kind", "attention"}});
    attention_received_ = true;
    return false;
  }
}

}  // namespace standin
