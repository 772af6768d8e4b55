#include "external/netware/SiteSimulation.h"

#include <QDir>
#include <QDirIterator>
#include <algorithm>
#include <iterator>
#include <numeric>
#include <vector>

namespace tavrel {

namespace {

struct Candidate {
    int server;
    QString path;  // volume path: SYS:APPS\ORDERS.DBF
};

// Every real file of every volume, in a fixed order.
std::vector<Candidate> volumeFiles(const NetWareSite& site) {
    std::vector<Candidate> files;
    for (int s = 0; s < site.servers.size(); ++s) {
        for (const SiteVolume& volume : site.servers.at(s).volumes) {
            const QDir root(QDir(site.folder).filePath(volume.root));
            if (volume.root.isEmpty() || !root.exists()) {
                continue;
            }
            QStringList found;
            QDirIterator it(root.path(), QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                found.append(root.relativeFilePath(it.next()));
            }
            found.sort();
            for (const QString& relative : found) {
                files.push_back(
                    {s, volume.name + QLatin1Char(':') +
                            QString(relative).replace(QLatin1Char('/'), QLatin1Char('\\'))});
            }
        }
    }
    return files;
}

bool isWorkstation(const NetWareSite& site, const SiteServer& server, quint16 number) {
    return std::any_of(site.workstation.begin(), site.workstation.end(), [&](const auto& own) {
        return own.number == number && own.server.compare(server.name, Qt::CaseInsensitive) == 0;
    });
}

struct Holder {
    int server;
    quint16 connection;
};

}  // namespace

int SiteSimulation::below(int count) {
    return int(std::uniform_int_distribution<int>(0, count - 1)(m_random));
}

QString SiteSimulation::step(NetWareSite& site, const QDateTime& now) {
    std::vector<Holder> users;  // connections of users, the workstation's left out
    std::vector<Holder> idle;   // of those, the ones holding nothing
    std::vector<std::pair<int, quint32>> loggedOut;  // server, user object
    std::vector<std::pair<int, int>> held;           // server, open file of a user
    for (int s = 0; s < site.servers.size(); ++s) {
        const SiteServer& server = site.servers.at(s);
        for (int f = 0; f < server.openFiles.size(); ++f) {
            if (!isWorkstation(site, server, server.openFiles.at(f).connection)) {
                held.emplace_back(s, f);
            }
        }
        for (const SiteConnection& connection : server.connections) {
            if (!isWorkstation(site, server, connection.number)) {
                users.push_back({s, connection.number});
                if (std::none_of(
                        server.openFiles.begin(), server.openFiles.end(),
                        [&](const SiteOpenFile& f) { return f.connection == connection.number; })) {
                    idle.push_back({s, connection.number});
                }
            }
        }
        for (const SiteObject& object : server.objects) {
            const bool connected =
                std::any_of(server.connections.begin(), server.connections.end(),
                            [&](const SiteConnection& c) { return c.object == object.id; });
            if (object.type == 1 && !connected) {
                loggedOut.emplace_back(s, object.id);
            }
        }
    }
    const std::vector<Candidate> files = volumeFiles(site);

    // Weights: about one and a half open files per user, so opening and closing balance.
    const int target = int(users.size()) * 3 / 2;
    const int opens = int(held.size());
    enum Action { Open, Close, Lock, Login, Logout };
    int weights[] = {
        users.empty() || files.empty() ? 0 : (opens < target ? 6 : 2),
        opens == 0 ? 0 : (opens < target ? 2 : 6),
        opens == 0 ? 0 : 2,
        loggedOut.empty() ? 0 : 1,
        idle.size() < 2 ? 0 : 1,
    };
    const int total = std::accumulate(std::begin(weights), std::end(weights), 0);
    if (total == 0) {
        return QString();
    }
    int roll = below(total);
    int action = 0;
    while (roll >= weights[action]) {
        roll -= weights[action++];
    }

    switch (Action(action)) {
        case Open: {
            const Holder user = users.at(size_t(below(int(users.size()))));
            std::vector<Candidate> own;
            SiteServer& server = site.servers[user.server];
            std::copy_if(
                files.begin(), files.end(), std::back_inserter(own), [&](const Candidate& c) {
                    return c.server == user.server &&
                           std::none_of(server.openFiles.begin(), server.openFiles.end(),
                                        [&](const SiteOpenFile& f) {
                                            return f.connection == user.connection &&
                                                   f.path.compare(c.path, Qt::CaseInsensitive) == 0;
                                        });
                });
            if (own.empty()) {
                return QString();
            }
            const Candidate& file = own.at(size_t(below(int(own.size()))));
            static constexpr quint8 kModes[] = {0x01, 0x03, 0x0B};
            SiteOpenFile open;
            open.connection = user.connection;
            open.path = file.path;
            open.task = quint16(1 + below(4));
            open.accessControl = kModes[below(3)];
            open.lockType = below(2) == 0 ? 8 : 0;
            server.openFiles.append(open);
            return QStringLiteral("connection %1 on %2 opens %3")
                .arg(open.connection)
                .arg(server.name, open.path);
        }
        case Close:
        case Lock: {
            const auto [s, index] = held.at(size_t(below(int(held.size()))));
            SiteServer& server = site.servers[s];
            SiteOpenFile& open = server.openFiles[index];
            const QString who =
                QStringLiteral("connection %1 on %2").arg(open.connection).arg(server.name);
            if (Action(action) == Lock) {
                open.locked = !open.locked;
                return who +
                       (open.locked ? QStringLiteral(" locks ") : QStringLiteral(" unlocks ")) +
                       open.path;
            }
            const QString path = open.path;
            server.openFiles.removeAt(index);
            return who + QStringLiteral(" closes ") + path;
        }
        case Login: {
            const auto [s, object] = loggedOut.at(size_t(below(int(loggedOut.size()))));
            SiteServer& server = site.servers[s];
            quint16 number = 1;
            while (std::any_of(server.connections.begin(), server.connections.end(),
                               [&](const SiteConnection& c) { return c.number == number; })) {
                ++number;
            }
            SiteConnection connection;
            connection.number = number;
            connection.object = object;
            connection.loginTime =
                QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()), Qt::UTC);
            connection.address.type = 11;
            connection.address.net = {10, 1, 2, quint8(20 + number % 200)};
            server.connections.append(connection);
            const auto named = std::find_if(server.objects.begin(), server.objects.end(),
                                            [&](const SiteObject& o) { return o.id == object; });
            return QStringLiteral("%1 logs in to %2 as connection %3")
                .arg(named->name, server.name)
                .arg(number);
        }
        case Logout: {
            const Holder user = idle.at(size_t(below(int(idle.size()))));
            SiteServer& server = site.servers[user.server];
            server.connections.removeIf(
                [&](const SiteConnection& c) { return c.number == user.connection; });
            return QStringLiteral("connection %1 on %2 logs out")
                .arg(user.connection)
                .arg(server.name);
        }
    }
    return QString();
}

}  // namespace tavrel
