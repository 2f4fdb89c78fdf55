#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ruvo {

// A settings file in INI form, held whole in memory. Loading keeps every byte of the file
// (comments, blank lines, unknown sections, line ends); changing a key rewrites only that
// key's line, and saving writes the file back whole and atomically. Values are bytes and
// are never converted; blanks around keys and values are not part of them.
//
// Section and key names match without regard to case (ASCII). With duplicates the first
// occurrence wins, as readers of such files expect. Lines starting with ";" or "#" are
// comments.
class IniFile {
 public:
  IniFile() = default;

  // Reads path. A missing file loads as empty (true); any other read failure gives false
  // and leaves the object empty. Save() later writes back to this path.
  bool Load(const std::string& path);

  // Takes the file's content from text, for files read by other means.
  void Parse(const std::string& text);

  // The whole file as it would be saved.
  std::string Text() const;

  // Writes the file back to the loaded path (or to path) atomically.
  bool Save() const;
  bool SaveAs(const std::string& path) const;

  const std::string& Path() const { return path_; }

  bool HasSection(const std::string& section) const;
  bool HasKey(const std::string& section, const std::string& key) const;

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue = std::string()) const;

  // A decimal integer (ParseInt32), blanks around it allowed; defaultValue when the key
  // is missing or its value is anything else.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;

  // On only for the exact value "DA" (upper case); off for anything else or when missing.
  bool ReadFlag(const std::string& section, const std::string& key) const;

  // Changes the key's value, adding the key (and the section) when missing.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);

  // Every key of the section with its value, in file order (also duplicates).
  std::vector<std::pair<std::string, std::string>> SectionValues(const std::string& section) const;

 private:
  struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n", "\r" or "" for a last line without one
  };

  // Position of the key's line, or nullopt.
  std::optional<std::size_t> FindKey(const std::string& section, const std::string& key) const;
  // Calls visit with the line index and the key/value of every key line of section, in
  // file order, until visit returns false; then gives that line's index.
  std::optional<std::size_t> ForEachKeyIn(
      const std::string& section,
      const std::function<bool(std::size_t, std::pair<std::string, std::string>&)>& visit) const;

  std::string path_;
  std::vector<Line> lines_;
};

}  // namespace ruvo
