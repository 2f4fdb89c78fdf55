#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ruvo {

// Writes a whole file so that nobody ever sees half of it: the bytes go to a temporary
// file in the same folder, are flushed to the disk and the temporary file is renamed over
// the target. The sales application may read a response file the moment it appears, and
// a power cut must not leave a truncated settings file behind.
//
// The temporary name starts with ".~tmp-" and ends with ".part", so it never matches the
// masks the driver and the sales application look for (ONLINE*.TXT, ERROR*.TXT, log*.txt).
// On failure the target keeps its previous content and no temporary file is left.
// A symbolic link at path is replaced by the file, never written through.
bool WriteFileAtomic(const std::string& path, const std::string& bytes);

// The lines joined with CR LF after every line (also after the last one).
bool WriteLinesAtomic(const std::string& path, const std::vector<std::string>& lines);

// The name of the temporary file WriteFileAtomic would use for path, with the given
// sequence number; exposed so tests can check that it never matches the driver's masks.
std::string TemporaryNameFor(const std::string& path, unsigned sequence);

inline constexpr std::string_view kTemporaryPrefix = ".~tmp-";
inline constexpr std::string_view kTemporarySuffix = ".part";

// True for a name WriteFileAtomic gives its temporary files.
bool IsTemporaryName(const std::string& name);

// Removes the temporary files a writer killed half-way left in folder (not its subfolders);
// returns how many. Only for the start of the program, before anything is written there.
int RemoveTemporaryFiles(const std::string& folder);

}  // namespace ruvo
