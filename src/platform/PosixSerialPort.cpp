#include "platform/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/PortDeadline.h"
#include "platform/PortNames.h"

namespace ruvo {

namespace {

bool HeldExclusively(int fd) {
  int exclusive = 0;
  return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

}  // namespace

PosixSerialPort::PosixSerialPort(std::string settingsPath)
    : settingsPath_(std::move(settingsPath)) {}

PosixSerialPort::~PosixSerialPort() { Close(); }

std::int64_t PosixSerialPort::WriteTimeoutMs(std::size_t count) {
  return 100 * static_cast<std::int64_t>(count) + 1000;
}

bool PosixSerialPort::Open(const std::string& portName) {
  Close();
  openFailure_.reset();
  const std::optional<std::string> device = ResolvePortDevice(settingsPath_, portName);
  if (!device) return Failed(portName, "", EINVAL);

  const int fd = ::open(device->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Failed(portName, *device, errno);
  // Root opens a terminal even when another program holds it in exclusive mode, and our
  // own exclusive mode would later be given up on close, taking the hold from that
  // program: a held port is one we cannot have.
  if (HeldExclusively(fd)) {
    ::close(fd);
    return Failed(portName, *device, EBUSY);
  }
  // The lock first: a port in use by another program must not be reconfigured or flushed.
  // TIOCEXCL keeps others from opening the device at all, but does not bind root; the
  // flock does.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
    const int error = errno;
    ::close(fd);
    return Failed(portName, *device, error);
  }
  fd_ = fd;
  devicePath_ = *device;
  if (!Configure()) {
    const int error = errno;
    Close();
    return Failed(portName, *device, error);
  }
  return true;
}

bool PosixSerialPort::Failed(const std::string& portName, const std::string& device, int error) {
  openFailure_ = DescribePortOpenFailure(portName, device, error);
  return false;
}

bool PosixSerialPort::Configure() {
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;  // not a terminal device
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  tio.c_cflag |= CS8 | CREAD | CLOCAL | CRTSCTS;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | IGNBRK | BRKINT | PARMRK | ISTRIP |
                                        INLCR | IGNCR | ICRNL | INPCK);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tio, B115200) != 0 || ::cfsetospeed(&tio, B115200) != 0) return false;
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;

  // A pseudo-terminal or a plain adapter may have no modem lines; that is not an error.
  int lines = TIOCM_DTR | TIOCM_RTS;
  static_cast<void>(::ioctl(fd_, TIOCMBIS, &lines));

  // Bytes left over from an earlier conversation would be taken for the next answer.
  static_cast<void>(::tcflush(fd_, TCIOFLUSH));
  return true;
}

void PosixSerialPort::Close() {
  if (fd_ < 0) return;
  // Some kernels keep a terminal's exclusive mode past the last close; give it up
  // explicitly so that the next port object (or another program) can open the device.
  static_cast<void>(::ioctl(fd_, TIOCNXCL));
  ::close(fd_);  // also ends the flock
  fd_ = -1;
  devicePath_.clear();
}

bool PosixSerialPort::Write(const std::uint8_t* data, std::size_t count) {
  if (fd_ < 0) return false;
  if (count == 0) return true;
  if (data == nullptr) return false;
  const std::int64_t deadline = PortNowMs() + WriteTimeoutMs(count);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, data + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;  // EIO: device gone
    // The output buffer is full (or the ECR holds CTS low): wait for room.
    const int left = PortRemainingMs(deadline);
    if (left == 0) {
      // Half a frame must not go out later, glued to the next request.
      static_cast<void>(::tcflush(fd_, TCOFLUSH));
      return false;
    }
    pollfd p{fd_, POLLOUT, 0};
    const int ready = ::poll(&p, 1, left);
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
  }
  return true;
}

std::size_t PosixSerialPort::Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
  const std::int64_t deadline = PortNowMs() + (timeoutMs > 0 ? timeoutMs : 0);
  if (fd_ < 0 || buffer == nullptr || capacity == 0) {
    PortSleepUntil(deadline);
    return 0;
  }
  if (timeoutMs <= 0) {
    // Only what has already arrived: the descriptor does not block, so no poll is needed.
    const ssize_t n = ::read(fd_, buffer, capacity);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, PortRemainingMs(deadline));
    if (ready == 0) return 0;  // nothing arrived in time
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if ((p.revents & POLLIN) != 0) {
      // Bytes still buffered are delivered even when the device has hung up meanwhile.
      const ssize_t n = ::read(fd_, buffer, capacity);
      if (n > 0) return static_cast<std::size_t>(n);
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      break;  // end of file or EIO: the device is gone
    }
    break;  // POLLHUP, POLLERR or POLLNVAL without data
  }
  PortSleepUntil(deadline);
  return 0;
}

}  // namespace ruvo
