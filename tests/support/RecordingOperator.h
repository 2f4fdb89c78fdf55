#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/Operator.h"

namespace ruvo::testing {

// An operator that remembers every box it was shown and answers as told: OK to messages,
// `answer` to Yes/No questions (No by default, like an absent operator), and the payment
// form `paymentForm` when one is set (0 = cancel the receipt). Answers queued in `answers`
// are given first, one per question, before `answer` takes over.
class RecordingOperator final : public IOperator {
 public:
  struct Box {
    std::string text;
    std::string caption;
    MsgKind kind;
    MsgButtons buttons;
  };

  MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind kind,
                          MsgButtons buttons) override {
    boxes.push_back({text, caption, kind, buttons});
    if (buttons != MsgButtons::YesNo) return MsgResult::Ok;
    if (answers.empty()) return answer;
    const MsgResult next = answers.front();
    answers.pop_front();
    return next;
  }
  void ShowDefaultError(const std::string& text) override { errors.push_back(text); }
  bool AskPaymentForm(int& form) override {
    ++paymentFormQuestions;
    if (paymentForm == 0) return false;
    form = paymentForm;
    return true;
  }

  void Beep() override { ++beeps; }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes) texts.push_back(box.text);
    return texts;
  }

  MsgResult answer = MsgResult::No;
  std::deque<MsgResult> answers;
  int paymentForm = 0;
  int paymentFormQuestions = 0;
  int beeps = 0;
  std::vector<Box> boxes;
  std::vector<std::string> errors;
};

}  // namespace ruvo::testing
