#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QIODevice>
#include <QTextStream>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ActionCommand.h"
#include "ActionsCommand.h"
#include "DetailsCommand.h"
#include "FilesCommand.h"
#include "InfoCommand.h"
#include "MetricsCommand.h"
#include "QueryCommand.h"
#include "ScanCommand.h"
#include "SiteCommand.h"

namespace {

// One entry per command group; each group lives in its own file.
struct CommandGroup {
    const char* name;
    const char* summary;
    int (*run)(const QStringList& args, QTextStream& out, QTextStream& err);
};

const CommandGroup kGroups[] = {
    {"files", "list, add and delete the monitored files", tavrel::runFilesCommand},
    {"info", "show the extended file information of a file", tavrel::runInfoCommand},
    {"scan", "scan the monitored files once and print the tree", tavrel::runScanCommand},
    {"log", "scan once into the usage log; log location, station, migrate: a shared log",
     tavrel::runLogCommand},
    {"watch", "auto scan without a window, optionally storing the results",
     tavrel::runWatchCommand},
    {"metrics", "scan once and print the metrics as watch --metrics serves them",
     tavrel::runMetricsCommand},
    {"wait", "wait until no user holds a monitored file", tavrel::runWaitCommand},
    {"message", "send a broadcast message to the users holding a file, or to all",
     tavrel::runMessageCommand},
    {"clear", "clear the connections of the users holding a file", tavrel::runClearCommand},
    {"unlock", "clear the locks on a file", tavrel::runUnlockCommand},
    {"unlock-all", "release the file locks this workstation holds", tavrel::runUnlockAllCommand},
    {"actions", "the journal of the operator's actions, newest first", tavrel::runActionsCommand},
    {"details", "one day of the usage log with every stay", tavrel::runDetailsCommand},
    {"site", "show the site's servers (emulated NetWare or Samba), edit an emulated one",
     tavrel::runSiteCommand},
    {"query", "run an SQL statement on the usage log and print its rows", tavrel::runQueryCommand},
};

void printUsage(QTextStream& stream) {
    stream << "Usage: tavrelctl COMMAND [ARGUMENTS]\n"
              "\n"
              "The command-line companion of Tavrel.\n"
              "\n"
              "Commands:\n";
    for (const CommandGroup& group : kGroups) {
        stream << "  " << QString::fromLatin1(group.name).leftJustified(12) << group.summary
               << "\n";
    }
    stream
        << "\nThe site file is the one TAVREL_SITE names, else site.json in the program's folder\n"
           "(~/.local/share/Tavrel when that cannot be written; TAVREL_HOME overrides both):\n"
           "an emulated NetWare site, or a Samba server when its \"backend\" is \"samba\".\n"
           "\n\"tavrelctl COMMAND help\" describes a command.\n";
}

// The exit status of output that could not be written (sysexits' EX_IOERR).
constexpr int kCannotWrite = 74;

// Flushes what the command printed; the command's exit status, or kCannotWrite (said on
// stderr) when any of it could not be written, as on a full disk or a closed pipe.
int checkedOutput(QTextStream& out, QTextStream& err, int status) {
    out.flush();
    errno = 0;
    if (out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout)) {
        return status;
    }
    QString reason = out.device() != nullptr ? out.device()->errorString() : QString();
    if (errno != 0 || reason.isEmpty() || reason == QLatin1String("Unknown error")) {
        reason = QString::fromLocal8Bit(std::strerror(errno != 0 ? errno : EIO));
    }
    err << "tavrelctl: cannot write the output: " << reason << "\n";
    return kCannotWrite;
}

// A scan of thousands of opens builds tens of megabytes of small strings at once, and on
// a virtual machine the page faults of that memory were the larger part of a one-shot
// command's time. The heap is grown once, by more than a scan of 20,000 opens uses (only
// what is touched takes memory), and that range is asked for 2 MB pages: a fault then
// maps 2 MB, not 4 KB. Blocks of up to 32 MB stay on the heap to be in it too, and freed
// memory is kept for reuse rather than given back and faulted in again. Where the system
// gives no large pages, or refuses the growth, this changes nothing else.
void useLargePagesForTheHeap() {
    constexpr int kGrowth = 256 << 20;
    constexpr int kDefaultPad = 128 << 10;
    constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, kGrowth);
    const auto brk = [] { return reinterpret_cast<std::uintptr_t>(::sbrk(0)); };
    const std::uintptr_t before = brk();
    // More than the heap has free, so it grows by that and kGrowth more.
    void* volatile block = std::malloc(8 << 20);
    std::free(block);
    mallopt(M_TOP_PAD, kDefaultPad);  // later growth, if any, as usual
    const std::uintptr_t start = (before + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t end = brk();
    if (end > start) {
        ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    useLargePagesForTheHeap();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        printUsage(err);
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("help") || command == QLatin1String("--help")) {
        printUsage(out);
        return checkedOutput(out, err, 0);
    }
    for (const CommandGroup& group : kGroups) {
        if (command == QLatin1String(group.name)) {
            return checkedOutput(out, err, group.run(args, out, err));
        }
    }
    err << "tavrelctl: unknown command " << command << "\n\n";
    printUsage(err);
    return 2;
}
