#include "external/samba/SambaCommand.h"

#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <atomic>

namespace tavrel {

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// How often a running command is looked at for the time-out and an interruption.
constexpr int kSliceMs = 50;

// The first line of what a failing command said.
QString firstLine(const QByteArray& text) {
    const QString line = QString::fromLocal8Bit(text).trimmed().section(QLatin1Char('\n'), 0, 0);
    return line.size() > 160 ? line.left(160) + QStringLiteral("...") : line;
}

// Appends what the process printed on a channel, no more than the cap; true while it fits.
// An answer of megabytes comes in pipe-sized pieces: they are read straight into a buffer
// that doubles as it fills.
bool take(QProcess& process, QProcess::ProcessChannel channel, QByteArray& into) {
    process.setReadChannel(channel);
    const qint64 available = process.bytesAvailable();
    if (available <= 0) {
        return true;
    }
    if (into.size() + available > kMaxCommandOutputBytes) {
        return false;
    }
    const qsizetype old = into.size();
    if (into.capacity() < old + available) {
        into.reserve(std::max<qsizetype>(2 * into.capacity(), old + available));
    }
    into.resize(old + available);
    into.resize(old + std::max<qint64>(process.read(into.data() + old, available), 0));
    return true;
}

}  // namespace

void interruptCommands() {
    g_interrupted = true;
}

CommandOutput runCommand(const QStringList& command) {
    return runCommandWithin(command, kCommandTimeoutMs);
}

CommandOutput runCommandWithin(const QStringList& command, int timeoutMs) {
    CommandOutput output;
    if (command.isEmpty() || g_interrupted) {
        output.interrupted = g_interrupted;
        return output;
    }
    QProcess process;
    process.setProgram(command.first());
    process.setArguments(command.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    // Its own group: whatever it starts (a shell's children, ssh's helpers) is ended with it.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start();
    if (!process.waitForStarted()) {
        return output;
    }
    output.started = true;
    const pid_t group = pid_t(process.processId());
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const bool more = process.waitForReadyRead(kSliceMs);
        const bool fits = take(process, QProcess::StandardOutput, output.out) &&
                          take(process, QProcess::StandardError, output.err);
        if (!fits) {
            output.tooLarge = true;
        } else if (g_interrupted) {
            output.interrupted = true;
        } else if (timer.elapsed() > timeoutMs) {
            output.timedOut = true;
        } else if (more || process.state() != QProcess::NotRunning) {
            continue;
        } else {
            break;
        }
        // Not reaped yet, so the group's id is still this command's.
        ::kill(-group, SIGKILL);
        process.waitForFinished();
        output.out.clear();
        return output;
    }
    output.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return output;
}

bool commandSucceeded(const CommandOutput& output) {
    return output.started && !output.timedOut && !output.tooLarge && !output.interrupted &&
           output.exitCode == 0;
}

QString commandFailureText(const QStringList& command, const CommandOutput& output) {
    const QString program = command.value(0);
    if (output.interrupted) {
        return QStringLiteral("%1 was ended: the program is stopping").arg(program);
    }
    if (!output.started) {
        return QStringLiteral("%1 could not be started").arg(program);
    }
    if (output.tooLarge) {
        return QStringLiteral("%1 gave an answer too large (over %2 MB)")
            .arg(program)
            .arg(kMaxCommandOutputBytes / (1024 * 1024));
    }
    if (output.timedOut) {
        return QStringLiteral("%1 did not answer within %2 seconds")
            .arg(program)
            .arg(kCommandTimeoutMs / 1000);
    }
    const QString said = firstLine(output.err);
    return QStringLiteral("%1 failed with exit code %2").arg(program).arg(output.exitCode) +
           (said.isEmpty() ? QString() : QStringLiteral(": ") + said);
}

}  // namespace tavrel
