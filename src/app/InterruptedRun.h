#pragma once

#include <optional>
#include <string>

namespace ruvo {

// The receipt file of the working folder whose run a crash or a power cut interrupted
// after it had reached the ECR, while the processing has not settled it yet: its record
// is in the journal and the file still waits. None when there is no such file. The
// journal is read as it is on disk, so this may be asked from anywhere.
std::optional<std::string> UnsettledInterruptedFile(const std::string& workingFolder);

}  // namespace ruvo
