#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ruvo {

// The fields of one receipt line; field 0 is the command code.
using Fields = std::vector<std::string>;

// Splits a line at every ";". There is no quoting: each piece before a ";" is a field,
// empty or not, and the piece after the last ";" is a field only when it is not empty.
// So "5;500;1" and "5;500;1;" both give three fields, ";" gives one empty field and the
// empty line gives none.
Fields SplitFields(std::string_view line);

// Field `index` of `fields`, or the empty text when the line is shorter.
const std::string& FieldOrEmpty(const Fields& fields, std::size_t index);

}  // namespace ruvo
