#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "receipt/Fields.h"

namespace ruvo {

// The net quantity of every article a file sells (sales minus returns), kept in the
// order in which the articles were first met. A file may not return more of an article
// than it sells.
class NetQuantityTable {
 public:
  // Adds the signed quantity of a valid sale line under its article key.
  void AddSaleLine(const Fields& fields);

  // The name of the first article, in order of first sale, whose net quantity is
  // negative.
  std::optional<std::string> FindReturnedArticle() const;

  // The name without any "|", then "|", then the VAT code: one article whatever "|"
  // its name carried.
  static std::string ArticleKey(const Fields& fields);

  std::size_t size() const { return articles_.size(); }

 private:
  // Quantities are counted exactly, one whole-number sum per quantity denominator;
  // only the final comparison divides. Summing the divided values in floating point
  // would let a sale of one unit and three returns of a third come out below zero.
  struct Article {
    std::string key;
    std::vector<std::pair<std::int64_t, std::int64_t>> sumPerDenominator;
    bool IsNegative() const;
  };
  std::vector<Article> articles_;
  std::unordered_map<std::string, std::size_t> indexOfKey_;
};

}  // namespace ruvo
