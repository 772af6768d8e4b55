#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "external/netware/EmulatedNetWare.h"
#include "mainwindow/UserActions.h"
#include "support/RecordingNetWare.h"
#include "support/TestSite.h"

namespace tavrel {
namespace {

TEST(UserActionTexts, TagsAndPathsSplitAsTheTreeWritesThem) {
    struct TagCase {
        const char* tag;
        NWCONN_NUM number;
        NWCONN_HANDLE handle;
    };
    for (const TagCase& c :
         {TagCase{"3,12", 12, 0}, TagCase{"2,305419896,4", 0, 305419896}, TagCase{"2,0,3", 0, 0},
          TagCase{"3,65535", 65535, 0}, TagCase{"3,65536", 0, 0},
          TagCase{"2,4294967295,1", 0, 4294967295u}, TagCase{"2,4294967296,1", 0, 0},
          TagCase{"1", 0, 0}, TagCase{"", 0, 0}, TagCase{"3,", 0, 0}}) {
        EXPECT_EQ(ConnNumberFromTag(c.tag), c.number) << c.tag;
        EXPECT_EQ(ConnHandleFromTag(c.tag), c.handle) << c.tag;
    }
    // A file tag's number part reads as a number too, when it fits.
    EXPECT_EQ(ConnNumberFromTag("2,17,4"), 17);

    EXPECT_EQ(FileNamePart("G:\\APPS\\DATA\\ORDERS.DBF[2]"), "ORDERS.DBF[2]");
    EXPECT_EQ(FileNamePart("ORDERS.DBF"), "ORDERS.DBF");
    EXPECT_EQ(FolderPart("G:\\APPS\\DATA\\ORDERS.DBF[2]"), "G:\\APPS\\DATA");
    EXPECT_EQ(FolderPart("G:\\ORDERS.DBF"), "G:");
    EXPECT_EQ(FolderPart("ORDERS.DBF"), "");
}

TEST(UserActionTexts, StatusTextsQuestionsAndPrompts) {
    EXPECT_EQ(messageSentText("ALICE", true), "Message sent to ALICE.");
    EXPECT_EQ(messageSentText("ALICE", false), "Message could not be sent to ALICE.");
    EXPECT_EQ(messagesSentText(0), "Message sent to 0 users.");
    EXPECT_EQ(connectionClearedText("BOB", true), "Connection cleared for BOB.");
    EXPECT_EQ(connectionClearedText("BOB", false), "Connection could not be cleared for BOB.");
    EXPECT_EQ(connectionsClearedText(2), "Connection cleared for 2 users.");
    EXPECT_EQ(sendPromptFor("BOB"), "Enter Message to send to BOB");
    EXPECT_EQ(kSendSelectedPrompt, "Enter Message to send to selected users");
    EXPECT_EQ(kSendTitle, "Send Message");
    EXPECT_EQ(clearQuestionFor("BOB"), "Are you sure you want to clear the connection for BOB?");
    EXPECT_EQ(kClearSelectedQuestion,
              "Are you sure you want to clear the connections of the selected users?");
    EXPECT_EQ(kClearTitle, "Clear Connection Confirmation");
    EXPECT_EQ(unlockAllStatus(0), "All file locks have been cleared.");
    EXPECT_EQ(unlockAllStatus(0x8801), "Unable to clear file locks - invalid connection.");
    EXPECT_EQ(unlockAllStatus(0x890A), "Unable to clear file locks - invalid NLM connection.");
    EXPECT_EQ(unlockAllStatus(0x8996), "Unable to clear file locks - unknown error.");
}

TEST(UserActionTargets, EachConnectionOncePerServerWithTheHandleOfItsFile) {
    const QList<ActionNode> nodes = {
        {"1", "Tree", true},
        {"2,10,1", "G:\\A.DBF[3]", true},
        {"3,3", "ALICE", true},
        {"4", "Connection No: 3", true},
        {"3,4", "BOB", false},
        {"2,10,2", "H:\\A.DBF[1]", false},
        {"3,3", "ALICE", true},  // the same connection under a second file
        {"2,20,3", "K:\\B.DAT[2]", false},
        {"3,3", "CAROL", true},  // the same number on another server
        {"3,5", "DAVE", false},
    };
    const QList<UserConnection> expected = {{10, 3, "ALICE", 1}, {20, 3, "CAROL", 7}};
    EXPECT_EQ(tickedUserConnections(nodes), expected);

    EXPECT_EQ(userConnectionAt(nodes, 4), (UserConnection{10, 4, "BOB", 1}));
    EXPECT_EQ(userConnectionAt(nodes, 9), (UserConnection{20, 5, "DAVE", 7}));
    // The walk back stops at the second node, whatever it is.
    EXPECT_EQ(owningFileNode({{"1", "Tree"}, {"3,3", "X"}, {"3,4", "Y"}}, 2), 1);
    EXPECT_EQ(owningFileNode(nodes, 0), -1);
}

// The calls against an emulated site of two servers.
class UserActionCallsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    EmulatedNetWare netware{test::makeTestSite(dir.path())};
    NWCONN_HANDLE fs1 = netware.connectionHandle("FS1");

