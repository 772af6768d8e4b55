#include "ActionCommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <optional>

#include "CommandArgs.h"
#include "CtlSession.h"
#include "common/DriveMap.h"
#include "common/PrintableText.h"
#include "external/netware/EmulatedNetWare.h"
#include "filelist/FileListStore.h"
#include "mainwindow/TreeNodeRules.h"
#include "mainwindow/UserActions.h"
#include "monitor/ScanCycle.h"
#include "monitor/ScanRecorder.h"

namespace tavrel {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

const char* const kMessageUsage =
    "Usage: tavrelctl message FILE|--all TEXT [--json]\n"
    "\n"
    "Sends TEXT as a broadcast message to every user holding FILE open (FILE is a\n"
    "monitored path, or its number in \"tavrelctl files list\"), or with --all to every\n"
    "user a scan of the monitored files finds. A connection is sent to once per server.\n"
    "Prints a line a user: NAME (SERVER, connection N): sent|failed.\n"
    "Exit status 0 when every message was delivered, 1 when one was not, 2 bad usage, or\n"
    "when the scan did not complete or could not read who holds a file it would send to\n"
    "(nothing is sent then), 3 when all were delivered but could not be journaled.\n";

const char* const kClearUsage =
    "Usage: tavrelctl clear FILE [USER] [--yes] [--json]\n"
    "\n"
    "Clears (logs out) the connections of the users holding FILE open, or only USER's.\n"
    "FILE is a monitored path or its number in \"tavrelctl files list\". Without --yes it\n"
    "lists the connections it would clear and changes nothing. A connection is cleared\n"
    "only while the server still names that user on it.\n"
    "A connection is reported cleared only when the server no longer shows it.\n"
    "Exit status 0 when every connection was cleared (or nobody holds the file), 1 when\n"
    "one was not or USER does not hold FILE, 2 bad usage, or when the scan did not complete\n"
    "or could not read who holds FILE (nothing is cleared then), 3 when every connection\n"
    "was cleared but the clears could not be journaled.\n";

const char* const kUnlockUsage =
    "Usage: tavrelctl unlock FILE [--json]\n"
    "\n"
    "Clears the locks on FILE (a drive-letter path, or a number in \"tavrelctl files\n"
    "list\") on the server that holds it, as \"Unlock file\" in the tree does. FILE must\n"
    "name an existing file on a server drive (\"/\" may stand for \"\\\").\n"
    "Exit status 0 when the lock was cleared, 1 when not, 2 bad usage or when FILE is not\n"
    "such a file (nothing is cleared then), 3 when it was cleared but could not be\n"
    "journaled.\n";

const char* const kUnlockAllUsage =
    "Usage: tavrelctl unlock-all [FILE] [--json]\n"
    "\n"
    "Releases the file locks this workstation holds: on the server of FILE (a drive-letter\n"
    "path, or a number in \"tavrelctl files list\"), or without FILE on every server.\n"
    "Exit status 0 when the locks were released, 1 when not, 2 bad usage, 3 when they were\n"
    "released but that could not be journaled.\n";

const QString kJson = QStringLiteral("json");

// Every action done is written, after it, to the journal in the usage log (tavrelctl
// actions lists it); one that could not be is said on stderr, and a command that did all
// it was asked exits with kNotJournaled (3).

// What an action command came to, as its exit status, its --json and a record of it read
// it: done or not (with the reason), and whether anything on a server was changed.
struct ActionOutcome {
    int status = kDone;
    bool changed = false;
    QString reason;  // why it failed or was refused, "" when done
};

// The users a scan of the monitored files finds, as the tree would hold them.
struct ScannedTree {
    QList<ActionNode> nodes;
    QList<int> parents;  // index of each node's parent, -1 for a top-level node
    QString problem;     // why the scan did not complete, "" when it did
    // Why the users of each file the scan could not read in full were not read, by path.
    QHash<QString, QString> unread;
};

// The text of the file node for path: "PATH[2]", "PATH[Error : ...]".
QString fileNodeText(const ScannedTree& tree, const QString& path) {
    for (qsizetype i = 0; i < tree.nodes.size(); ++i) {
        if (tree.parents.at(i) == 0 &&
            nodePath(tree.nodes.at(i).text).compare(path, Qt::CaseInsensitive) == 0) {
            return tree.nodes.at(i).text;
        }
    }
    return QString();
}

ScannedTree scanTree(AppContext& context) {
    ScanRecorder view;
    ScanCycle cycle(context, view);
    ScanFileTable files;
    cycle.setFinished([&files](const ScanFileTable& scanned) { files = scanned; });
    const ScanOutcome outcome = cycle.cmdScan_Click({false, false, false, false});
    ScannedTree tree;
    if (outcome != ScanOutcome::Completed) {
        tree.problem = outcome == ScanOutcome::EmptyList
                           ? QStringLiteral("there are no monitored files")
                           : view.statusTexts.value(view.statusTexts.size() - 1);
        return tree;
    }
    // The scan adds every node after its parent and before the next file, so the order
    // of adding is the tree's order.
    for (const ScanRecorder::Node& node : view.nodes) {
        tree.nodes.append({node.tag, node.text, false});
        tree.parents.append(node.parent - 1);
    }
    const QString serverProblem = context.netware().scanProblem();
    for (const ScanFileEntry& file : files) {
        if (!file.UsersComplete) {
            const QString node = fileNodeText(tree, file.Path);
            tree.unread.insert(file.Path.toUpper(), serverProblem.isEmpty()
                                                        ? node.mid(nodePath(node).size())
                                                        : serverProblem);
        }
    }
    return tree;
}

// "" when the scan completed and read who holds the file at path (every file when path is
// ""), else why not: acting on what was not seen would say "nobody" where it cannot know.
QString unseenUsers(const ScannedTree& tree, const QString& path) {
    if (!tree.problem.isEmpty()) {
        return QStringLiteral("the scan did not complete: ") + tree.problem;
    }
    for (auto it = tree.unread.begin(); it != tree.unread.end(); ++it) {
        if (path.isEmpty() || it.key() == path.toUpper()) {
            return QStringLiteral("the users of %1 could not be read: %2")
                .arg(path.isEmpty() ? it.key() : path, it.value());
        }
    }
    return QString();
}

// The users the tree shows holding the file at path.
QStringList holdersIn(const ScannedTree& tree, const QString& path) {
    QStringList users;
    for (qsizetype i = 0; i < tree.nodes.size(); ++i) {
        const int parent = tree.parents.at(i);
        if (levelOfNode(tree.nodes.at(i).tag, true, false) == kUserLevel && parent >= 0 &&
            nodePath(tree.nodes.at(parent).text).compare(path, Qt::CaseInsensitive) == 0 &&
            !users.contains(tree.nodes.at(i).text)) {
            users.append(tree.nodes.at(i).text);
        }
    }
    return users;
}

// Ticks the users of the file at path (all users when path is ""), only those named user
// when it is given.
void tickUsers(ScannedTree& tree, const QString& path, const QString& user) {
    for (qsizetype i = 0; i < tree.nodes.size(); ++i) {
        ActionNode& node = tree.nodes[i];
        if (levelOfNode(node.tag, true, false) != kUserLevel) {
            continue;
        }
        const int parent = tree.parents.at(i);
        const bool ofFile =
            path.isEmpty() ||
            (parent >= 0 &&
             nodePath(tree.nodes.at(parent).text).compare(path, Qt::CaseInsensitive) == 0);
        node.ticked =
            ofFile && (user.isEmpty() || node.text.compare(user, Qt::CaseInsensitive) == 0);
    }
}

QString serverName(EmulatedNetWare& netware, NWCONN_HANDLE conn) {
    for (const SiteServer& server : netware.site().servers) {
        if (netware.connectionHandle(server.name) == conn) {
            return server.name;
        }
    }
    return QStringLiteral("?");
}

QJsonObject targetJson(EmulatedNetWare& netware, const UserConnection& target,
                       const QString& result) {
    return {{QStringLiteral("user"), target.user},
            {QStringLiteral("server"), serverName(netware, target.conn)},
            {QStringLiteral("connection"), int(target.number)},
            {QStringLiteral("result"), result}};
}

QString targetLine(EmulatedNetWare& netware, const UserConnection& target) {
    return QStringLiteral("%1 (%2, connection %3)")
        .arg(printableText(target.user), printableText(serverName(netware, target.conn)))
        .arg(target.number);
}

// Acts on every ticked user and reports each, a line or (json) an entry of the list
// returned. act says what became of the user and whether that failed.
struct TargetResult {
    QString text;
    bool failed = false;
};
// Each action done goes to *journal as an entry of the given action, failed with the
// result's text.
QJsonArray actOnTicked(const ScannedTree& tree, EmulatedNetWare& netware, bool json,
                       QTextStream& out, int* failed,
                       const std::function<TargetResult(const UserConnection&)>& act,
                       const QString& action, QList<JournalEntry>* journal) {
    QJsonArray results;
    for (const UserConnection& target : tickedUserConnections(tree.nodes)) {
        const TargetResult result = act(target);
        *failed += result.failed ? 1 : 0;
        if (journal != nullptr) {
            JournalEntry entry = userJournalEntry(netware, action, tree.nodes, target);
            entry.done = !result.failed;
            entry.reason = result.failed ? result.text : QString();
            journal->append(entry);
        }
        results.append(targetJson(netware, target, result.text));
        if (!json) {
            out << targetLine(netware, target) << ": " << result.text << "\n";
        }
    }
    return results;
}

void printJson(QTextStream& out, const QJsonObject& object) {
    out << QJsonDocument(object).toJson(QJsonDocument::Indented);
}

// Says why the command did nothing (on err, and with --json as {"changed": false,
// "error": ...}) and returns its exit status.
int refuse(const char* command, const ActionOutcome& outcome, bool json, QTextStream& out,
           QTextStream& err) {
    err << "tavrelctl " << command << ": " << outcome.reason << "\n";
    if (json) {
        printJson(out,
                  {{QStringLiteral("changed"), false}, {QStringLiteral("error"), outcome.reason}});
    }
    return outcome.status;
}

}  // namespace

int runMessageCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kMessageUsage;
        return kDone;
    }
    const CommandArgs parsed(args, {kJson, QStringLiteral("all")}, {});
    if (!parsed.ok()) {
        return badUsage("message", parsed.error(), kMessageUsage, err);
    }
    const bool all = parsed.has(QStringLiteral("all"));
    QStringList words = parsed.positional();
    const QString fileWord = all ? QString() : words.value(0);
    if (!all && !words.isEmpty()) {
        words.removeFirst();
    }
    const QString text = words.join(QLatin1Char(' ')).trimmed();
    if (!all && fileWord.isEmpty()) {
        return badUsage("message", QStringLiteral("give a FILE or --all"), kMessageUsage, err);
    }
    if (text.isEmpty()) {
        return badUsage("message", QStringLiteral("the message is empty"), kMessageUsage, err);
    }
    CtlSession session(err);
    if (!session.start()) {
        return kBadUsage;
    }
    AppContext& context = session.context();
    QString problem;
    const QString path =
        all ? QString() : resolveFile(context.settings(), fileWord, true, &problem);
    if (!problem.isEmpty()) {
        err << "tavrelctl message: " << problem << "\n";
        return kBadUsage;
    }
    const bool json = parsed.has(kJson);
    ScannedTree tree = scanTree(context);
    if (const QString unseen = unseenUsers(tree, path); !unseen.isEmpty()) {
        return refuse("message", {kBadUsage, false, unseen}, json, out, err);
    }
    tickUsers(tree, path, QString());
    int failed = 0;
    QList<JournalEntry> journal;
    const QJsonArray results = actOnTicked(
        tree, session.netware(), json, out, &failed,
        [&](const UserConnection& target) {
            NWCCODE code = nwcode::kSuccessful;
            const bool ok =
                SendBroadcast(context.netware(), target.number, text, target.conn, &code);
            return TargetResult{ok                              ? QStringLiteral("sent")
                                : code == nwcode::kNotSupported ? notSupportedText()
                                                                : QStringLiteral("failed"),
                                !ok};
        },
        journal::kMessage, &journal);
    const int sent = int(results.size()) - failed;
    if (json) {
        printJson(out, {{QStringLiteral("users"), results},
                        {QStringLiteral("changed"), sent > 0},
                        {QStringLiteral("sent"), sent},
                        {QStringLiteral("failed"), failed}});
    } else if (results.isEmpty()) {
        out << "No user holds " << (all ? QStringLiteral("a monitored file") : printableText(path))
            << ".\n";
    }
    for (JournalEntry& entry : journal) {
        entry.message = text;
    }
    return journalActions(context.settings(), journal, failed == 0 ? kDone : kFailed, err);
}

int runClearCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kClearUsage;
        return kDone;
    }
    const CommandArgs parsed(args, {kJson, QStringLiteral("yes")}, {});
    if (!parsed.ok()) {
        return badUsage("clear", parsed.error(), kClearUsage, err);
    }
    const QStringList words = parsed.positional();
    if (words.isEmpty() || words.size() > 2) {
        return badUsage("clear", QStringLiteral("give FILE and, optionally, USER"), kClearUsage,
                        err);
    }
    const bool yes = parsed.has(QStringLiteral("yes"));
    CtlSession session(err);
    if (!session.start()) {
        return kBadUsage;
    }
    AppContext& context = session.context();
    QString problem;
    const QString path = resolveFile(context.settings(), words.at(0), true, &problem);
    if (!problem.isEmpty()) {
        err << "tavrelctl clear: " << problem << "\n";
        return kBadUsage;
    }
    const bool json = parsed.has(kJson);
    ScannedTree tree = scanTree(context);
    if (const QString unseen = unseenUsers(tree, path); !unseen.isEmpty()) {
        return refuse("clear", {kBadUsage, false, unseen}, json, out, err);
    }
    const QString user = words.value(1);
    const QStringList holders = holdersIn(tree, path);
    if (!user.isEmpty() && !holders.contains(user, Qt::CaseInsensitive)) {
        const QString held = holders.isEmpty()
                                 ? QStringLiteral("nobody holds it")
                                 : QStringLiteral("held by ") + holders.join(QStringLiteral(", "));
        return refuse("clear",
                      {kFailed, false,
                       QStringLiteral("%1 does not hold %2 (%3): nothing was cleared")
                           .arg(user.toUpper(), path, held)},
                      json, out, err);
    }
    tickUsers(tree, path, user);
    int failed = 0;
    QList<JournalEntry> journal;
    const QJsonArray results = actOnTicked(
        tree, session.netware(), json, out, &failed,
        [&](const UserConnection& target) {
            if (!yes) {
                return TargetResult{QStringLiteral("would clear")};
            }
            if (clearUserConnection(context.netware(), target)) {
                return TargetResult{QStringLiteral("cleared")};
            }
            // The server's own words, where it said why.
            const QString why = context.netware().scanProblem();
            return TargetResult{
                QStringLiteral("not cleared") + (why.isEmpty() ? QString() : ": " + why), true};
        },
        journal::kClear, yes ? &journal : nullptr);
    const bool cleared = yes && failed < results.size();
    if (json) {
        printJson(out, {{QStringLiteral("users"), results},
                        {QStringLiteral("changed"), cleared},
                        {QStringLiteral("failed"), failed}});
    } else if (results.isEmpty()) {
        out << "No user holds " << printableText(path) << ": nothing to clear.\n";
    } else if (!yes) {
        out << "Nothing was cleared: add --yes to clear these connections.\n";
    }
    return journalActions(context.settings(), journal, failed == 0 ? kDone : kFailed, err);
}

int runUnlockCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kUnlockUsage;
        return kDone;
    }
    const CommandArgs parsed(args, {kJson}, {});
    if (!parsed.ok() || parsed.positional().size() != 1) {
        return badUsage("unlock", parsed.ok() ? QStringLiteral("give one FILE") : parsed.error(),
                        kUnlockUsage, err);
    }
    CtlSession session(err);
    if (!session.start()) {
        return kBadUsage;
    }
    AppContext& context = session.context();
    QString problem;
    const QString path =
        resolveFile(context.settings(), normalDosPath(parsed.positional().at(0)), false, &problem);
    if (!problem.isEmpty()) {
        err << "tavrelctl unlock: " << problem << "\n";
        return kBadUsage;
    }
    // A folder, a typo or a pattern names no lock: clearing one would report success.
    if (!isFileOnServer(context.drives(), path)) {
        return refuse("unlock",
                      {kBadUsage, false,
                       QStringLiteral("%1 is not an existing file on a server drive")
                           .arg(printableText(path))},
                      parsed.has(kJson), out, err);
    }
    const UnlockFileResult result = unlockFile(context.netware(), path, QString());
    const bool called = result.step == UnlockFileResult::Step::Called;
    const bool cleared = called && result.code == nwcode::kSuccessful;
    const QString text = called ? unlockFileStatus(result.code) : unlockFileMessage(result);
    if (parsed.has(kJson)) {
        printJson(out, {{QStringLiteral("file"), path},
                        {QStringLiteral("cleared"), cleared},
                        {QStringLiteral("code"), int(called ? result.code : 0)},
                        {QStringLiteral("status"), text}});
    } else {
        (cleared ? out : err) << text << "\n";
    }
    return journalActions(context.settings(),
                          {fileJournalEntry(context.drives(), journal::kUnlock, path, QString(),
                                            cleared ? QString() : text)},
                          cleared ? kDone : kFailed, err);
}

int runUnlockAllCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (isHelpWord(args.value(0))) {
        out << kUnlockAllUsage;
        return kDone;
    }
    const CommandArgs parsed(args, {kJson}, {});
    if (!parsed.ok() || parsed.positional().size() > 1) {
        return badUsage("unlock-all",
                        parsed.ok() ? QStringLiteral("give at most one FILE") : parsed.error(),
                        kUnlockAllUsage, err);
    }
    CtlSession session(err);
    if (!session.start()) {
        return kBadUsage;
    }
    AppContext& context = session.context();
    std::optional<ActionNode> fileNode;
    if (!parsed.positional().isEmpty()) {
        QString problem;
        const QString path =
            resolveFile(context.settings(), parsed.positional().at(0), false, &problem);
        if (!problem.isEmpty()) {
            err << "tavrelctl unlock-all: " << problem << "\n";
            return kBadUsage;
        }
        fileNode = ActionNode{QString(), path, false};
    }
    const NWCCODE code = unlockAll(context.netware(), fileNode ? &*fileNode : nullptr);
    const QString text = unlockAllStatus(code);
    if (parsed.has(kJson)) {
        printJson(out, {{QStringLiteral("cleared"), code == nwcode::kSuccessful},
                        {QStringLiteral("code"), int(code)},
                        {QStringLiteral("status"), text}});
    } else {
        (code == nwcode::kSuccessful ? out : err) << text << "\n";
    }
    const bool cleared = code == nwcode::kSuccessful;
    return journalActions(context.settings(),
                          {fileJournalEntry(context.drives(), journal::kUnlockAll,
                                            fileNode ? fileNode->text : QString(), QString(),
                                            cleared ? QString() : text)},
                          cleared ? kDone : kFailed, err);
}

}  // namespace tavrel
