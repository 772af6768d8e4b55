#include "external/samba/SiteBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "external/netware/EmulatedNetWare.h"
#include "external/samba/SambaNetWare.h"

namespace tavrel {

namespace {

// The offset just after the spaces from offset on.
qsizetype skipSpaces(const QByteArray& text, qsizetype offset) {
    while (offset < text.size() && QChar::isSpace(uchar(text.at(offset)))) {
        ++offset;
    }
    return offset;
}

// The offset of the key "name" of the object at path in the JSON text ("" the top object,
// "drives[1]" the second drive, "a.b[0]" deeper), or -1. The text is walked token by
// token, so that the same key text in another object or inside a string is passed over.
qsizetype keyOffset(const QByteArray& text, const QByteArray& path, const QByteArray& name) {
    struct Frame {
        bool object = false;
        QByteArray key;  // an object's: the key last read
        int index = 0;   // an array's: the item being read
    };
    QList<Frame> stack;
    bool expectKey = false;
    const auto pathOfTop = [&stack] {
        QByteArray at;
        for (qsizetype k = 0; k + 1 < stack.size(); ++k) {
            if (!stack[k].object) {
                at += '[' + QByteArray::number(stack[k].index) + ']';
            } else {
                at += (at.isEmpty() ? QByteArray() : QByteArray(".")) + stack[k].key;
            }
        }
        return at;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"') {
            qsizetype end = i + 1;
            while (end < text.size() && text.at(end) != '"') {
                end += text.at(end) == '\\' ? 2 : 1;
            }
            if (expectKey && !stack.isEmpty()) {
                stack.last().key = text.mid(i + 1, end - i - 1);
                if (stack.last().key == name && pathOfTop() == path) {
                    return i;
                }
                expectKey = false;
            }
            i = end;
        } else if (c == '{' || c == '[') {
            stack.append({c == '{', {}, 0});
            expectKey = c == '{';
        } else if ((c == '}' || c == ']') && !stack.isEmpty()) {
            stack.removeLast();
            expectKey = false;
        } else if (c == ',' && !stack.isEmpty()) {
            expectKey = stack.last().object;
            ++stack.last().index;
        }
    }
    return -1;
}

// Whether the text asks for the Samba backend is seen without reading all of it as JSON,
// so that a large emulated site is not read twice, whatever the size of either.
bool asksForSamba(const QByteArray& text) {
    const QByteArray key = "\"backend\"";
    for (qsizetype at = text.indexOf(key); at >= 0; at = text.indexOf(key, at + 1)) {
        const qsizetype colon = skipSpaces(text, at + key.size());
        if (colon < text.size() && text.at(colon) == ':' &&
            text.mid(skipSpaces(text, colon + 1), 7) == "\"samba\"") {
            return true;
        }
    }
    return false;
}

struct SambaFile {
    QByteArray text;
    QJsonObject root;
};

std::optional<SambaFile> sambaFile(const QString& sitePath) {
    QFile file(sitePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    SambaFile samba{file.readAll(), {}};
    if (!asksForSamba(samba.text)) {
        return std::nullopt;
    }
    samba.root = QJsonDocument::fromJson(samba.text).object();
    return isSambaSite(samba.root) ? std::optional<SambaFile>(std::move(samba)) : std::nullopt;
}

// "line L, column C: " of the unknown key an error names ("drives[1]: unknown key "x"" is
// the second drive's), so that it is found in the file.
QString keyPlace(const QByteArray& text, const QString& error) {
    static const QRegularExpression unknown(
        QStringLiteral("^(?:(\\S*): )?unknown key \"([^\"]*)\""));
    const QRegularExpressionMatch match = unknown.match(error);
    const qsizetype at =
        match.hasMatch() ? keyOffset(text, match.captured(1).toUtf8(), match.captured(2).toUtf8())
                         : -1;
    if (at < 0) {
        return QString();
    }
    const QByteArray before = text.left(at);
    return QStringLiteral("line %1, column %2: ")
        .arg(before.count('\n') + 1)
        .arg(at - (before.lastIndexOf('\n') + 1) + 1);
}

}  // namespace

bool isSambaSiteFile(const QString& sitePath) {
    return sambaFile(sitePath).has_value();
}

std::unique_ptr<EmulatedNetWare> openSiteClient(const QString& sitePath,
                                                const QString& stateFolder) {
    const std::optional<SambaFile> samba = sambaFile(sitePath);
    if (!samba) {
        return std::make_unique<EmulatedNetWare>(sitePath);
    }
    QString error;
    std::optional<QList<SambaConfig>> servers =
        parseSambaServers(samba->root, QFileInfo(sitePath).absolutePath(), &error);
    if (!servers) {
        return std::make_unique<SambaNetWare>(
            QStringLiteral("the Samba site file %1 is not sound: %2%3")
                .arg(sitePath, keyPlace(samba->text, error), error));
    }
    if (!stateFolder.isEmpty()) {
        // One file for every server of the site, which keeps each server's numbers apart.
        for (SambaConfig& config : *servers) {
            config.numbersFile =
                QDir(stateFolder).filePath(QStringLiteral("samba-connections.json"));
        }
    }
    return std::make_unique<SambaNetWare>(std::move(*servers));
}

}  // namespace tavrel
