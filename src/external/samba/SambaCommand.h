#pragma once

#include <QByteArray>
#include <QStringList>
#include <functional>

namespace tavrel {

// What a command printed and how it ended.
struct CommandOutput {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    bool tooLarge = false;     // it printed more than kMaxCommandOutputBytes and was ended
    bool interrupted = false;  // interruptCommands() ended it
};

// Runs a program with its arguments (never through a shell).
using CommandRunner = std::function<CommandOutput(const QStringList& command)>;

// A command program may time out; a hung ssh must not hang the scan.
constexpr int kCommandTimeoutMs = 20000;
// Far more than any server's answer (2,000 opens are under 2 MB), far less than memory.
constexpr qint64 kMaxCommandOutputBytes = 64 * 1024 * 1024;

// Runs the command in a process group of its own, reading at most kMaxCommandOutputBytes
// of each output; on a time-out, an answer too large or interruptCommands() the whole group
// is ended, so nothing the command started outlives it.
CommandOutput runCommand(const QStringList& command);
// The same with a time-out of its own.
CommandOutput runCommandWithin(const QStringList& command, int timeoutMs);

// Ends the running command and every later one at once. Safe to call from a signal
// handler: a program that is asked to end does not wait for a hung command's time-out.
void interruptCommands();

// Why a command did not give an answer, for the status line: could not be started, did
// not answer in time, gave an answer too large, or failed with its exit code and the
// first line it wrote to its error output.
QString commandFailureText(const QStringList& command, const CommandOutput& output);
// True when the command ran to its end with exit code 0.
bool commandSucceeded(const CommandOutput& output);

}  // namespace tavrel
