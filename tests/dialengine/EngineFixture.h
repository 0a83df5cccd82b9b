// The common set-up of the engine's tests: the scripted system and a registered test host window.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "FakeSystem.h"
#include "TestHost.h"
#include "dialengine/RasDial.h"

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallFakeSystem();
    host.reset(new TestHost());
  }
  void TearDown() override {
    host.reset();
    RemoveFakeSystem();
  }

  std::unique_ptr<TestHost> host;
};

// A RAS dialer set up for the default entry, as the manager's SetConnectInfo leaves it.
class DefaultEntryDialer : public CRasDial {
 public:
  DefaultEntryDialer() { snprintf(m_entryName, sizeof(m_entryName), "%s", "pppoe_vorlan_default_entry"); }
};
