#pragma once

// The model as the window holds it: a strip, its commands, scripted answers,
// settings in memory and a folder of the test's own.

#include "MemorySettings.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"
#include "workspace/StripCommands.h"

#include <gtest/gtest.h>

namespace abm::test {

class StripFixture : public ::testing::Test {
protected:
    ScriptedPrompts prompts;
    MemorySettings settings;
    FrameStrip strip;
    StripCommands commands{strip, prompts, settings};
    TempDir dir;
};

}  // namespace abm::test
