#include "external/samba/SambaCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

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

// One output of the command: its pipe's reading end, and what came from it.
struct Channel {
    int fd = -1;
    QByteArray* into = nullptr;
};

// Reads what is waiting on the channel straight into its buffer, which doubles as it
// fills (an answer of megabytes comes in pipe-sized pieces). False once the buffer would
// pass the cap. The channel's fd is closed at its end.
bool drain(Channel& channel) {
    QByteArray& into = *channel.into;
    for (;;) {
        const qsizetype old = into.size();
        if (into.capacity() - old < 16 * 1024) {
            into.reserve(std::max<qsizetype>(2 * into.capacity(), 64 * 1024));
        }
        const qsizetype room =
            std::min<qsizetype>(into.capacity() - old, kMaxCommandOutputBytes + 1 - old);
        into.resize(old + room);
        const ssize_t got = ::read(channel.fd, into.data() + old, size_t(room));
        const int error = got < 0 ? errno : 0;
        into.resize(old + std::max<ssize_t>(got, 0));
        if (got > 0) {
            if (into.size() > kMaxCommandOutputBytes) {
                return false;
            }
        } else if (error == EAGAIN) {
            return true;
        } else if (error != EINTR) {
            ::close(channel.fd);
            channel.fd = -1;
            return true;
        }
    }
}

// Starts the command in a process group of its own, its input /dev/null, its outputs on
// the two pipes' writing ends; the process id, or -1 with errno's reason.
pid_t spawn(const QStringList& command, const int (&out)[2], const int (&err)[2]) {
    QList<QByteArray> args;
    args.reserve(command.size());
    for (const QString& arg : command) {
        args.append(QFile::encodeName(arg));
    }
    std::vector<char*> argv;
    for (QByteArray& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own group: whatever it starts (a shell's children, ssh's helpers) is ended with
    // it. Signals this program ignores or blocks are not passed on to it.
    sigset_t none;
    sigset_t reset;
    sigemptyset(&none);
    sigemptyset(&reset);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaddset(&reset, signal);
    }
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &reset);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int failed =
        ::posix_spawnp(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
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
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return output;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return output;
    }
    // Fewer, larger pieces for an answer of megabytes; the default size where refused.
    ::fcntl(out[0], F_SETPIPE_SZ, 1024 * 1024);
    const pid_t pid = spawn(command, out, err);
    ::close(out[1]);
    ::close(err[1]);
    Channel channels[] = {{out[0], &output.out}, {err[0], &output.err}};
    if (pid < 0) {
        for (const Channel& channel : channels) {
            ::close(channel.fd);
        }
        return output;
    }
    output.started = true;
    for (const Channel& channel : channels) {
        ::fcntl(channel.fd, F_SETFL, ::fcntl(channel.fd, F_GETFL) | O_NONBLOCK);
    }
    // The command's end is seen at once where the kernel gives a descriptor for it, else
    // at the next look.
    const int ended = int(::syscall(SYS_pidfd_open, pid, 0));

    QElapsedTimer timer;
    timer.start();
    int status = 0;
    bool reaped = false;
    bool fits = true;
    for (;;) {
        pollfd looks[3];
        nfds_t count = 0;
        for (const Channel& channel : channels) {
            if (channel.fd >= 0) {
                looks[count++] = {channel.fd, POLLIN, 0};
            }
        }
        if (ended >= 0) {
            looks[count++] = {ended, POLLIN, 0};
        }
        // Without that descriptor, a command that closed its outputs is looked at often.
        ::poll(looks, count, ended < 0 && count == 0 ? 5 : kSliceMs);
        // Once the command has ended, what it left in the pipes is read and the rest (a
        // child it left behind that still holds them) is not waited for.
        reaped = reaped || ::waitpid(pid, &status, WNOHANG) == pid;
        for (Channel& channel : channels) {
            fits = fits && (channel.fd < 0 || drain(channel));
        }
        output.tooLarge = !fits;
        output.interrupted = fits && g_interrupted;
        output.timedOut = fits && !g_interrupted && !reaped && timer.elapsed() > timeoutMs;
        if (reaped || output.tooLarge || output.interrupted || output.timedOut) {
            break;
        }
    }
    const bool ranToItsEnd = !output.tooLarge && !output.interrupted && !output.timedOut;
    if (!ranToItsEnd) {
        // Not reaped yet, so the group's id is still this command's.
        if (!reaped) {
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        output.out.clear();
    } else {
        output.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    for (const Channel& channel : channels) {
        if (channel.fd >= 0) {
            ::close(channel.fd);
        }
    }
    if (ended >= 0) {
        ::close(ended);
    }
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
