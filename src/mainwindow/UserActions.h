#pragma once

#include <QList>
#include <QString>

#include "external/netware/NetWareClient.h"
#include "monitor/ActionJournal.h"

namespace tavrel {

// One node of the file and user tree as the user actions read it, in the tree's order.
struct ActionNode {
    QString tag;
    QString text;
    bool ticked = false;
};

// The number after the first "," of a tag (a user's connection number); 0 when there is
// none or it does not fit 16 bits.
NWCONN_NUM ConnNumberFromTag(const QString& tag);
// The number between the first and the last "," of a tag (a file's connection handle);
// 0 when there is none or it does not fit 32 bits.
NWCONN_HANDLE ConnHandleFromTag(const QString& tag);
// The text after the last "\" (all of it when there is none).
QString FileNamePart(const QString& path);
// The text before the last "\" ("" when there is none).
QString FolderPart(const QString& path);

// Sends a message to one connection of the server behind conn. True only when the call
// succeeds and the server reports the message delivered to that connection; the call's
// code goes to *code when given.
bool SendBroadcast(NetWareClient& netware, NWCONN_NUM connNumber, const QString& message,
                   NWCONN_HANDLE conn, NWCCODE* code = nullptr);
// Logs a connection out. True when the call succeeds.
bool ClearConnection(NetWareClient& netware, NWCONN_HANDLE conn, NWCONN_NUM connNumber);

// A user's connection as the tree shows it: the connection handle of the server (from
// the file node above the user), the connection number and the user's name.
struct UserConnection {
    NWCONN_HANDLE conn = 0;
    NWCONN_NUM number = 0;
    QString user;
    qsizetype fileNode = -1;  // the file node above, in node order

    bool operator==(const UserConnection&) const = default;
};

// The file node a node belongs to: walking back from it (itself included) to the first
// node whose tag begins with "2", never past the second node of the tree. -1 for the
// root or an empty tree.
qsizetype owningFileNode(const QList<ActionNode>& nodes, qsizetype index);
// The connection of the user node at index, on the server of its file node.
UserConnection userConnectionAt(const QList<ActionNode>& nodes, qsizetype index);
// The connections of the ticked user nodes, each on the server of the file node above it,
// in tree order. A connection number counts once per server: a user under several files
// is reached once, and the same number on two servers is two users.
QList<UserConnection> tickedUserConnections(const QList<ActionNode>& nodes);

// The journal's entry of an action on a user's connection: the file node the user was
// found under (in the nodes as the action took them) and the server of its drive.
JournalEntry userJournalEntry(const DriveMap& drives, const QString& action,
                              const QList<ActionNode>& nodes, const UserConnection& target);

// Clears a user's connection once the server still names that user on it (a number is
// given to someone else after a logout); otherwise clears nothing and answers false.
bool clearUserConnection(NetWareClient& netware, const UserConnection& target);

// Status texts of the actions.
// A failure for want of support (kNotSupported) says so.
QString messageSentText(const QString& user, bool sent, NWCCODE code = nwcode::kSuccessful);
QString messagesSentText(int count, bool notSupported = false);
// Why an action failed, where the code tells more than "failed".
QString notSupportedText();
QString connectionClearedText(const QString& user, bool cleared);
QString connectionsClearedText(int count);

// Questions and prompts of the actions.
QString sendPromptFor(const QString& user);
QString clearQuestionFor(const QString& user);
extern const QString kSendSelectedPrompt;
extern const QString kSendTitle;
extern const QString kClearSelectedQuestion;
extern const QString kClearTitle;

// Unlock file: the locks of the file a file node names, on the server that holds its
// folder, cleared through a temporary directory handle that is released afterwards.
struct UnlockFileResult {
    enum class Step {
        ParseFailed,   // the folder is not on a file server: nothing was touched
        HandleFailed,  // no directory handle could be had: nothing was touched
        Called,        // NWClearFileLock2 ran and answered code
    } step = Step::Called;
    NWCCODE code = 0;
    QString folder;
    QString lockPath;  // volume path, "\", the file's name without the count suffix
};
UnlockFileResult unlockFile(NetWareClient& netware, const QString& nodeText,
                            const QString& nodeTag);
// The message box text of a step that stopped before the call ("" for Called).
QString unlockFileMessage(const UnlockFileResult& result);
// The status text of a call that ran.
QString unlockFileStatus(NWCCODE code);

// Unlock all locked files: the lock set of this workstation on the server of a file node
// (its tag's connection handle, or the server of its path when the tag has none), or on
// every server when there is no file node (the root was clicked). When the file's server
// cannot be told nothing is called and the answer is kInvalidConnection.
NWCCODE unlockAll(NetWareClient& netware, const ActionNode* fileNode);
QString unlockAllStatus(NWCCODE code);

// The connection handle of the server holding a file given by its drive-letter path (or
// a file node's text with its suffix); 0 when the path is not on a file server.
NWCONN_HANDLE serverOfPath(NetWareClient& netware, const QString& path);

}  // namespace tavrel
