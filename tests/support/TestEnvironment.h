#pragma once

#include <QProcessEnvironment>
#include <QString>

class QTemporaryDir;

namespace tavrel::test {

// Points every folder a test could write to (home, configuration, data, runtime, the
// program's folder) at one private temporary folder, and asks for the offscreen platform.
// Called by the test programs' main before Qt starts.
void isolateEnvironment();

// The private folder isolateEnvironment made.
QString isolatedRoot();

// The environment of a program run as a separate process on a program folder
// (TAVREL_HOME, created), a site file (TAVREL_SITE) and settings of its own, all in dir.
QProcessEnvironment programEnvironment(const QTemporaryDir& dir);

}  // namespace tavrel::test
