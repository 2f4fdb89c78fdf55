// The run-once guard and the folder it lives in: one holder at a time, freed by a holder's
// death however it dies, and a folder that another user could change is never taken.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/RuntimeFolder.h"
#include "platform/SingleInstance.h"
#include "platform/TempFolder.h"

namespace ruvo {
namespace {

using testing::TempFolder;

TEST(SingleInstance, OnlyOneHolderAtATimeAndTheFolderGoesWithTheLast) {
  TempFolder base;
  const std::string folder = base / "XRuvoDrv";
  {
    SingleInstance first(folder);
    ASSERT_TRUE(first.Acquired()) << first.Problem();
    SingleInstance second(folder);
    EXPECT_FALSE(second.Acquired());
    EXPECT_EQ(second.Problem(), "");  // held, not broken
    SingleInstance other(base / "till2");
    EXPECT_TRUE(other.Acquired());
  }
  struct stat st {};
  EXPECT_NE(::lstat(folder.c_str(), &st), 0) << "the lock and its folder stay after the holder";
  SingleInstance afterRelease(folder);
  EXPECT_TRUE(afterRelease.Acquired());
}

TEST(SingleInstance, HeldByAnotherProcessUntilItIsKilled) {
  TempFolder base;
  const std::string folder = base / "XRuvoDrv";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    SingleInstance held(folder);
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
    SingleInstance second(folder);
    EXPECT_FALSE(second.Acquired()) << "a second driver must not start while the first runs";
  }
  // Killed, not exited: the lock file stays, but the kernel has ended its lock.
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  SingleInstance afterDeath(folder);
  EXPECT_TRUE(afterDeath.Acquired());
}

// One driver per working folder, whatever its instance: the second is told which process
// holds the folder, and a killed holder frees it.
TEST(WorkingFolderLock, OneHolderPerFolderNamedToTheSecond) {
  TempFolder folder;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    WorkingFolderLock held(folder.Path());
    const char answer = held.Acquired() ? 'y' : 'n';
    if (::write(ready[1], &answer, 1) != 1) ::_exit(2);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(answer, 'y');
  {
    WorkingFolderLock second(folder.Path());
    EXPECT_FALSE(second.Acquired());
    EXPECT_NE(second.Problem().find("pid " + std::to_string(child)), std::string::npos)
        << second.Problem();
  }
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  WorkingFolderLock afterDeath(folder.Path());
  EXPECT_TRUE(afterDeath.Acquired()) << afterDeath.Problem();
  WorkingFolderLock missing(folder.Path() + "/none");
  EXPECT_FALSE(missing.Acquired());
  EXPECT_NE(missing.Problem().find("cannot open"), std::string::npos);
}

TEST(RuntimeFolder, InstanceNamesArePlainFileNames) {
  for (const std::string& good :
       std::vector<std::string>{"XRuvoDrv", "ruvo-drv-till2", "a", std::string(48, 'n')}) {
    EXPECT_TRUE(ValidInstanceName(good)) << good;
  }
  for (const std::string& bad :
       std::vector<std::string>{"", ".", "..", "../etc", "a/b", std::string(49, 'n'),
                                std::string("a\0b", 3)}) {
    EXPECT_FALSE(ValidInstanceName(bad)) << bad;
  }
  EXPECT_TRUE(RuntimeCandidates("../x", RuntimeInputs{}).empty());
  const std::vector<RuntimeCandidate> places =
      RuntimeCandidates("till2", RuntimeInputs{"/run/ruvo-drv", "/run/user/1000/", "/srv/pos"});
  ASSERT_EQ(places.size(), 3U);
  EXPECT_EQ(places[0].folder, "/run/ruvo-drv/till2");
  EXPECT_EQ(places[1].folder, "/run/user/1000/ruvo-drv/till2");
  EXPECT_EQ(places[2].folder, "/srv/pos/.ruvodrv-till2");
  EXPECT_EQ(UserRuntimeBase("/run/user/7", 1000), "/run/user/7");
  EXPECT_EQ(UserRuntimeBase("relative", 1000), "/run/user/1000");
  EXPECT_EQ(UserRuntimeBase(nullptr, 1000), "/run/user/1000");
}

TEST(RuntimeFolder, AFolderOthersCanChangeIsPassedOverForTheNextPlace) {
  TempFolder base;
  const uid_t self = ::geteuid();
  // The user's runtime folder as a careless setup leaves it: writable by everybody.
  const std::string careless = base / "careless";
  ASSERT_EQ(::mkdir(careless.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(careless.c_str(), 0777), 0);
  const std::string work = base / "work";
  ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
  const std::vector<RuntimeCandidate> places =
      RuntimeCandidates("till", RuntimeInputs{base / "no-service", careless, work});
  std::vector<std::string> skipped;
  const std::optional<std::string> chosen = PrepareRuntimeFolder(places, self, skipped);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, work + "/.ruvodrv-till");
  ASSERT_EQ(skipped.size(), 1U);
  EXPECT_EQ(skipped[0], careless + " is writable by other users");
  struct stat st {};
  ASSERT_EQ(::lstat(chosen->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700U);

  // The same in a sticky folder of root's, as /tmp is, would do (the temp folder is there).
  std::string why;
  EXPECT_TRUE(OnlyOwnerCanChange(*chosen, self, why)) << why;
  EXPECT_FALSE(OnlyOwnerCanChange(*chosen, self + 1, why));
  EXPECT_FALSE(OnlyOwnerCanChange("relative/path", self, why));
  // A link in the folder's place is not followed.
  const std::string link = base / "link";
  ASSERT_EQ(::symlink(chosen->c_str(), link.c_str()), 0);
  EXPECT_FALSE(OnlyOwnerCanChange(link, self, why));
  EXPECT_EQ(why, link + " is not a folder");

  // Nowhere to go: no place at all.
  ASSERT_EQ(::chmod(work.c_str(), 0777), 0);
  ::rmdir(chosen->c_str());
  skipped.clear();
  EXPECT_FALSE(PrepareRuntimeFolder(places, self, skipped).has_value());
  EXPECT_EQ(skipped.size(), 2U);
}

TEST(RuntimeFolder, TheClientTakesTheFirstSocketItTrusts) {
  TempFolder base;
  const uid_t self = ::geteuid();
  const std::string user = base / "user";
  const std::string work = base / "work";
  ASSERT_EQ(::mkdir(user.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(work.c_str(), 0700), 0);
  const std::vector<RuntimeCandidate> places =
      RuntimeCandidates("till", RuntimeInputs{base / "no-service", user, work});
  std::string problem;
  EXPECT_FALSE(FindControlPlace(places, self, problem).has_value());
  EXPECT_EQ(problem, "") << "nothing there is not a problem, only no driver";

  std::vector<std::string> skipped;
  const std::optional<std::string> folder = PrepareRuntimeFolder(places, self, skipped);
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(*folder, user + "/ruvo-drv/till");
  // A plain file in the socket's place is no driver.
  const std::string socket = *folder + "/" + kControlSocketFileName;
  FILE* file = std::fopen(socket.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_FALSE(FindControlPlace(places, self, problem).has_value());
  EXPECT_EQ(problem, socket + " is not a socket");
}

// What ctl says when it finds nothing: the instances the service runs under other names,
// and a driver whose folder this user may not look into, named as another user's.
TEST(RuntimeFolder, FindingNothingSaysWhyAndWhatToDo) {
  TempFolder base;
  const std::string service = base / "service";
  ASSERT_EQ(::mkdir(service.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((service + "/ruvo-drv-till2").c_str(), 0700), 0);
  const std::vector<RuntimeCandidate> places =
      RuntimeCandidates("XRuvoDrv", RuntimeInputs{service, "", ""});
  std::string why = WhyNoControlPlace(places, "XRuvoDrv", false);
  EXPECT_EQ(why.rfind("no driver runs as instance XRuvoDrv (no control socket in " + service +
                          "/XRuvoDrv)",
                      0),
            0u)
      << why;
  EXPECT_NE(why.find("the service runs ruvo-drv-till2: --instance NAME"), std::string::npos);
  EXPECT_NE(why.find("--dir FOLDER"), std::string::npos);
  EXPECT_EQ(WhyNoControlPlace(places, "XRuvoDrv", true).find("--dir"), std::string::npos);

  // The service's folder of the instance, closed to the caller (root looks into anything:
  // the look is made by a child that has become "nobody").
  ASSERT_EQ(::chmod(base.Path().c_str(), 0755), 0);
  const std::string own = service + "/XRuvoDrv";
  ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(own.c_str(), 0), 0);
  }
  int answer[2];
  ASSERT_EQ(::pipe(answer), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(answer[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    const std::string text = WhyNoControlPlace(places, "XRuvoDrv", false);
    static_cast<void>(::write(answer[1], text.data(), text.size()));
    ::_exit(0);
  }
  ::close(answer[1]);
  char text[1024];
  const ssize_t got = ::read(answer[0], text, sizeof text);
  ::close(answer[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::chmod(own.c_str(), 0700);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_GT(got, 0);
  why.assign(text, static_cast<std::size_t>(got));
  EXPECT_EQ(why.rfind("instance XRuvoDrv has its folder " + own + ", which belongs to ", 0), 0u)
      << why;
  EXPECT_NE(why.find("which this user may not look into: ask as "), std::string::npos) << why;
}

}  // namespace
}  // namespace ruvo
