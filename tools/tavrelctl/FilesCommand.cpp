#include "FilesCommand.h"

#include <QFile>
#include <QStringDecoder>
#include <map>
#include <optional>

#include "CommandArgs.h"
#include "ConsolePrompts.h"
#include "CtlSession.h"
#include "common/AppTitle.h"
#include "common/PrintableText.h"
#include "common/SystemClock.h"
#include "external/netware/EmulatedNetWare.h"
#include "filelist/FileListLock.h"
#include "filelist/FileListStore.h"
#include "monitor/ActionJournal.h"
#include "monitor/LogLocation.h"
#include "monitor/UsageLog.h"

namespace tavrel {

namespace {

const char* const kUsage =
    "Usage: tavrelctl files COMMAND\n"
    "\n"
    "The monitored file list Tavrel scans (kept in the user's settings).\n"
    "\n"
    "Commands:\n"
    "  list                      one file a line: number, TAB, path, TAB, description\n"
    "                            (control characters shown as \\n, \\t, \\x1b ...)\n"
    "  add PATH [DESCRIPTION]    adds a file on a network drive (G:\\APPS\\ORDERS.DBF);\n"
    "                            the description is cut to 55 characters\n"
    "  add -                     adds the files of standard input, a PATH, TAB,\n"
    "                            DESCRIPTION line each (UTF-8; empty lines skipped): each\n"
    "                            added file is printed as list prints it, each refused\n"
    "                            line with its number and the reason; the good lines are\n"
    "                            written all the same, in one change of the list\n"
    "  delete N                  removes file number N; later files move up; its open\n"
    "                            rows in the usage log are closed\n"
    "\n"
    "add and delete are written to the journal of actions (tavrelctl actions).\n"
    "\n"
    "Exit status 0 done, 1 refused (nothing written; for add -, a line or more refused),\n"
    "2 bad usage or unreadable settings, 3 done but not journaled (the usage log could not\n"
    "be written; said on stderr).\n";

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kBadUsage = 2;

int list(SettingsStore& store, QTextStream& out) {
    for (const FileListEntry& entry : LoadFileList(store)) {
        out << entry.number << '\t' << printableText(entry.path) << '\t'
            << printableText(fileDescription(store, entry.number)) << '\n';
    }
    return kDone;
}

// The files a path could mean in another letter case, as a message shows them.
QStringList printableTwins(const DriveMap& drives, const QString& path) {
    QStringList twins = drives.caseTwins(path);
    for (QString& twin : twins) {
        twin = printableText(twin);
    }
    return twins;
}

int add(const QStringList& words, QTextStream& err) {
    CtlSession session(err);
    if (!session.start()) {
        return kRefused;
    }
    AppContext& context = session.context();
    const QString description = words.mid(1).join(QLatin1Char(' '));
    const AddFileResult result =
        addMonitoredFile(context.settings(), context.drives(), words.at(0), description);
    const QString failure = result == AddFileResult::Saved
                                ? QString()
                                : addFileMessage(result, printableText(words.at(0)),
                                                 printableTwins(context.drives(), words.at(0)));
    if (!failure.isEmpty()) {
        err << failure << '\n';
    }
    return journalActions(
        context.settings(),
        {fileJournalEntry(context.drives(), journal::kAddFile, words.at(0), description, failure)},
        failure.isEmpty() ? kDone : kRefused, err);
}

// More than a list can hold in any spelling: the rest of such an input is not read.
constexpr qint64 kMaxInputBytes = 16 * 1024 * 1024;

int addFromInput(QTextStream& out, QTextStream& err) {
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        err << "tavrelctl files add: standard input cannot be read\n";
        return kBadUsage;
    }
    const QByteArray text = input.read(kMaxInputBytes + 1);
    if (text.size() > kMaxInputBytes) {
        err << "tavrelctl files add: standard input holds more than " << kMaxInputBytes
            << " bytes; give the list in parts\n";
        return kBadUsage;
    }
    QList<FileToAdd> files;
    QList<int> lineOf;                // the input line of each file
    std::map<int, QString> refusals;  // by line
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty()) {
            continue;
        }
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder(line);
        if (decoder.hasError()) {
            refusals[int(i + 1)] = QStringLiteral("not UTF-8 text");
            continue;
        }
        const qsizetype tab = decoded.indexOf(QLatin1Char('\t'));
        files.append({decoded.left(tab).trimmed(), tab < 0 ? QString() : decoded.mid(tab + 1)});
        lineOf.append(int(i + 1));
    }
    CtlSession session(err);
    QList<AddedFile> added;
    if (!files.isEmpty()) {
        if (!session.start()) {
            return kRefused;
        }
        added = addMonitoredFiles(session.context().settings(), session.context().drives(), files);
    }
    QList<JournalEntry> journal;
    for (qsizetype k = 0; k < added.size(); ++k) {
        const int number = added[k].number;
        QString failure;
        if (added[k].result == AddFileResult::Saved) {
            SettingsStore& store = session.context().settings();
            out << number << '\t' << printableText(fileEntryPath(store, number)) << '\t'
                << printableText(fileDescription(store, number)) << '\n';
        } else {
            failure = addFileMessage(added[k].result, printableText(files[k].path),
                                     printableTwins(session.context().drives(), files[k].path));
            refusals[lineOf[k]] = failure;
        }
        journal.append(fileJournalEntry(session.context().drives(), journal::kAddFile,
                                        files[k].path, files[k].description, failure));
    }
    for (const auto& [line, reason] : refusals) {
        err << "tavrelctl files add: line " << line << ": " << reason << '\n';
    }
    const int status = refusals.empty() ? kDone : kRefused;
    return journal.isEmpty() ? status
                             : journalActions(session.context().settings(), journal, status, err);
}

