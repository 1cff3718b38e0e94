#include "cli/conflict.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace zavel::cli {
namespace {

using Action = Decision::Action;

TEST(Conflict, OptionsDecideByTheTargetsSize) {
  const std::optional<uint64_t> none;
  const struct {
    ConflictPolicy policy;
    std::optional<uint64_t> target;
    Action action;
    uint64_t start;
  } cases[] = {
      // No target: every policy starts from 0.
      {ConflictPolicy::kResume, none, Action::kTransfer, 0},
      {ConflictPolicy::kSkip, none, Action::kTransfer, 0},
      {ConflictPolicy::kAsk, none, Action::kTransfer, 0},
      // Smaller target: resume continues after it.
      {ConflictPolicy::kResume, 400, Action::kTransfer, 400},
      {ConflictPolicy::kResume, 0, Action::kTransfer, 0},
      {ConflictPolicy::kOverwrite, 400, Action::kTransfer, 0},
      {ConflictPolicy::kSkip, 400, Action::kSkip, 0},
      // As large: nothing left to resume.
      {ConflictPolicy::kResume, 1000, Action::kSkip, 0},
      {ConflictPolicy::kOverwrite, 1000, Action::kTransfer, 0},
      // Larger: it is not a beginning of the source, so it cannot be resumed.
      {ConflictPolicy::kResume, 1001, Action::kRefuse, 0},
      {ConflictPolicy::kOverwrite, 1001, Action::kTransfer, 0},
      {ConflictPolicy::kSkip, 1001, Action::kSkip, 0},
      // Nobody to ask: refused, never overwritten.
      {ConflictPolicy::kAsk, 400, Action::kRefuse, 0},
      {ConflictPolicy::kAsk, 1000, Action::kRefuse, 0},
  };
  for (const auto& c : cases) {
    ConflictResolver resolver(c.policy, nullptr);
    const Decision d = resolver.decide("f", 1000, c.target);
    EXPECT_EQ(d.action, c.action) << static_cast<int>(c.policy) << " " << c.target.value_or(-1);
    EXPECT_EQ(d.start, c.start) << static_cast<int>(c.policy) << " " << c.target.value_or(-1);
  }
}

class ScriptedAsker : public Asker {
 public:
  explicit ScriptedAsker(std::deque<Answer> answers) : answers_(std::move(answers)) {}
  Answer ask(Question question, const std::string& name, uint64_t, uint64_t) override {
    asked.push_back({question, name});
    if (answers_.empty()) return Answer{Choice::kQuit, false};
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  std::vector<std::pair<Question, std::string>> asked;

 private:
  std::deque<Answer> answers_;
};

TEST(Conflict, AnAnswerForAllFilesCoversOnlyItsOwnQuestion) {
  ScriptedAsker asker(
      {{Choice::kOverwrite, true}, {Choice::kResume, false}, {Choice::kSkip, true}});
  ConflictResolver resolver(ConflictPolicy::kAsk, &asker);

  EXPECT_EQ(resolver.decide("big1", 100, 100).action, Action::kTransfer);  // asked: overwrite all
  const Decision again = resolver.decide("big2", 100, 300);                // not asked
  EXPECT_EQ(again.action, Action::kTransfer);
  EXPECT_EQ(again.start, 0u);
  const Decision small = resolver.decide("small1", 100, 40);  // the other question: asked
  EXPECT_EQ(small.action, Action::kTransfer);
  EXPECT_EQ(small.start, 40u);
  EXPECT_EQ(resolver.decide("small2", 100, 50).action, Action::kSkip);  // asked: skip all
  EXPECT_EQ(resolver.decide("small3", 100, 60).action, Action::kSkip);  // not asked
  EXPECT_EQ(resolver.decide("new", 100, std::nullopt).action, Action::kTransfer);

  ASSERT_EQ(asker.asked.size(), 3u);
  EXPECT_EQ(asker.asked[0], std::make_pair(Question::kOverwrite, std::string("big1")));
  EXPECT_EQ(asker.asked[1], std::make_pair(Question::kResume, std::string("small1")));
  EXPECT_EQ(asker.asked[2], std::make_pair(Question::kResume, std::string("small2")));
}

TEST(Conflict, QuitStopsAndIsNeverRemembered) {
  ScriptedAsker asker({{Choice::kQuit, true}, {Choice::kOverwrite, false}});
  ConflictResolver resolver(ConflictPolicy::kAsk, &asker);
  EXPECT_EQ(resolver.decide("a", 10, 10).action, Action::kQuit);
  EXPECT_EQ(resolver.decide("b", 10, 10).action, Action::kTransfer);
  EXPECT_EQ(asker.asked.size(), 2u);
}

TEST(Conflict, ResumeIsNoAnswerToTheOverwriteQuestion) {
  // A target as large as the source cannot be continued; an answer that tries stops.
  ScriptedAsker asker({{Choice::kResume, true}});
  ConflictResolver resolver(ConflictPolicy::kAsk, &asker);
  EXPECT_EQ(resolver.decide("a", 10, 20).action, Action::kQuit);
}

}  // namespace
}  // namespace zavel::cli
