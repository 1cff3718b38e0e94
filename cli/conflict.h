// What to do when the target of a transfer already exists: resume, overwrite or skip, the
// same decision the explorer program makes. A target smaller than its source can be
// resumed; one as large or larger can only be overwritten or skipped. An answer given
// "for all files" is remembered for the rest of the command, separately for each of the
// two questions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zavel::cli {

enum class ConflictPolicy { kAsk, kResume, kOverwrite, kSkip };

// The two questions: a smaller target can be resumed, any other only overwritten.
enum class Question { kResume, kOverwrite };

enum class Choice { kResume, kOverwrite, kSkip, kQuit };

struct Answer {
  Choice choice = Choice::kQuit;
  bool all = false;  // apply to every later file with the same question
};

// Asks a person; only used on a terminal.
class Asker {
 public:
  virtual ~Asker() = default;
  virtual Answer ask(Question question, const std::string& name, uint64_t source_size,
                     uint64_t target_size) = 0;
};

struct Decision {
  enum class Action {
    kTransfer,  // from start; start 0 empties the target first
    kSkip,      // leave the target as it is; not a failure
    kRefuse,    // a failure: reason says why
    kQuit,      // the person asked to stop the command
  };
  Action action = Action::kTransfer;
  uint64_t start = 0;
  std::string reason;
};

class ConflictResolver {
 public:
  // asker may be null (not on a terminal): then kAsk refuses every existing target.
  ConflictResolver(ConflictPolicy policy, Asker* asker) : policy_(policy), asker_(asker) {}

  // source_size: the bytes to move; target_size: the existing target's, none when absent.
  Decision decide(const std::string& name, uint64_t source_size,
                  std::optional<uint64_t> target_size);

 private:
  static Decision apply(Choice choice, uint64_t target_size);

  ConflictPolicy policy_;
  Asker* asker_;
  std::optional<Choice> remembered_[2];  // by Question
};

}  // namespace zavel::cli