    bool locked(const QString& server, quint16 connection, const QString& path) const {
        for (const SiteServer& s : netware.site().servers) {
            for (const SiteOpenFile& f : s.openFiles) {
                if (s.name == server && f.connection == connection && f.path == path) {
                    return f.locked;
                }
            }
        }
        ADD_FAILURE() << "no such open file";
        return false;
    }
};

TEST_F(UserActionCallsTest, ABroadcastCountsOnlyWhenDelivered) {
    ASSERT_EQ(netware.NWCallsInit(), 0);
    EXPECT_TRUE(SendBroadcast(netware, 3, "Backup at ten", fs1));
    EXPECT_FALSE(SendBroadcast(netware, 4, "Backup at ten", fs1));  // BOB refuses messages
    EXPECT_FALSE(SendBroadcast(netware, 9, "Backup at ten", fs1));  // no such connection
    EXPECT_FALSE(SendBroadcast(netware, 3, "Backup at ten", 0));
    ASSERT_EQ(netware.site().messages.size(), 1);
    EXPECT_EQ(netware.site().messages[0].text, "Backup at ten");
}

TEST_F(UserActionCallsTest, AConnectionIsClearedOnlyWhileItStillBelongsToTheUser) {
    ASSERT_EQ(netware.NWCallsInit(), 0);
    EXPECT_FALSE(clearUserConnection(netware, {fs1, 3, "BOB", 1}));
    EXPECT_EQ(netware.site().servers[0].connections.size(), 3);
    EXPECT_TRUE(clearUserConnection(netware, {fs1, 3, "alice", 1}));
    EXPECT_EQ(netware.site().servers[0].connections.size(), 2);
    EXPECT_FALSE(clearUserConnection(netware, {fs1, 3, "ALICE", 1}));
}

TEST_F(UserActionCallsTest, UnlockFileWorksOnTheFoldersServerAndReleasesItsHandle) {
    ASSERT_EQ(netware.NWCallsInit(), 0);
    test::RecordingNetWare recording(netware);
    for (const char* text : {"G:\\APPS\\ORDERS.DBF[3]", "H:\\ORDERS.DBF"}) {
        const UnlockFileResult result = unlockFile(recording, text, "2,0,1");
        EXPECT_EQ(result.step, UnlockFileResult::Step::Called) << text;
        EXPECT_EQ(result.code, 0) << text;
        EXPECT_EQ(result.lockPath, "SYS:APPS\\ORDERS.DBF") << text;
    }
    EXPECT_EQ(recording.count("NWAllocTemporaryDirectoryHandle"), 2);
    EXPECT_EQ(recording.count("NWDeallocateDirectoryHandle"), 2);
    EXPECT_FALSE(locked("FS1", 4, "SYS:APPS\\ORDERS.DBF"));
    EXPECT_TRUE(locked("FS2", 3, "SYS:APPS\\ORDERS.DBF"));  // the same path on another server

    const UnlockFileResult unparsed = unlockFile(netware, "Q:\\APPS\\ORDERS.DBF[1]", "2,0,1");
    EXPECT_EQ(unparsed.step, UnlockFileResult::Step::ParseFailed);
    EXPECT_EQ(unlockFileMessage(unparsed), "Unable to parse the path for directory Q:\\APPS.");
    ASSERT_EQ(netware.addFault({"NWAllocTemporaryDirectoryHandle", 0x899C, {}, {}, {}}), "");
    const UnlockFileResult noHandle = unlockFile(netware, "G:\\APPS\\ORDERS.DBF[1]", "2,0,1");
    EXPECT_EQ(noHandle.step, UnlockFileResult::Step::HandleFailed);
    EXPECT_EQ(unlockFileMessage(noHandle), "Error! Unable to create temp directory handle.");
}

TEST(UnlockFileStatus, NamesEachResultCode) {
    const std::pair<NWCCODE, const char*> cases[] = {
        {0, "File lock has been cleared."},
        {34817, "Unable to clear file lock - invalid connection."},
        {35082, "Unable to clear file lock - invalid NLM connection."},
        {35222, "Unable to clear file lock - server out of memory."},
        {35224, "Unable to clear file lock - volume does not exist."},
        {35227, "Unable to clear file lock - bad directory handle."},
        {35228, "Unable to clear file lock - invalid path."},
        {35233, "Unable to clear file lock - directory I/O error."},
        {35325, "Unable to clear file lock - bad station number."},
        {35327, "Unable to clear file lock - lock error."},
        {35240, "Unable to clear file lock - unknown error."},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(unlockFileStatus(code), text);
    }
}

TEST_F(UserActionCallsTest, UnlockAllActsOnTheFilesServerOrOnEveryServer) {
    ASSERT_EQ(netware.NWCallsInit(), 0);
    // The workstation is connection 1 on both servers.
    const ActionNode untagged{QString(), "G:\\APPS\\ORDERS.DBF", false};
    EXPECT_EQ(unlockAll(netware, &untagged), 0);
    EXPECT_FALSE(locked("FS1", 1, "SYS:APPS\\ORDERS.DBF"));
    EXPECT_FALSE(locked("FS1", 1, "DATA:X\\Y.DAT"));
    EXPECT_TRUE(locked("FS2", 1, "VOL1:ACCOUNTS\\LEDGER.DAT"));
    EXPECT_TRUE(locked("FS1", 4, "SYS:APPS\\ORDERS.DBF"));  // another workstation's lock

    const ActionNode nowhere{"2,0,1", "Q:\\X.DBF[N/A]", false};
    EXPECT_EQ(unlockAll(netware, &nowhere), 0x8801);
    EXPECT_TRUE(locked("FS2", 1, "VOL1:ACCOUNTS\\LEDGER.DAT"));
    EXPECT_EQ(unlockAll(netware, nullptr), 0);
    EXPECT_FALSE(locked("FS2", 1, "VOL1:ACCOUNTS\\LEDGER.DAT"));
}

}  // namespace
}  // namespace tavrel
