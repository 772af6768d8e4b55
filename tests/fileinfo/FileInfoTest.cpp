#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTemporaryDir>

#include "common/AppContext.h"
#include "external/netware/EmulatedNetWare.h"
#include "fileinfo/FileInfo.h"
#include "support/FakeClock.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingNetWare.h"
#include "support/RecordingPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TestSite.h"

namespace tavrel::test {
namespace {

constexpr quint32 kUnknownObject = 0x0A0000FF;

// The test site with records for ORDERS.DBF on FS1 (directory service) and for
// LEDGER.DAT and R&D.TXT on FS2 (bindery); R&D.TXT lies in the volume's root.
class FileInfoTest : public ::testing::Test {
protected:
    FileInfoTest() {
        touchFile(root.path() + "/fs2vol1/ACCOUNTS/LEDGER.DAT");
        touchFile(root.path() + "/fs2vol1/R&D.TXT");
        touchFile(root.path() + "/local/NOTES.TXT");
        NetWareSite site = makeTestSite(root.path());
        SiteFileRecord orders;
        orders.path = "SYS:APPS\\ORDERS.DBF";
        orders.attributes = 0x21;
        orders.owner = kAlice;
        orders.archiver = kUnknownObject;
        orders.modifier = kBob;
        orders.created = QDateTime(QDate(2003, 6, 9), QTime(8, 5, 30));
        orders.accessed = QDate(2026, 12, 8);
        orders.modified = QDateTime(QDate(2026, 12, 8), QTime(9, 0, 0));
        site.servers[0].files = {orders};
        SiteFileRecord ledger;
        ledger.path = "VOL1:ACCOUNTS\\LEDGER.DAT";
        ledger.attributes = 0;
        ledger.owner = kSupervisor;
        ledger.modifier = kBobOnFs2;
        site.servers[1].files = {ledger};
        netware = std::make_unique<EmulatedNetWare>(site);
        recording = std::make_unique<RecordingNetWare>(*netware);
        context =
            std::make_unique<AppContext>(settings, clock, prompts, platform, *recording, *netware);
        context->InfoCallerForm = "Form1";
    }

    // Opens the window for a tree node's text; true when it stays open.
    bool openFor(const QString& nodeText) {
        context->SelectedNodeText = nodeText;
        window = std::make_unique<FileInfo>(*context);
        return window->Form_Load();
    }
    QStringList texts() const {
        QStringList result;
        for (const QLineEdit* t : window->Text) {
            result.append(t->text());
        }
        return result;
    }
    QStringList shownAttributes() const {
        QStringList result;
        for (const QCheckBox* box : window->Check) {
            // A set attribute is a plain checked box, drawn as such (enabled).
            if (box->checkState() == Qt::Checked && box->isEnabled()) {
                result.append(box->text());
            } else {
                EXPECT_EQ(box->checkState(), Qt::Unchecked) << box->text().toStdString();
                EXPECT_FALSE(box->isEnabled()) << box->text().toStdString();
            }
        }
        return result;
    }
    // Every connection and directory handle opened was released again; failedCall made
    // one of the opening calls fail.
    void expectNothingHeld(const QString& failedCall = QString()) const {
        const auto opened = [&](const char* call) {
            return recording->count(call) - (failedCall == call ? 1 : 0);
        };
        EXPECT_EQ(recording->count("NWCCCloseConn"), opened("NWCCOpenConnByName"));
        EXPECT_EQ(recording->count("NWDeallocateDirectoryHandle"),
                  opened("NWAllocTemporaryDirectoryHandle"));
    }

