#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace ruvo {

// The file system as the driver uses it. Folders are given without or with a trailing
// "/"; names found in a folder are returned without the folder. Nothing here throws:
// failures are false, empty lists or std::nullopt.

// Folder + "/" + name, with exactly one "/" between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// Nothing here follows a symbolic link in the last part of a path: a link is an entry of
// its own, never the file it points at (folders on the way may be links).

// The first regular file of folder whose name matches mask (case-insensitive, "*" and
// "?"), in the order the file system lists them.
std::optional<std::string> FindFirstMatching(const std::string& folder, const std::string& mask);

// Every regular file of folder whose name matches mask, in listing order.
std::vector<std::string> ListMatching(const std::string& folder, const std::string& mask);

// Every entry of folder whose name matches mask, of any kind (files, links, folders,
// FIFOs, devices), in listing order.
std::vector<std::string> ListEntriesMatching(const std::string& folder, const std::string& mask);

// The whole regular file as bytes; a link, a folder, a FIFO or a device is not read. Files larger
// than kMaxReadBytes are refused: nothing the driver reads is anywhere near that, and a runaway
// file must not eat the memory.
constexpr std::size_t kMaxReadBytes = 64u * 1024u * 1024u;
std::optional<std::string> ReadFileBytes(const std::string& path);

// Splits text into lines at CR LF, LF or CR; a last line without a line end counts,
// the empty text is zero lines.
std::vector<std::string> SplitLines(const std::string& text);

// The file's lines (SplitLines of its bytes).
std::optional<std::vector<std::string>> ReadLines(const std::string& path);

// Writes the whole file, CR LF after every line, atomically (see AtomicFile.h).
bool WriteLines(const std::string& path, const std::vector<std::string>& lines);

// Renames an entry without ever replacing one at to; false when to is taken or the
// rename fails.
bool RenameNoReplace(const std::string& from, const std::string& to);

// A second name for the file at from (a hard link); false where the file system has none.
bool HardLink(const std::string& from, const std::string& to);

// Removes a file; true when it is gone afterwards (also when it never existed).
bool DeleteFile(const std::string& path);

// True for any existing entry (file, folder, link, even a dangling one).
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// A link to a regular file is no regular file.
bool IsRegularFile(const std::string& path);

// The file's last-write time in local time, to the millisecond.
std::optional<LocalDateTime> LastWriteTime(const std::string& path);

// Creates the folder and any missing parent; true when it exists afterwards.
bool CreateFolders(const std::string& path);

// The path of the subfolder of parent whose name equals name without regard to case
// ("log" finds "Log"); an exact match wins over other spellings. nullopt when none exists.
std::optional<std::string> ResolveSubfolder(const std::string& parent, const std::string& name);

// Copies the whole file; the copy is written atomically.
bool CopyFile(const std::string& from, const std::string& to);

// The folder of the running executable, ending with "/": the driver's working folder.
std::optional<std::string> ExecutableFolder();

}  // namespace ruvo
