#pragma once

#include <string>

namespace ruvo {

// The rules of a free text line ("3002", "3008", "3010", "3012", "4003"), applied to the
// text as given before anything is sent.

// 0 when font and text may be sent; 8003 for a font the ECR does not have, 8004 for a text
// longer than the font's line (or a font written with more than one character).
int TextLineError(const std::string& font, const std::string& text);

// Centres (mode 1) or right-aligns (mode 2) text on the line width of fonts "1" to "6";
// any other font or mode leaves the text as it is.
std::string AlignText(const std::string& font, const std::string& text, int mode);

}  // namespace ruvo
