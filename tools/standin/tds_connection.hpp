// One client connection: PRELOGIN and LOGIN7, then SQL batches, transaction-manager requests
// and attentions, each logged and answered as SQL Server would.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine_session.hpp"
#include "fault_plan.hpp"
#include "options.hpp"
#include "posix_io.hpp"
#include "reply_sink.hpp"
#include "tds_packet.hpp"
#include "tds_tokens.hpp"
#include "wire_log.hpp"

namespace standin {

// What all connections share.
struct ConnectionContext {
  const std::vector<LoginAccount>& logins;
  const EngineSettings& engine;
  WireLog& log;
  FaultPlan& faults;
  const StopSignal& stop;
  std::function<void()> request_shutdown;
  std::chrono::nanoseconds reply_delay{0};
  bool require_encryption = false;
};

class TdsConnection final : public ReplySink {
 public:
  TdsConnection(int fd, int id, ConnectionContext& context);
  ~TdsConnection() override;

  // Serves the client until it leaves, the server stops, SHUTDOWN runs or a batch or its reply
  // is dropped.
  void serve();

  void columns(const std::vector<ResultColumn>& columns) override;
  void row(const std::vector<Value>& values) override;
  void done(const Done& done) override;
  void message(const ServerMessage& message, bool is_error, int line) override;
  void database_changed(const std::string& old_name, const std::string& new_name) override;
  void transaction_began(std::uint64_t descriptor) override;
  void transaction_ended(bool committed, std::uint64_t descriptor) override;
  bool wait(std::chrono::milliseconds duration) override;

 private:
  bool login();
  bool login_failed(const std::vector<ServerMessage>& messages, const std::string& user,
                    const std::string& database);
  bool handle_batch(const tds::Message& request);
  void handle_transaction_request(const tds::Message& request);
  void answer_attention();
  void answer_cancelled_request();
  void send_reply();
  enum class Sending { Whole, Half, Unfinished };
  void send(std::span<const std::uint8_t> payload, Sending how = Sending::Whole);
  void send_cut_reply();
  void close();
  std::span<const std::uint8_t> request_body(const tds::Message& request) const;
  void log(nlohmann::ordered_json fields);

  int fd_;
  int id_;
  ConnectionContext& context_;
  tds::PacketChannel channel_;
  std::uint32_t version_ = 0x74000004;
  std::optional<tds::TokenWriter> writer_;
  std::unique_ptr<EngineSession> session_;
  std::string login_name_;
  std::vector<ResultColumn> columns_;
  ReplyCut cut_ = ReplyCut::None;
  std::optional<std::size_t> cut_at_;  // where the reply in progress is to be cut
  bool attention_received_ = false;
};

}  // namespace standin
