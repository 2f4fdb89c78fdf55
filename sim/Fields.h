#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace xruvo_sim {

// Reads the fixed-width fields of a command text left to right. Every reader returns
// false, and leaves the position where it was, when the text does not hold the field:
// the command handler then answers with an error instead of guessing.
class FieldReader {
 public:
  explicit FieldReader(const std::string& text) : text_(text) {}

  // Nk: exactly k decimal digits.
  bool Number(std::size_t k, std::int64_t& out);
  // D: one digit (the driver writes single-digit values without padding).
  bool Digit(int& out);
  // Amt(i,f): i characters of whole units and f of decimals; a negative value carries
  // its minus sign inside the whole part and possibly before the decimals (then they
  // are f + 1 characters). The result is in units of 10^-f.
  // A negative amount keeps its sign inside both parts, so "-5" and "-25" are both
  // possible decimals of Amt(i,2). When the caller knows how many characters follow the
  // field (tailLength), that settles the width; otherwise a "-" takes f + 1 characters.
  bool Amount(std::size_t i, std::size_t f, std::int64_t& out,
              std::optional<std::size_t> tailLength = std::nullopt);
  // Lk(T): k digits of length, then that many characters.
  bool LengthText(std::size_t k, std::string& out);
  // Exactly these characters.
  bool Literal(const std::string& expected);
  // T: a fixed number of characters, as they are.
  bool Text(std::size_t count, std::string& out);

  std::string Rest() const { return text_.substr(pos_); }
  bool AtEnd() const { return pos_ >= text_.size(); }
  std::size_t Remaining() const { return text_.size() - pos_; }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
};

// Zero-padded decimal of a non-negative value; a negative value keeps its minus sign
// in front of the padded magnitude.
std::string PadNumber(std::int64_t value, std::size_t width);

// Hundredths as the ECR sends amounts in answers: a sign character, 7 digits of whole
// units and 2 of hundredths ("+000012350").
std::string SignedAmount10(std::int64_t hundredths);

// Hundredths for the paper: "123.50", "-0.50".
std::string MoneyText(std::int64_t hundredths);

// A quantity in hundred-thousandths for the paper: "2.000", "0.25000" trimmed to 3
// decimals when that loses nothing.
std::string QuantityText(std::int64_t hundredThousandths);

// Divides and rounds half away from zero.
std::int64_t DivideRounded(std::int64_t numerator, std::int64_t denominator);

}  // namespace xruvo_sim