    QTemporaryDir root;
    MemorySettingsStore settings;
    FakeClock clock;
    ScriptedPrompts prompts;
    RecordingPlatform platform;
    std::unique_ptr<EmulatedNetWare> netware;
    std::unique_ptr<RecordingNetWare> recording;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<FileInfo> window;
};

TEST_F(FileInfoTest, ADirectoryServerNamesObjectsThroughTheDirectory) {
    ASSERT_TRUE(openFor("G:\\APPS\\ORDERS.DBF[2]"));
    EXPECT_EQ(window->windowTitle(), "Extended File Information");
    EXPECT_EQ(window->FilePath, "G:\\APPS\\ORDERS.DBF");
    EXPECT_EQ(window->FullPath, "FS1\\SYS:APPS\\ORDERS.DBF");
    EXPECT_EQ(window->Frame1->title(), "ORDERS.DBF");
    EXPECT_EQ(texts(), QStringList({"6/9/2003,8:5:30", "ALICE.SALES.ACME", "12/8/2026,0:0:0", "?",
                                    "?", "12/8/2026,9:0:0", "BOB"}));
    EXPECT_EQ(shownAttributes(), QStringList({"ReadOnly", "Archive"}));
    EXPECT_EQ(recording->count("NWDSMapIDToName"), 3);
    EXPECT_EQ(recording->count("NWGetObjectName"), 0);
    expectNothingHeld();
    EXPECT_TRUE(prompts.messages().isEmpty());

    window->Command2_Click();
    const QStringList lines = platform.clipboard.split("\r\n");
    EXPECT_EQ(lines.mid(0, 4),
              QStringList({"Full Path:  FS1\\SYS:APPS\\ORDERS.DBF", "Path:  G:\\APPS\\ORDERS.DBF",
                           "Created:  6/9/2003,8:5:30", "Owner:  ALICE.SALES.ACME"}));
    EXPECT_EQ(lines.mid(12), QStringList({"ReadOnly", "Archive", ""}));
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked()[0].message.text,
              QString::number(platform.clipboard.size()) + " bytes copied to Clipboard.");
    EXPECT_EQ(prompts.asked()[0].message.icon, MessageIcon::Information);
    EXPECT_EQ(prompts.asked()[0].message.title, "Tavrel");
}

TEST_F(FileInfoTest, ABinderyServerNamesObjectsThroughTheBindery) {
    ASSERT_TRUE(openFor("K:\\ACCOUNTS\\LEDGER.DAT[2]"));
    EXPECT_EQ(window->FullPath, "FS2\\VOL1:ACCOUNTS\\LEDGER.DAT");
    EXPECT_EQ(window->Text[1]->text(), "SUPERVISOR");
    EXPECT_EQ(window->Text[3]->text(), "?");  // never archived
    EXPECT_EQ(window->Text[4]->text(), "?");  // object 0 is no one
    EXPECT_EQ(window->Text[6]->text(), "BOB");
    EXPECT_TRUE(shownAttributes().isEmpty());
    EXPECT_EQ(recording->count("NWDSMapIDToName"), 0);
    EXPECT_EQ(recording->count("NWGetObjectName"), 3);
    window->Command2_Click();
    EXPECT_TRUE(platform.clipboard.endsWith("Attributes\r\n\r\n"));
}

TEST_F(FileInfoTest, AFileInAVolumesRootWithAnAmpersandInItsName) {
    ASSERT_TRUE(openFor("K:\\R&D.TXT"));
    EXPECT_EQ(window->FullPath, "FS2\\VOL1:R&D.TXT");
    EXPECT_EQ(window->Frame1->title(), "R&&D.TXT");  // shows as R&D.TXT
    EXPECT_TRUE(prompts.messages().isEmpty());
    expectNothingHeld();
}

TEST_F(FileInfoTest, TheEditorsPickIsDescribedWhileTheEditorOpenedIt) {
    context->InfoCallerForm = "frmFile";
    context->SelectedNodeText = "K:\\LEDGER.DAT";
    window = std::make_unique<FileInfo>(*context);
    window->setEditorPick("G:\\APPS", "CUSTOMER.DBF");
    ASSERT_TRUE(window->Form_Load());
    EXPECT_EQ(window->FilePath, "G:\\APPS\\CUSTOMER.DBF");
    EXPECT_EQ(window->FullPath, "FS1\\SYS:APPS\\CUSTOMER.DBF");
}

struct FailureCase {
    const char* name;
    const char* nodeText;
    const char* failingCall;  // "" for none
    bool staysOpen;
    const char* message;
};

class FileInfoFailureTest : public FileInfoTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FileInfoFailureTest, ShowsTheMessageAndReleasesWhatItOpened) {
    const FailureCase& c = GetParam();
    if (*c.failingCall != '\0') {
        recording->intercept = [&](const QString& name, int) -> std::optional<NWCCODE> {
            if (name == c.failingCall) {
                return nwcode::kInvalidPath;
            }
            return std::nullopt;
        };
    }
    EXPECT_EQ(openFor(c.nodeText), c.staysOpen);
    EXPECT_EQ(prompts.messages(), QStringList({c.message}));
    ASSERT_EQ(prompts.asked().size(), 1);
    EXPECT_EQ(prompts.asked()[0].message.icon, MessageIcon::Exclamation);
    EXPECT_EQ(prompts.asked()[0].message.title, "Tavrel");
    EXPECT_EQ(texts(), QStringList(7, QString()));
    EXPECT_TRUE(window->Frame1->title().isEmpty());
    expectNothingHeld(c.failingCall);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FileInfoFailureTest,
    ::testing::Values(
        FailureCase{"Missing", "G:\\APPS\\gone.dbf[N/A]", "", true,
                    "Error! File GONE.DBF does not exist."},
        FailureCase{"NotOnAServer", "D:\\NOTES.TXT", "", true,
                    "Error! Could not parse the path for file NOTES.TXT."},
        FailureCase{"NoConnection", "G:\\APPS\\ORDERS.DBF[2]", "NWCCOpenConnByName", false,
                    "Cannot open connection to the given server."},
        FailureCase{"NoDirectoryHandle", "G:\\APPS\\ORDERS.DBF[2]",
                    "NWAllocTemporaryDirectoryHandle", false, "Cannot create directory handle."},
        FailureCase{"NoRecord", "G:\\APPS\\ORDERS.DBF[2]", "NWIntScanExtendedInfo", false,
                    "Scan for extended file info failed."},
        // With no DOS name the scan is not run: an empty pattern could find another file.
        FailureCase{"NoDosName", "G:\\APPS\\ORDERS.DBF[2]", "NWGetLongName", false,
                    "Scan for extended file info failed."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileInfoTest, NoScanRunsWithoutADosName) {
    recording->intercept = [](const QString& name, int) -> std::optional<NWCCODE> {
        return name == "NWGetLongName" ? std::optional<NWCCODE>(nwcode::kInvalidPath)
                                       : std::nullopt;
    };
    EXPECT_FALSE(openFor("G:\\APPS\\ORDERS.DBF"));
    EXPECT_EQ(recording->count("NWIntScanExtendedInfo"), 0);
}

}  // namespace
}  // namespace tavrel::test