int remove(SettingsStore& store, const QString& word, QTextStream& err) {
    // The number is checked against the list as it is under the lock.
    std::optional<FileListLock> lock(std::in_place, store);
    if (!lock->isLocked()) {
        err << "tavrelctl files delete: another program keeps the list of files locked ("
            << lock->path() << ")\n";
        return kRefused;
    }
    bool numeric = false;
    const int number = word.toInt(&numeric);
    const int count = fileListCount(store);
    if (!numeric || number < 1 || number > count) {
        err << "tavrelctl files delete: there is no file number " << word << " (the list has "
            << count << (count == 1 ? " file" : " files") << ")\n";
        return kRefused;
    }
    const QString path = fileEntryPath(store, number);
    const QString description = fileDescription(store, number);
    const bool deleted = DeleteFileEntry(store, number);
    lock.reset();  // the journal may wait for a shared log: the list is free meanwhile
    int status = kDone;
    if (!deleted) {
        err << "tavrelctl files delete: the settings could not be written\n";
        status = kRefused;
    } else {
        // No scan asks about the file again: its open rows in the usage log are closed now.
        SystemClock clock;
        ConsolePrompts prompts(err);
        QDate lastScanDate;
        const std::optional<QString> location = currentLogLocation(err);
        QString reason = QStringLiteral("the settings cannot be read");
        if (location) {
            UsageLog log(*location, clock, prompts, lastScanDate);
            log.setStation(loglocation::station(store));
            reason = log.closeFiles({path});
        }
        if (!reason.isEmpty()) {
            err << "tavrelctl files delete: the file is deleted, but its open rows in the usage "
                   "log could not be closed: "
                << reason << "\n";
            status = kRefused;
        }
    }
    return journalActions(
        store,
        {fileJournalEntry(
            DriveMap(), journal::kDeleteFile, path, description,
            deleted ? QString() : QStringLiteral("the settings could not be written"))},
        status, err);
}

}  // namespace

int runFilesCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = args.value(0);
    const QStringList words = args.mid(1);
    IniSettingsStore store;
    const bool known = (command == QLatin1String("list") && words.isEmpty()) ||
                       (command == QLatin1String("add") && !words.isEmpty()) ||
                       (command == QLatin1String("delete") && words.size() == 1);
    if (known && !store.isReadable(kAppTitle)) {
        err << "tavrelctl files: " << unreadableSettingsMessage(store, kAppTitle) << '\n';
        return kBadUsage;
    }
    if (command == QLatin1String("list") && words.isEmpty()) {
        return list(store, out);
    }
    if (command == QLatin1String("add") && words == QStringList{QStringLiteral("-")}) {
        return addFromInput(out, err);
    }
    if (command == QLatin1String("add") && !words.isEmpty()) {
        return add(words, err);
    }
    if (command == QLatin1String("delete") && words.size() == 1) {
        return remove(store, words.at(0), err);
    }
    if (isHelpWord(command)) {
        out << kUsage;
        return kDone;
    }
    err << kUsage;
    return kBadUsage;
}

}  // namespace tavrel
