#include "support/TestEnvironment.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

namespace tavrel::test {

namespace {
QString g_root;
}

void isolateEnvironment() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::string pattern = (QDir::tempPath() + QStringLiteral("/tavrel-test-XXXXXX")).toStdString();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    g_root = QString::fromStdString(pattern);
    const auto setFolder = [](const char* variable, const QString& path) {
        QDir().mkpath(path);
        qputenv(variable, QFile::encodeName(path));
    };
    setFolder("HOME", g_root + QStringLiteral("/home"));
    setFolder("XDG_CONFIG_HOME", g_root + QStringLiteral("/config"));
    setFolder("XDG_DATA_HOME", g_root + QStringLiteral("/data"));
    setFolder("XDG_CACHE_HOME", g_root + QStringLiteral("/cache"));
    setFolder("XDG_RUNTIME_DIR", g_root + QStringLiteral("/runtime"));
    QFile::setPermissions(g_root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setFolder("TAVREL_HOME", g_root + QStringLiteral("/app"));
    qunsetenv("TAVREL_SITE");
    std::atexit([] { QDir(g_root).removeRecursively(); });
}

QString isolatedRoot() {
    return g_root;
}

QProcessEnvironment programEnvironment(const QTemporaryDir& dir) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAVREL_HOME"), dir.filePath(QStringLiteral("app")));
    environment.insert(QStringLiteral("TAVREL_SITE"), dir.filePath(QStringLiteral("site.json")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    QDir().mkpath(dir.filePath(QStringLiteral("app")));
    return environment;
}

}  // namespace tavrel::test
