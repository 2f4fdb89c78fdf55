#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ScriptedPort.h"
#include "ecr/FrameLink.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace ruvo::test {

// Counts how often the link lets the UI run while it waits.
class CountingPump final : public IEventPump {
 public:
  void Pump() override { ++calls; }
  long calls = 0;
};

// A link on a scripted ECR, opened on COM1, at 14:03:07.125 virtual time.
class LinkTest : public ::testing::Test {
 protected:
  LinkTest() : clock(LocalDateTime{2026, 1, 15, 14, 3, 7, 125}) {
    auto scripted = std::make_unique<ScriptedPort>(clock);
    port = scripted.get();
    link = std::make_unique<TXruvoLinux>(std::move(scripted), clock, pump);
  }
  void SetUp() override { ASSERT_TRUE(link->Engine().OpenPort(1)); }

  std::int64_t Elapsed() const { return clock.MonotonicMs(); }
  static std::string Frame(const std::string& text) { return FrameLink::BuildFrame(text); }

  VirtualClock clock;
  CountingPump pump;
  ScriptedPort* port = nullptr;
  std::unique_ptr<TXruvoLinux> link;
};

// The frame engine alone on a scripted ECR, opened on COM1, at the same virtual time.
class FrameLinkTest : public ::testing::Test {
 protected:
  FrameLinkTest() : clock(LocalDateTime{2026, 1, 15, 14, 3, 7, 125}) {
    auto scripted = std::make_unique<ScriptedPort>(clock);
    port = scripted.get();
    link = std::make_unique<FrameLink>(std::move(scripted), clock, pump);
  }
  void SetUp() override { ASSERT_TRUE(link->OpenPort(1)); }

  std::int64_t Elapsed() const { return clock.MonotonicMs(); }
  static std::string Frame(const std::string& text) { return FrameLink::BuildFrame(text); }

  VirtualClock clock;
  CountingPump pump;
  ScriptedPort* port = nullptr;
  std::unique_ptr<FrameLink> link;
};

}  // namespace ruvo::test
