// The demo game the build makes for the tests, and where tests leave files
// for people to look at.
#pragma once

#include <string>

namespace tarnwick::test {

inline std::string DemoGameFolder()
{
    return TARNWICK_TEST_DEMO_GAME;
}

inline std::string ArtifactsFolder()
{
    return TARNWICK_TEST_ARTIFACTS;
}

}  // namespace tarnwick::test
