#include "monitor/ScanTexts.h"

#include <QStringList>
#include <QTime>
#include <algorithm>
#include <array>
#include <utility>

#include "common/TimeText.h"
#include "monitor/ScanView.h"

namespace tavrel {

namespace {

// Joins the words of the set bits, in table order.
template <typename Mask, std::size_t N>
QString wordsOf(Mask mask, const std::array<std::pair<Mask, const char*>, N>& table) {
    QString words;
    for (const auto& [bit, word] : table) {
        if ((mask & bit) != 0 && word != nullptr) {
            if (!words.isEmpty()) {
                words += QLatin1Char(',');
            }
            words += QLatin1String(word);
        }
    }
    return words;
}

QString hexBytes(std::span<const quint8> bytes) {
    QString text;
    for (quint8 b : bytes) {
        text += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

const QString kUnknownText = QStringLiteral("Unknown");

}  // namespace

QString ScanErrorText(NWCCODE rc) {
    switch (rc) {
        case nwcode::kInvalidConnection:
            return QStringLiteral("Invalid connection");
        case nwcode::kNlmInvalidConnection:
            return QStringLiteral("NLM invalid connection");
        case nwcode::kServerOutOfMemory:
            return QStringLiteral("Server out of memory");
        case nwcode::kVolumeDoesNotExist:
            return QStringLiteral("Volume does not exist");
        case nwcode::kBadDirectoryHandle:
            return QStringLiteral("Bad directory handle");
        case nwcode::kInvalidPath:
            return QStringLiteral("Invalid path");
        case nwcode::kDirectoryIoError:
            return QStringLiteral("Directory I/O error");
        case nwcode::kAccessDenied:
            return QStringLiteral("Access denied");
        case nwcode::kNoConsolePrivileges:
            return QStringLiteral("No console privileges");
        case nwcode::kBadStationNumber:
            return QStringLiteral("Bad station number");
        case nwcode::kLockError:
            return QStringLiteral("Lock error");
        default:
            return QStringLiteral("Unknown error ") + QString::number(rc);
    }
}

QString OpenModeWords(quint8 accessControl) {
    // No bit of the byte carries "Compatibility", so that word is never shown.
    static const std::array<std::pair<quint8, const char*>, 4> kWords = {{
        {0x01, "Read"},
        {0x02, "Write"},
        {0x04, "Deny Read"},
        {0x08, "Deny Write"},
    }};
    return wordsOf(accessControl, kWords);
}

QString LoginTimeText(const LoginTime& loginTime) {
    // No date has month 0: the server gave no login time.
    if (loginTime[1] == 0) {
        return kUnknownText;
    }
    static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wendesday",
                                        "Thursday", "Friday", "Saturday"};
    const quint8 dayOfWeek = loginTime[6];
    const QString day = dayOfWeek < 7 ? QLatin1String(kDays[dayOfWeek]) : QString();
    const QTime time(loginTime[3], loginTime[4]);
    return day + QStringLiteral(", ") + QString::number(loginTime[1]) + QLatin1Char('/') +
           QString::number(loginTime[2]) + QLatin1Char('/') +
           QString::number(loginTime[0]).right(2) + QStringLiteral(", ") +
           (time.isValid() ? timeText(time) : QString());
}

const QString& LoginTimeTexts::text(const LoginTime& loginTime) {
    quint64 key = 0;
    for (quint8 byte : loginTime) {
        key = (key << 8) | byte;
    }
    auto it = m_known.constFind(key);
    if (it == m_known.cend()) {
        it = m_known.insert(key, m_text(loginTime));
    }
    return *it;
}

QString NetworkAddressText(const InetAddr& address) {
    const auto zero = [](const auto& bytes) {
        return std::all_of(bytes.begin(), bytes.end(), [](quint8 b) { return b == 0; });
    };
    // An address of no type and no bytes: the server gave none.
    if (address.connType[0] == 0 && zero(address.networkAddr) && zero(address.netNodeAddr) &&
        zero(address.socket)) {
        return kUnknownText;
    }
    switch (address.connType[0]) {
        case nwconntype::kIp: {
            QString text = QStringLiteral("IP:");
            for (std::size_t i = 0; i < address.networkAddr.size(); ++i) {
                if (i > 0) {
                    text += QLatin1Char('.');
                }
                text += QString::number(address.networkAddr[i]);
            }
            return text;
        }
        case nwconntype::kIpx:
        case nwconntype::kAfp:
        default: {
            const QString prefix = address.connType[0] == nwconntype::kIpx ? QStringLiteral("IPX:")
                                   : address.connType[0] == nwconntype::kAfp
                                       ? QStringLiteral("AFP:")
                                       : QString();
            return prefix + hexBytes(address.networkAddr) + QLatin1Char(':') +
                   hexBytes(address.netNodeAddr) + QLatin1Char(':') + hexBytes(address.socket);
        }
    }
}

QString RightsToText(quint16 mask) {
    static const std::array<std::pair<quint16, const char*>, 9> kWords = {{
        {0x0001, "Read"},
        {0x0002, "Write"},
        {0x0004, nullptr},
        {0x0008, "Create"},
        {0x0010, "Delete"},
        {0x0020, "AccessCtrl"},
        {0x0040, "FileScan"},
        {0x0080, "Modify"},
        {0x0100, "Supervisor"},
    }};
    return wordsOf(mask, kWords);
}

QString scanSummaryText(int files, int users) {
    const auto count = [](int n, const char* one, const char* many) {
        return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
    };
    return kIdleText + QStringLiteral(" \u2014 ") + count(files, "file", "files") +
           QStringLiteral(", ") + count(users, "user", "users");
}

QString withProblems(const QString& text, const QStringList& problems) {
    QString line = text;
    for (const QString& problem : problems) {
        line += QStringLiteral(" (") + problem + QLatin1Char(')');
    }
    return line;
}

}  // namespace tavrel
