#include "Paper.h"

namespace xruvo_sim {

void Paper::Line(const std::string& text) {
  ++printed_;
  lines_.push_back(text);
  if (lines_.size() > kMemoryLines) lines_.pop_front();
  if (out_ != nullptr) {
    *out_ << text << '\n';
    out_->flush();
  }
}

void Paper::Columns(const std::string& left, const std::string& right) {
  std::string line = left;
  if (line.size() + right.size() + 1 > kWidth) {
    Line(line);
    line.clear();
  }
  const std::size_t gap =
      kWidth > line.size() + right.size() ? kWidth - line.size() - right.size() : 1;
  Line(line + std::string(gap, ' ') + right);
}

void Paper::Centered(const std::string& text) {
  if (text.size() >= kWidth) {
    Line(text);
    return;
  }
  Line(std::string((kWidth - text.size()) / 2, ' ') + text);
}

void Paper::Separator() { Line(std::string(kWidth, '=')); }

void Paper::Cut() { Line(std::string(kWidth, '-')); }

std::string Paper::Text() const {
  std::string out;
  for (const std::string& line : lines_) out += line + "\n";
  return out;
}

}  // namespace xruvo_sim
