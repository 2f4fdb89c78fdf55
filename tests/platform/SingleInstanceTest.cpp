#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/SingleInstance.h"

namespace ruvo {
namespace {

std::string UniqueName() { return "XRuvoDrv-test-" + std::to_string(::getpid()); }

TEST(SingleInstance, OnlyOneHolderAtATimeInOneProcess) {
  const std::string name = UniqueName();
  {
    SingleInstance first(name);
    ASSERT_TRUE(first.Acquired());
    SingleInstance second(name);
    EXPECT_FALSE(second.Acquired());
    SingleInstance other(name + "-other");
    EXPECT_TRUE(other.Acquired());
  }
  SingleInstance afterRelease(name);
  EXPECT_TRUE(afterRelease.Acquired());
}

TEST(SingleInstance, HeldByAnotherProcessUntilItDies) {
  const std::string name = UniqueName() + "-fork";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    SingleInstance held(name);
    const char answer = held.Acquired() ? 'y' : 'n';
    if (::write(ready[1], &answer, 1) != 1) ::_exit(2);
    for (;;) ::pause();  // killed by the parent, never exits on its own
  }
  ::close(ready[1]);
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(answer, 'y');

  {
    SingleInstance second(name);
    EXPECT_FALSE(second.Acquired()) << "a second driver must not start while the first runs";
  }

  // Killed, not exited: the kernel must free the name without the holder's help.
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  SingleInstance afterDeath(name);
  EXPECT_TRUE(afterDeath.Acquired());
}

}  // namespace
}  // namespace ruvo
