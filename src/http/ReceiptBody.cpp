#include "http/ReceiptBody.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "http/HttpMessage.h"
#include "http/JsonBody.h"
#include "platform/ControlCharacters.h"
#include "platform/Files.h"
#include "platform/Text1250.h"

namespace ruvo::http {

namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

BodyParse Refused(int status, const std::string& slug, const std::string& title,
                  const std::string& detail) {
  BodyParse parse;
  parse.refusal = {status, slug, title, detail};
  return parse;
}

// The length of the UTF-8 sequence that starts with lead, 0 for a byte that starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

std::string CodePointName(const std::string& sequence) {
  unsigned long value = 0;
  const auto lead = static_cast<unsigned char>(sequence[0]);
  if (sequence.size() == 1) value = lead;
  if (sequence.size() == 2) value = lead & 0x1Fu;
  if (sequence.size() == 3) value = lead & 0x0Fu;
  if (sequence.size() == 4) value = lead & 0x07u;
  for (std::size_t i = 1; i < sequence.size(); ++i) {
    value = (value << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3Fu);
  }
  char name[16];
  std::snprintf(name, sizeof name, "U+%04lX", value);
  return name;
}

// Whether bytes at `at` of text start a well-formed UTF-8 sequence of length bytes
// (no overlong form, no surrogate, nothing above U+10FFFF).
bool WellFormedAt(const std::string& text, std::size_t at, std::size_t length) {
  if (length == 0 || at + length > text.size()) return false;
  const auto lead = static_cast<unsigned char>(text[at]);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if (next < 0x80 || next > 0xBF) return false;
  }
  if (length < 3) return true;
  const auto second = static_cast<unsigned char>(text[at + 1]);
  if (lead == 0xE0 && second < 0xA0) return false;
  if (lead == 0xED && second > 0x9F) return false;
  if (lead == 0xF0 && second < 0x90) return false;
  if (lead == 0xF4 && second > 0x8F) return false;
  return true;
}

// The refusal for a line that does not convert: its first byte that is not UTF-8, or its
// first character the code page lacks.
BodyParse LineRefusal(const std::string& line, std::size_t lineNumber) {
  const std::string where = " (linia " + std::to_string(lineNumber) + ")";
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(line[at]));
    if (!WellFormedAt(line, at, length)) {
      return Refused(400, "invalid-utf8", "Text UTF-8 invalid",
                     "Octetul " + std::to_string(at + 1) + " nu incepe un caracter UTF-8 valid" +
                         where);
    }
    const std::string sequence = line.substr(at, length);
    if (!Utf8To1250(sequence)) {
      std::string detail = "Caracterul " + CodePointName(sequence) + " \"" + sequence +
                           "\" nu exista in Windows-1250" + where;
      // The comma-below letters most keyboards give have cedilla twins in the code page.
      if (sequence == "\xC8\x98" || sequence == "\xC8\x99" || sequence == "\xC8\x9A" ||
          sequence == "\xC8\x9B") {
        detail += "; folositi literele cu sedila \xC5\x9F \xC5\xA3 \xC5\x9E \xC5\xA2";
      }
      return Refused(422, "unconvertible-text", "Text neconvertibil", detail);
    }
    at += length;
  }
  return Refused(422, "unconvertible-text", "Text neconvertibil",
                 "Linia nu se poate converti" + where);
}

}  // namespace

std::string ReceiptBody::FileBytes() const {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

std::string MediaType(const std::string& contentType) {
  return LowerAscii(Trimmed(contentType.substr(0, contentType.find(';'))));
}

BodyParse ConvertLines(const std::vector<std::string>& utf8Lines) {
  ReceiptBody body;
  for (std::size_t i = 0; i < utf8Lines.size(); ++i) {
    const std::optional<std::string> converted = Utf8To1250(utf8Lines[i]);
    if (!converted) return LineRefusal(utf8Lines[i], i + 1);
    // Nothing of a receipt with a control character is kept: it would reach the ECR.
    if (const std::optional<std::size_t> at = FirstControlCharacter(*converted)) {
      const std::string before = converted->substr(0, *at);
      const auto field = std::count(before.begin(), before.end(), ';');
      return Refused(422, "control-character", "Caracter de control",
                     "Linia " + std::to_string(i + 1) + " are un caracter de control (cod " +
                         std::to_string(static_cast<unsigned char>((*converted)[*at])) +
                         ") in campul " + std::to_string(field) + ", la pozitia " +
                         std::to_string(*at + 1) + " a liniei");
    }
    body.lines.push_back(*converted);
  }
  BodyParse parse;
  parse.body = std::move(body);
  return parse;
}

BodyParse ParseReceiptBody(const std::string& contentType, const std::string& body) {
  const std::string media = MediaType(contentType);
  if (media == "text/plain") {
    const std::string parameters = contentType.find(';') == std::string::npos
                                       ? ""
                                       : LowerAscii(contentType.substr(contentType.find(';')));
    if (parameters.find("charset") != std::string::npos &&
        parameters.find("utf-8") == std::string::npos &&
        parameters.find("us-ascii") == std::string::npos) {
      return Refused(415, "unsupported-charset", "Set de caractere nesuportat",
                     "Textul se trimite in UTF-8 (charset=utf-8)");
    }
    return ConvertLines(SplitLines(body));
  }
  if (media == "application/json") {
    if (const std::optional<std::size_t> byte = FirstNonUtf8Byte(body)) {
      return Refused(400, "invalid-utf8", "Text UTF-8 invalid", NonUtf8Refusal(*byte));
    }
    std::string duplicate;
    const nlohmann::json parsed = ParseJsonBody(body, duplicate);
    if (parsed.is_discarded())
      return Refused(400, "invalid-json", "JSON invalid", JsonBodyRefusal(duplicate));
    if (!parsed.is_object() || !parsed.contains("lines") || !parsed["lines"].is_array()) {
      return Refused(400, "invalid-json", "JSON invalid",
                     "Corpul cererii trebuie sa fie {\"lines\": [\"...\", ...]}");
    }
    std::vector<std::string> lines;
    for (const nlohmann::json& line : parsed["lines"]) {
      if (!line.is_string()) {
        return Refused(400, "invalid-json", "JSON invalid", "Fiecare linie este un text");
      }
      const std::string text = line.get<std::string>();
      if (text.find_first_of("\r\n") != std::string::npos) {
        return Refused(400, "invalid-json", "JSON invalid",
                       "O linie nu poate contine CR sau LF (linia " +
                           std::to_string(lines.size() + 1) + ")");
      }
      lines.push_back(text);
    }
    return ConvertLines(lines);
  }
  return Refused(415, "unsupported-media-type", "Tip de continut nesuportat",
                 "Bonul se trimite ca text/plain sau application/json");
}

}  // namespace ruvo::http
