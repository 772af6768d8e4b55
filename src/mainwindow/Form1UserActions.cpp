// The popup menu's actions on users and locks, each written to the action journal after
// it ran, with its outcome.

#include <QTreeWidgetItem>
#include <algorithm>

#include "common/AppContext.h"
#include "common/BusyPointer.h"
#include "common/Prompts.h"
#include "mainwindow/Form1.h"
#include "mainwindow/NodeTree.h"
#include "mainwindow/TreeNodeRules.h"
#include "mainwindow/UserActions.h"
#include "monitor/ActionJournal.h"

namespace tavrel {

QTreeWidgetItem* Form1::popupNode() const {
    return TreeView1->nodeAt(m_popupNode);
}

QList<ActionNode> Form1::actionNodes(const std::vector<QTreeWidgetItem*>& nodes) {
    QList<ActionNode> list;
    list.reserve(qsizetype(nodes.size()));
    for (const QTreeWidgetItem* node : nodes) {
        list.append({nodeTag(node), node->text(0), NodeTree::ticked(node)});
    }
    return list;
}

void Form1::journalActions(const QList<JournalEntry>& entries) {
    ActionJournal writer(m_context.settings(), m_context.AppFolder, m_context.clock(),
                         journal::kWindow);
    const QString problem = writer.record(entries);
    if (problem.isEmpty()) {
        return;
    }
    setStatusText(notJournaledStatus(statusText()));
    m_context.prompts().message(notJournaledText(problem), MessageIcon::Exclamation);
}

// The whereabouts of a user's connection and of the ticked users are taken before the
// operator is asked, so that a scan that rebuilds the tree meanwhile changes nothing of
// what the question was about.

std::optional<JournalEntry> Form1::popupUserConnection(const QString& action,
                                                       UserConnection* target) {
    QTreeWidgetItem* clicked = popupNode();
    if (m_scan.running() || clicked == nullptr) {
        return std::nullopt;
    }
    const std::vector<QTreeWidgetItem*> nodes = nodesInOrder();
    const qsizetype index = std::find(nodes.begin(), nodes.end(), clicked) - nodes.begin();
    const QList<ActionNode> list = actionNodes(nodes);
    *target = userConnectionAt(list, index);
    return userJournalEntry(m_context.drives(), action, list, *target);
}

QList<std::pair<UserConnection, JournalEntry>> Form1::tickedTargets(const QString& action) {
    const QList<ActionNode> list = actionNodes(nodesInOrder());
    QList<std::pair<UserConnection, JournalEntry>> targets;
    for (const UserConnection& target : tickedUserConnections(list)) {
        targets.append({target, userJournalEntry(m_context.drives(), action, list, target)});
    }
    return targets;
}

void Form1::mnuPopupSend_Click() {
    UserConnection target;
    std::optional<JournalEntry> entry = popupUserConnection(journal::kMessage, &target);
    if (!entry) {
        return;
    }
    const QString message =
        m_context.prompts().inputBox({sendPromptFor(target.user), kSendTitle, QString()}).trimmed();
    if (message.isEmpty()) {
        return;
    }
    BusyPointer busy;
    NWCCODE code = nwcode::kSuccessful;
    const bool sent =
        SendBroadcast(m_context.netware(), target.number, message, target.conn, &code);
    const QString status = messageSentText(target.user, sent, code);
    setStatusText(status);
    entry->message = message;
    entry->done = sent;
    entry->reason = sent ? QString() : status;
    journalActions({*entry});
}

void Form1::mnuPopupSendSel_Click() {
    if (m_scan.running()) {
        return;
    }
    QList<std::pair<UserConnection, JournalEntry>> targets = tickedTargets(journal::kMessage);
    const QString message =
        m_context.prompts().inputBox({kSendSelectedPrompt, kSendTitle, QString()}).trimmed();
    if (message.isEmpty()) {
        return;
    }
    BusyPointer busy;
    int sent = 0;
    bool notSupported = false;
    QList<JournalEntry> entries;
    for (auto& [target, entry] : targets) {
        NWCCODE code = nwcode::kSuccessful;
        entry.message = message;
        entry.done = SendBroadcast(m_context.netware(), target.number, message, target.conn, &code);
        entry.reason = entry.done ? QString() : messageSentText(target.user, false, code);
        sent += entry.done ? 1 : 0;
        notSupported = notSupported || code == nwcode::kNotSupported;
        entries.append(entry);
    }
    setStatusText(messagesSentText(sent, notSupported));
    journalActions(entries);
}

void Form1::mnuPopupClear_Click() {
    UserConnection target;
    std::optional<JournalEntry> entry = popupUserConnection(journal::kClear, &target);
    if (!entry) {
        return;
    }
    focusNextChild();
    focusNextChild();
    if (!m_context.prompts().askYesNo(clearQuestionFor(target.user), kClearTitle,
                                      MessageIcon::Question, MessageAnswer::No)) {
        return;
    }
    const bool cleared = clearUserConnection(m_context.netware(), target);
    const QString status = connectionClearedText(target.user, cleared);
    setStatusText(status);
    entry->done = cleared;
    entry->reason = cleared ? QString() : status;
    journalActions({*entry});
}

void Form1::mnuPopupClearSel_Click() {
    if (m_scan.running()) {
        return;
    }
    QList<std::pair<UserConnection, JournalEntry>> targets = tickedTargets(journal::kClear);
    focusNextChild();
    focusNextChild();
    if (!m_context.prompts().askYesNo(kClearSelectedQuestion, kClearTitle, MessageIcon::Question,
                                      MessageAnswer::No)) {
        return;
    }
    BusyPointer busy;
    int cleared = 0;
    QList<JournalEntry> entries;
    for (auto& [target, entry] : targets) {
        entry.done = clearUserConnection(m_context.netware(), target);
        entry.reason = entry.done ? QString() : connectionClearedText(target.user, false);
        cleared += entry.done ? 1 : 0;
        entries.append(entry);
    }
    setStatusText(connectionsClearedText(cleared));
    journalActions(entries);
}

void Form1::mnuPopupUnlock_Click() {
    const QTreeWidgetItem* clicked = popupNode();
    if (m_scan.running() || clicked == nullptr) {
        return;
    }
    std::optional<BusyPointer> busy(std::in_place);
    const UnlockFileResult result =
        unlockFile(m_context.netware(), clicked->text(0), nodeTag(clicked));
    busy.reset();
    switch (result.step) {
        case UnlockFileResult::Step::ParseFailed:
            m_context.prompts().message(unlockFileMessage(result), MessageIcon::Exclamation,
                                        QStringLiteral("Error"));
            break;
        case UnlockFileResult::Step::HandleFailed:
            m_context.prompts().message(unlockFileMessage(result), MessageIcon::Exclamation);
            break;
        case UnlockFileResult::Step::Called:
            setStatusText(unlockFileStatus(result.code));
            break;
    }
    const bool called = result.step == UnlockFileResult::Step::Called;
    journalActions({fileJournalEntry(
        m_context.drives(), journal::kUnlock, nodePath(clicked->text(0)), QString(),
        called && result.code == nwcode::kSuccessful
            ? QString()
            : (called ? unlockFileStatus(result.code) : unlockFileMessage(result)))});
}

void Form1::mnuPopupUnlockAll_Click() {
    QTreeWidgetItem* clicked = popupNode();
    if (m_scan.running() || clicked == nullptr) {
        return;
    }
    const std::vector<QTreeWidgetItem*> nodes = nodesInOrder();
    const QList<ActionNode> list = actionNodes(nodes);
    const qsizetype index = std::find(nodes.begin(), nodes.end(), clicked) - nodes.begin();
    // A file node acts on its own server, a user or detail line on that of the file above
    // it, the root on every server.
    qsizetype fileNode = -1;
    const int level = nodeLevel(clicked);
    if (level == kFileLevel) {
        fileNode = index;
    } else if (level == kUserLevel || level == kDetailLevel) {
        fileNode = owningFileNode(list, index);
    }
    BusyPointer busy;
    const NWCCODE code =
        unlockAll(m_context.netware(), fileNode >= 0 ? &list.at(fileNode) : nullptr);
    const QString status = unlockAllStatus(code);
    setStatusText(status);
    journalActions({fileJournalEntry(m_context.drives(), journal::kUnlockAll,
                                     fileNode >= 0 ? nodePath(list.at(fileNode).text) : QString(),
                                     QString(), code == nwcode::kSuccessful ? QString() : status)});
}

}  // namespace tavrel
