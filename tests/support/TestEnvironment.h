#pragma once

#include <QString>

namespace tavrel::test {

// Points every folder a test could write to (home, configuration, data, runtime, the
// program's folder) at one private temporary folder, and asks for the offscreen platform.
// Called by the test programs' main before Qt starts.
void isolateEnvironment();

// The private folder isolateEnvironment made.
QString isolatedRoot();

}  // namespace tavrel::test
