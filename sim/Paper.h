#pragma once

#include <cstddef>
#include <deque>
#include <ostream>
#include <string>

namespace xruvo_sim {

// The ECR's printer: every printed line goes, readable, to a stream (a file or standard
// output) and into a short memory that tests read back.
class Paper {
 public:
  static constexpr std::size_t kWidth = 40;
  static constexpr std::size_t kMemoryLines = 2000;

  explicit Paper(std::ostream* out = nullptr) : out_(out) {}

  void SetStream(std::ostream* out) { out_ = out; }

  void Line(const std::string& text);
  // Text on the left, value flush right on the same line.
  void Columns(const std::string& left, const std::string& right);
  void Centered(const std::string& text);
  void Separator();
  // A cut shows as a line of dashes.
  void Cut();

  const std::deque<std::string>& Lines() const { return lines_; }
  std::size_t PrintedLines() const { return printed_; }
  std::string Text() const;  // the remembered lines, each ended by "\n"
  void Forget() { lines_.clear(); }

 private:
  std::ostream* out_;
  std::deque<std::string> lines_;
  std::size_t printed_ = 0;
};

}  // namespace xruvo_sim
