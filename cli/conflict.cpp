#include "cli/conflict.h"

namespace zavel::cli {

Decision ConflictResolver::decide(const std::string& name, uint64_t source_size,
                                  std::optional<uint64_t> target_size) {
  using Action = Decision::Action;
  if (!target_size) return Decision{Action::kTransfer, 0, {}};
  const uint64_t have = *target_size;
  switch (policy_) {
    case ConflictPolicy::kOverwrite:
      return Decision{Action::kTransfer, 0, {}};
    case ConflictPolicy::kSkip:
      return Decision{Action::kSkip, 0, "exists"};
    case ConflictPolicy::kResume:
      if (have < source_size) return Decision{Action::kTransfer, have, {}};
      if (have == source_size) return Decision{Action::kSkip, 0, "already complete"};
      return Decision{Action::kRefuse, 0,
                      "exists and is larger than the source, so it cannot be resumed "
                      "(--overwrite replaces it)"};
    case ConflictPolicy::kAsk:
      break;
  }
  if (asker_ == nullptr)
    return Decision{Action::kRefuse, 0, "exists (choose --resume, --overwrite or --skip)"};
  const Question question = have < source_size ? Question::kResume : Question::kOverwrite;
  std::optional<Choice>& remembered = remembered_[static_cast<int>(question)];
  if (remembered) return apply(*remembered, have);
  const Answer answer = asker_->ask(question, name, source_size, have);
  // Resuming is only on offer for a smaller target.
  if (answer.choice == Choice::kResume && question != Question::kResume)
    return Decision{Action::kQuit, 0, "no such answer"};
  if (answer.all && answer.choice != Choice::kQuit) remembered = answer.choice;
  return apply(answer.choice, have);
}

Decision ConflictResolver::apply(Choice choice, uint64_t target_size) {
  using Action = Decision::Action;
  switch (choice) {
    case Choice::kResume:
      return Decision{Action::kTransfer, target_size, {}};
    case Choice::kOverwrite:
      return Decision{Action::kTransfer, 0, {}};
    case Choice::kSkip:
      return Decision{Action::kSkip, 0, "skipped"};
    case Choice::kQuit:
      break;
  }
  return Decision{Action::kQuit, 0, "stopped"};
}

}  // namespace zavel::cli
