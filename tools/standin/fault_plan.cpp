// Decides per SQL batch whether a scripted fault applies.
#include "fault_plan.hpp"

namespace standin {

void FaultPlan::fail_batch(std::uint64_t number, int error) {
  failing_batches_.emplace_back(number, error);
}
void FaultPlan::fail_text(std::string text, int error) {
  failing_texts_.push_back({std::move(text), error, false});
}
void FaultPlan::hold_text(std::string text, std::chrono::milliseconds duration) {
  holds_.push_back({std::move(text), duration});
}
void FaultPlan::drop_batch(std::uint64_t number) { dropped_batches_.insert(number); }
void FaultPlan::stall_batch(std::uint64_t number) { stalled_batches_.insert(number); }
void FaultPlan::drop_reply(std::uint64_t number, ReplyCut cut) { cut_replies_[number] = cut; }

BatchFault FaultPlan::on_batch(std::string_view sql) {
  std::lock_guard lock(mutex_);
  const auto number = ++batches_;
  BatchFault fault;
  fault.drop = dropped_batches_.count(number) > 0;
  fault.stall = stalled_batches_.count(number) > 0;
  if (const auto cut = cut_replies_.find(number); cut != cut_replies_.end())
    fault.cut = cut->second;
  for (const auto& [batch, error] : failing_batches_)
    if (batch == number) fault.fail = error;
  if (!fault.fail) {
    for (auto& text : failing_texts_) {
      if (!text.used && sql.find(text.text) != std::string_view::npos) {
        text.used = true;
        fault.fail = text.error;
        break;
      }
    }
  }
  for (const auto& hold : holds_) {
    if (sql.find(hold.text) != std::string_view::npos) {
      fault.hold = hold.duration;
      break;
    }
  }
  return fault;
}

}  // namespace standin
