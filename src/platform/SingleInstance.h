#pragma once

#include <string>

namespace ruvo {

// The machine-wide guard that lets the driver run only once. It is an abstract Unix
// socket bound to "\0" + name: the kernel frees the name when the holder dies however it
// dies, so a crashed driver never blocks the next start, and there is no file to clean.
class SingleInstance {
 public:
  static constexpr const char* kDefaultName = "XRuvoDrv";

  // Tries to take the name; tests give their own name so they never meet a running driver.
  explicit SingleInstance(const std::string& name = kDefaultName);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this object holds the name, false when another process (or object) does
  // or the name could not be taken.
  bool Acquired() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace ruvo
