#include "monitor/ScanCycle.h"

#include <QSet>
#include <algorithm>

#include "common/AppContext.h"
#include "common/Clock.h"
#include "common/DriveMap.h"
#include "common/ImageKeys.h"
#include "common/Module1.h"
#include "external/netware/NetWareClient.h"
#include "filelist/FileListStore.h"
#include "monitor/RightsLookup.h"
#include "monitor/ScanTexts.h"
#include "monitor/ScanView.h"

namespace tavrel {

namespace {

// Resets the running flag on every way out of a scan.
class RunningGuard {
public:
    explicit RunningGuard(bool& running) : m_running(running) { m_running = true; }
    ~RunningGuard() { m_running = false; }

private:
    bool& m_running;
};

}  // namespace

ScanCycle::ScanCycle(AppContext& context, ScanView& view) : m_context(context), m_view(view) {}

ScanOutcome ScanCycle::cmdScan_Click(const ScanOptions& options) {
    // A tick or key that arrives at a scan's yield must not start a second scan on the
    // same table and tree.
    if (m_running) {
        return ScanOutcome::Refused;
    }
    RunningGuard guard(m_running);
    const ScanOutcome outcome = scan(options);
    // A stop request belongs to the scan that was running, even when it came after the
    // scan's last check (during the log update, say): the next scan starts afresh.
    m_stopRequested = false;
    return outcome;
}

ScanOutcome ScanCycle::scan(const ScanOptions& options) {
    NetWareClient& netware = m_context.netware();
    Clock& clock = m_context.clock();

    m_view.setBusy(true);
    m_view.setStatusText(QStringLiteral("Scanning..."));
    netware.beginScan();
    // Elapsed time on a monotonic clock, so the bound holds across midnight too.
    const qint64 deadline = clock.monotonicMs() + kTimeLimitMs;

    const QList<FileListEntry> files = LoadFileList(m_context.settings());
    if (files.isEmpty()) {
        m_view.setBusy(false);
        m_view.setStatusText(
            QStringLiteral("No files exist. Click the Add File Button to add some."));
        m_view.focusButton(ScanButton::AddFile);
        return ScanOutcome::EmptyList;
    }
    // Fresh entries: a table kept from an aborted scan must lend this one nothing.
    m_scanFiles = ScanFileTable(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        m_scanFiles[i].Path = files[i].path;
    }

    const auto image = [&](const QString& key) { return options.PicturesOption ? key : QString(); };
    const auto showScanButton = [&] {
        m_view.setButtonVisible(ScanButton::Stop, false);
        if (!options.autoScanChecked) {
            m_view.setButtonVisible(ScanButton::Scan, true);
        }
    };

    m_view.clearNodes();
    const int root = m_view.addNode(0, kRootKey, kRootText, image(imagekey::kTree));
    m_view.setNodeTag(root, QStringLiteral("1"));
    m_view.setButtonVisible(ScanButton::Stop, true);
    if (!options.autoScanChecked) {
        m_view.setButtonVisible(ScanButton::Scan, false);
    }

    int ordinal = 0;
    LoginTimeTexts loginTexts(LoginTimeText);
    InetAddr address{};  // keeps the previous connection's address when a lookup fails
    for (ScanFileEntry& entry : m_scanFiles) {
        const QString& path = entry.Path;
        entry.Server.clear();
        entry.Error.clear();
        entry.Holders.clear();
        if (!FileExists(m_context.drives(), path)) {
            ++ordinal;
            const int node = m_view.addNode(root, QString(), path + QStringLiteral("[N/A]"),
                                            image(imagekey::kFile));
            m_view.setNodeTag(node, QStringLiteral("2,0,") + QString::number(ordinal));
            entry.Users = QStringList{QString()};
            entry.UsersComplete = true;
            entry.Found = false;
            if (const auto drive = m_context.drives().drive(path.at(0).toUpper())) {
                entry.Server = drive->server;
            }
            continue;
        }

        const QString shortPath = GetShortName(path);
        QString serverName;
        NWCONN_HANDLE conn = 0;
        QString volumeName;
        QString dirPath;
        if (netware.NWParsePath(shortPath, serverName, conn, volumeName, dirPath) !=
            nwcode::kSuccessful) {
            m_view.setBusy(false);
            showScanButton();
            m_view.setStatusText(QStringLiteral("Unable to parse path for file ") + shortPath +
                                 QLatin1Char('.'));
            return ScanOutcome::ParseFailed;
        }
        const QString scanPath = StripAtNul(volumeName) + QLatin1Char(':') + StripAtNul(dirPath);
        entry.Server = StripAtNul(serverName);
        const QString rightsPath = entry.Server + QLatin1Char('\\') + scanPath;

        // One file node for the file, however many answers its connections come in.
        int fileNode = 0;
        QStringList users;
        bool complete = true;
        qint16 iteration = 0;
        for (;;) {
            m_view.yield();
            if (clock.monotonicMs() > deadline || m_stopRequested) {
                const bool stopped = m_stopRequested;
                m_view.setBusy(false);
                m_view.setStatusText(stopped ? QStringLiteral("Scan terminated.")
                                             : QStringLiteral("Scan timed out."));
                m_stopRequested = false;
                m_view.setButtonVisible(ScanButton::Stop, false);
                if (options.autoScanChecked) {
                    m_view.uncheckAutoScan();
                }
                m_view.setButtonVisible(ScanButton::Scan, true);
                return stopped ? ScanOutcome::Stopped : ScanOutcome::TimedOut;
            }

            ConnUsingFile single{};
            ConnsUsingFile answer{};
            const NWCCODE rc =
                netware.NWScanConnectionsUsingFile(conn, 0, scanPath, iteration, single, answer);
            if (rc == nwcode::kNoMoreEntries) {
                entry.Answered = true;
                break;
            }
            if (rc != nwcode::kSuccessful) {
                complete = false;
                entry.Error = ScanErrorText(rc);
                const QString text =
                    path + QStringLiteral("[Error : ") + entry.Error + QLatin1Char(']');
                if (fileNode == 0) {
                    ++ordinal;
                    fileNode = m_view.addNode(root, QString(), text, image(imagekey::kFile));
                    m_view.setNodeTag(fileNode, QStringLiteral("2,0,") + QString::number(ordinal));
                } else {
                    // The users found so far stay, so the log does not close them falsely.
                    m_view.setNodeText(fileNode, text);
                }
                break;
            }

            entry.Answered = true;
            const int count = std::min<int>(answer.connCount, kConnsPerAnswer);
            const qsizetype first = users.size();
            for (int j = 0; j < count; ++j) {
                users.append(QString());
            }
            const QString countText =
                path + QLatin1Char('[') + QString::number(users.size()) + QLatin1Char(']');
            if (fileNode == 0) {
                ++ordinal;
                fileNode = m_view.addNode(root, QString(), countText, image(imagekey::kFile));
                m_view.setNodeTag(fileNode, QStringLiteral("2,") + QString::number(conn) +
                                                QLatin1Char(',') + QString::number(ordinal));
            } else if (count > 0) {
                m_view.setNodeText(fileNode, countText);
            }

            for (int j = 0; j < count; ++j) {
                const ConnUsingFile& use = answer.connInfo[j];
                entry.Locked = entry.Locked || use.lockFlag != 0;
                QString name;
                quint16 objectType = 0;
                quint32 objectID = 0;
                LoginTime loginTime{};
                if (netware.NWGetConnectionInformation(conn, use.connNumber, name, objectType,
                                                       objectID,
                                                       loginTime) != nwcode::kSuccessful) {
                    complete = false;
                    continue;  // no user node; the name stays ""
                }
                ScanHolder holder{StripAtNul(name), qint16(use.connNumber), qint16(use.taskNumber),
                                  use.lockType,     use.accessControl,      use.lockFlag != 0,
                                  loginTime,        std::nullopt,           std::nullopt};
                const QString user = holder.user.toUpper();
                const qint16 connNumber = holder.connection;
                QString loginText;
                QString addressText;
                QString rights;
                if (options.UserDetailsOption) {
                    netware.NWGetInetAddr(conn, use.connNumber, address);
                    loginText = loginTexts.text(loginTime);
                    addressText = NetworkAddressText(address);
                    rights = GetDirectoryRights(netware, rightsPath, user);
                    holder.address = address;
                    holder.directoryRights = rights;
                    if (rights.isEmpty()) {
                        rights = QStringLiteral("NA");
                    }
                }
                entry.Holders.append(std::move(holder));

                users[first + j] = user;
                const int userNode =
                    m_view.addNode(fileNode, QString(), user, image(imagekey::kUser));
                m_view.setNodeTag(userNode, QStringLiteral("3,") + QString::number(connNumber));

                if (options.UserDetailsOption && connNumber > 0) {
                    const QString details[] = {
                        QStringLiteral("Connection No: ") + QString::number(connNumber),
                        QStringLiteral("Task No: ") + QString::number(qint16(use.taskNumber)),
                        QStringLiteral("Opened: ") + (use.lockType == 8
                                                          ? QStringLiteral("Shareable")
                                                          : QStringLiteral("Exclusive")),
                        QStringLiteral("File Rights: ") + OpenModeWords(use.accessControl),
                        QStringLiteral("Directory Rights: ") + rights,
                        QStringLiteral("Locked: ") +
                            (use.lockFlag != 0 ? QStringLiteral("Yes") : QStringLiteral("No")),
                        QStringLiteral("Login Time: ") + loginText,
                        QStringLiteral("Network Address: ") + addressText,
                    };
                    for (const QString& detail : details) {
                        const int detailNode =
                            m_view.addNode(userNode, QString(), detail, QString());
                        m_view.setNodeTag(detailNode, QStringLiteral("4"));
                    }
                }
            }
        }
        entry.Users = users.isEmpty() ? QStringList{QString()} : users;
        entry.UsersComplete = complete;
        entry.Connections = int(users.size());
    }

    showScanButton();
    QString logFailure;
    if (options.autoScanChecked && options.storeChecked && m_logUpdate) {
        logFailure = m_logUpdate(m_scanFiles);
    }
    if (m_finished) {
        m_finished(m_scanFiles);
    }
    ScanSummary summary;
    summary.files = int(m_scanFiles.size());
    QSet<QString> users;
    for (const ScanFileEntry& entry : m_scanFiles) {
        for (const QString& user : entry.Users) {
            if (!user.isEmpty()) {
                users.insert(user);
            }
        }
    }
    summary.users = int(users.size());
    if (const QString serverProblem = netware.scanProblem(); !serverProblem.isEmpty()) {
        summary.problems.append(serverProblem);
    }
    if (!logFailure.isEmpty()) {
        summary.problems.append(QStringLiteral("log not updated: ") + logFailure);
    }
    m_scanFiles.clear();
    m_view.setExpandCaption(kExpandAllCaption);
    m_view.setButtonVisible(ScanButton::Expand, true);
    m_view.setButtonVisible(ScanButton::Find, true);
    m_view.setButtonVisible(ScanButton::EditFile, false);
    m_view.setButtonVisible(ScanButton::DeleteFile, false);
    m_view.showScanSummary(summary);
    m_context.TreeScanned = true;
    m_view.focusButton(ScanButton::Expand);
    m_view.setBusy(false);
    return ScanOutcome::Completed;
}

}  // namespace tavrel
