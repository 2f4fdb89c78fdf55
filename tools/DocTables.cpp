// ruvo_doc_tables: the tables of docs/receipt-files.md that come from the code (the command
// table, the ECR's error codes and their messages, the status file's keys), so that the
// reference for integrators cannot drift from what the driver does.
//   ruvo_doc_tables --print NAME          one table (commands, ecr-errors, extended-errors)
//   ruvo_doc_tables --update DOC          rewrites the generated tables of DOC in place
//   ruvo_doc_tables --check DOC SRCDIR    exit 1, saying where, when DOC and the code disagree
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/StatusFile.h"
#include "ecr/ErrorTable.h"
#include "platform/Text1250.h"
#include "receipt/CommandTable.h"

namespace {

using ruvo::CodeMessage;

const std::vector<std::string> kTableNames = {"commands", "ecr-errors", "extended-errors"};

std::string Begin(const std::string& name) {
  return "<!-- generated: " + name + " (tools/DocTables.cpp; ruvo_doc_tables --update) -->";
}
std::string End(const std::string& name) { return "<!-- end of generated: " + name + " -->"; }

// A message as a Markdown table cell: UTF-8, "|" escaped, blanks kept visible in code.
std::string Cell(std::string_view message) {
  std::string text = ruvo::Utf8From1250(message);
  std::string out;
  for (char c : text) {
    if (c == '|') out += '\\';
    if (c == '`') {
      out += "'";
      continue;
    }
    out += c;
  }
  return "`" + out + "`";
}

std::string GroupName(ruvo::CommandGroup group) {
  switch (group) {
    case ruvo::CommandGroup::Fiscal:
      return "fiscal";
    case ruvo::CommandGroup::NonFiscal:
      return "non-fiscal";
    case ruvo::CommandGroup::Either:
      break;
  }
  return "either";
}

std::string CodeTable(std::span<const CodeMessage> table, const std::string& heading) {
  std::ostringstream out;
  out << "| " << heading << " | Message |\n|---:|---|\n";
  for (const CodeMessage& entry : table) {
    out << "| " << entry.code << " | " << Cell(entry.message) << " |\n";
  }
  return out.str();
}

std::string Table(const std::string& name) {
  if (name == "ecr-errors") return CodeTable(ruvo::EcrErrorMessages(), "Code");
  if (name == "extended-errors") return CodeTable(ruvo::ExtendedErrorMessages(), "Number");
  std::ostringstream out;
  out << "| Code | Group | Checked |\n|---|---|---|\n";
  for (const ruvo::CommandInfo& command : ruvo::AllCommands()) {
    out << "| [`" << command.code << "`](#code-" << command.code << ") | "
        << GroupName(command.group) << " | "
        << (command.checker != nullptr ? "yes" : "never refused") << " |\n";
  }
  return out.str();
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return true;
}

// The document with every generated table replaced by the code's; false when a table's
// markers are missing.
bool Regenerate(const std::string& doc, std::string& out, std::string& error) {
  out = doc;
  for (const std::string& name : kTableNames) {
    const std::size_t begin = out.find(Begin(name));
    const std::size_t end = out.find(End(name));
    if (begin == std::string::npos || end == std::string::npos || end < begin) {
      error = "the markers of the generated table \"" + name + "\" are missing";
      return false;
    }
    const std::size_t from = begin + Begin(name).size();
    out.replace(from, end - from, "\n" + Table(name));
  }
  return true;
}

// The codes written in one source file: "80nn" between quotes, or after "= " before a ";" or
// a quote (a constant).
void CodesIn(const std::string& text, std::set<std::string>& codes) {
  for (std::size_t at = text.find("80"); at != std::string::npos; at = text.find("80", at + 1)) {
    if (at + 5 > text.size()) break;
    const bool digits = std::isdigit(static_cast<unsigned char>(text[at + 2])) &&
                        std::isdigit(static_cast<unsigned char>(text[at + 3]));
    const bool opens =
        (at >= 1 && text[at - 1] == '"') || (at >= 2 && text.compare(at - 2, 2, "= ") == 0);
    const bool closes = text[at + 4] == '"' || text[at + 4] == ';';
    if (digits && opens && closes) codes.insert(text.substr(at, 4));
  }
}

// Every code the driver answers with ("80nn" as a literal or a constant) must be explained.
std::set<std::string> DriverCodes(const std::string& sourceDir) {
  std::set<std::string> codes;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(sourceDir)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    std::string text;
    if (ReadFile(entry.path().string(), text)) CodesIn(text, codes);
  }
  return codes;
}

int Check(const std::string& docPath, const std::string& sourceDir) {
  std::string doc;
  if (!ReadFile(docPath, doc)) {
    std::cerr << docPath << ": cannot be read\n";
    return 1;
  }
  std::string fresh;
  std::string error;
  int problems = 0;
  if (!Regenerate(doc, fresh, error)) {
    std::cerr << docPath << ": " << error << "\n";
    return 1;
  }
  if (fresh != doc) {
    std::cerr << docPath << ": a generated table differs from the code; run "
              << "ruvo_doc_tables --update " << docPath << "\n";
    ++problems;
  }
  for (const ruvo::CommandInfo& command : ruvo::AllCommands()) {
    const std::string anchor = "<a id=\"code-" + std::string(command.code) + "\"></a>";
    if (doc.find(anchor) == std::string::npos) {
      std::cerr << docPath << ": command " << command.code << " has no section (" << anchor
                << ")\n";
      ++problems;
    }
  }
  // The status file's keys, the liveness keys among them, each with its row.
  for (const std::string& key :
       {std::string("Versiune"), std::string("Stare"), std::string("ConectatLaCasa"),
        ruvo::kStatusProcessIdKey, ruvo::kStatusLastTickKey}) {
    if (doc.find("| `" + key + "` |") == std::string::npos) {
      std::cerr << docPath << ": the status file's key " << key << " has no table row\n";
      ++problems;
    }
  }
  for (const std::string& code : DriverCodes(sourceDir)) {
    if (doc.find("| " + code + " |") == std::string::npos) {
      std::cerr << docPath << ": the driver answers with code " << code
                << ", which no table row explains\n";
      ++problems;
    }
  }
  return problems == 0 ? 0 : 1;
}

int Update(const std::string& docPath) {
  std::string doc;
  std::string fresh;
  std::string error;
  if (!ReadFile(docPath, doc) || !Regenerate(doc, fresh, error)) {
    std::cerr << docPath << ": " << (error.empty() ? "cannot be read" : error) << "\n";
    return 1;
  }
  std::ofstream out(docPath, std::ios::binary | std::ios::trunc);
  out << fresh;
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "--print") {
    for (const std::string& name : kTableNames) {
      if (name == args[1]) {
        std::cout << Table(name);
        return 0;
      }
    }
  } else if (args.size() == 2 && args[0] == "--update") {
    return Update(args[1]);
  } else if (args.size() == 3 && args[0] == "--check") {
    return Check(args[1], args[2]);
  }
  std::cerr << "usage: ruvo_doc_tables --print commands|ecr-errors|extended-errors\n"
               "       ruvo_doc_tables --update DOC | --check DOC SRCDIR\n";
  return 2;
}
