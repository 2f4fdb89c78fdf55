#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ruvo {

// The driver keeps its text as Windows-1250 bytes; a terminal speaks UTF-8. These two
// convert at that border and nowhere else.

// Every byte as its character; the five bytes the code page leaves undefined become
// U+FFFD, so nothing is lost silently and nothing invalid reaches the terminal.
std::string Utf8From1250(std::string_view text);

// nullopt when the text is not valid UTF-8 or holds a character the code page lacks.
std::optional<std::string> Utf8To1250(std::string_view text);

}  // namespace ruvo
