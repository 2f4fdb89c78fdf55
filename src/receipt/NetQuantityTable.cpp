#include "receipt/NetQuantityTable.h"

#include <cmath>

#include "receipt/NumericRules.h"

namespace ruvo {

std::string NetQuantityTable::ArticleKey(const Fields& fields) {
  std::string key;
  const std::string& name = FieldOrEmpty(fields, 1);
  key.reserve(name.size() + 4);
  for (const char c : name) {
    if (c != '|') key.push_back(c);
  }
  key.push_back('|');
  key.append(FieldOrEmpty(fields, 4));
  return key;
}

void NetQuantityTable::AddSaleLine(const Fields& fields) {
  // The sale checker has limited the quantity to 9999.99999 units and the denominator
  // to 1..9999, so the sums cannot overflow for any file that fits in memory.
  std::int64_t quantity = Int64Value(FieldOrEmpty(fields, 6));
  if (fields.size() >= 9 && fields[8] == "-") quantity = -quantity;
  std::int64_t denominator = 1;
  if (fields.size() >= 8 && !fields[7].empty()) denominator = IntValue(fields[7], 1);
  if (denominator < 1) denominator = 1;

  std::string key = ArticleKey(fields);
  const auto [where, inserted] = indexOfKey_.try_emplace(key, articles_.size());
  if (inserted) articles_.push_back(Article{std::move(key), {}});
  auto& sums = articles_[where->second].sumPerDenominator;
  for (auto& [sumDenominator, sum] : sums) {
    if (sumDenominator == denominator) {
      sum += quantity;
      return;
    }
  }
  sums.emplace_back(denominator, quantity);
}

bool NetQuantityTable::Article::IsNegative() const {
  if (sumPerDenominator.size() == 1) return sumPerDenominator.front().second < 0;
  long double total = 0;
  long double magnitude = 0;
  for (const auto& [denominator, sum] : sumPerDenominator) {
    const long double part = static_cast<long double>(sum) / static_cast<long double>(denominator);
    total += part;
    magnitude += std::fabs(part);
  }
  // Only rounding noise of the divisions is forgiven, nothing a file could really return.
  return total < -magnitude * 1e-15L;
}

std::optional<std::string> NetQuantityTable::FindReturnedArticle() const {
  for (const Article& article : articles_) {
    if (article.IsNegative()) return article.key.substr(0, article.key.find('|'));
  }
  return std::nullopt;
}

}  // namespace ruvo
