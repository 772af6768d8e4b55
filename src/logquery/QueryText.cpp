#include "logquery/QueryText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <cmath>

#include "common/SaveWhole.h"
#include "logquery/ExportText.h"

namespace tavrel::querytext {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kOrderBy = QStringLiteral(" ORDER BY ");

}  // namespace

QString initialStatement() {
    return QStringLiteral("SELECT * FROM Log ORDER BY Date,File,User") + kCrLf;
}

QString trimSpaces(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char(' ')) {
        ++start;
    }
    while (end > start && text.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    return text.mid(start, end - start);
}

bool offersStatementButtons(const QString& text) {
    return !trimSpaces(text).isEmpty();
}

QString runStatement(const QString& text) {
    const QString statement = trimSpaces(text);
    if (!statement.startsWith(QLatin1Char('\''))) {
        return statement;
    }
    const qsizetype lineFeed = statement.indexOf(QLatin1Char('\n'));
    if (lineFeed < 0) {
        return statement;
    }
    return statement.mid(lineFeed);
}

QString joinSqlFileLines(const QStringList& lines) {
    return lines.join(kCrLf);
}

std::optional<QString> readSqlFile(const QString& path, QString* error) {
    const auto refuse = [error](const QString& why) {
        *error = why;
        return std::nullopt;
    };
    // A device or a pipe would be read without end (/dev/zero) or block.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return refuse(QStringLiteral("not a regular file"));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return refuse(file.errorString());
    }
    QByteArray bytes = file.read(kMaxSqlFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return refuse(file.errorString());
    }
    if (bytes.size() > kMaxSqlFileBytes) {
        return refuse(QStringLiteral("larger than 1 MB (%1 bytes), too large for a statement")
                          .arg(kMaxSqlFileBytes));
    }
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff")) {
        return refuse(QStringLiteral("UTF-16 text; save it as UTF-8"));
    }
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0) {
        return refuse(
            QStringLiteral("holds a NUL character at byte %1; a statement is text").arg(nul + 1));
    }
    if (bytes.startsWith("\xef\xbb\xbf")) {
        bytes.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        return refuse(QStringLiteral("not UTF-8 text; save it as UTF-8"));
    }
    text.replace(kCrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) {
        text.chop(1);  // the line end Save SQL writes after the last line
    }
    return joinSqlFileLines(text.split(QLatin1Char('\n')));
}

bool writeSqlFile(const QString& path, const QString& text, QString* error) {
    *error = saveWhole(path, sqlFileText(text).toUtf8());
    return error->isEmpty();
}

QString sqlFilePath(const QString& path) {
    return path.right(4).compare(QLatin1String(".sql"), Qt::CaseInsensitive) == 0
               ? path
               : path + QStringLiteral(".sql");
}

QString sqlFileText(const QString& text) {
    QString lines = text;
    lines.replace(kCrLf, QStringLiteral("\n"));
    lines.replace(QLatin1Char('\n'), kCrLf);
    return lines + kCrLf;
}

QString sortedStatement(const QString& statement, int column, bool ascending) {
    QString sorted;
    const qsizetype at = statement.indexOf(kOrderBy, 0, Qt::CaseInsensitive);
    if (at >= 0) {
        sorted = statement.left(at + kOrderBy.size());
    } else {
        // A statement closed by ";" would end before the new clause and run unsorted.
        sorted = statement;
        while (!sorted.isEmpty() &&
               (sorted.back().isSpace() || sorted.back() == QLatin1Char(';'))) {
            sorted.chop(1);
        }
        sorted += kOrderBy;
    }
    return sorted + QString::number(column) +
           (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
}

QString runCaption(qint64 records, double seconds) {
    return QString::number(records) + QStringLiteral(" records in ") +
           QString::number(static_cast<float>(seconds), 'f', 4) + QStringLiteral(" seconds.");
}

QString positionCaption(qint64 position, qint64 records) {
    return QStringLiteral("Record ") + QString::number(position) + QStringLiteral(" of ") +
           QString::number(records);
}

QString countCaption(qint64 records) {
    return QString::number(records) + QStringLiteral(" records");
}

QString sortLabel(const QString& field, bool ascending) {
    return QStringLiteral("Sorted by '") + field +
           (ascending ? QStringLiteral("' in ascending order")
                      : QStringLiteral("' in descending order"));
}

namespace {

// The number a spaces answer holds, rounded half to even; nothing when it holds none.
std::optional<double> spacesNumber(const QString& answer) {
    const QString trimmed = trimSpaces(answer);
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok) {
        value = QLocale::system().toDouble(trimmed, &ok);
    }
    if (!ok || std::isnan(value)) {
        return std::nullopt;
    }
    return std::nearbyint(value);  // the default mode rounds half to even
}

}  // namespace

std::optional<int> copySpaces(const QString& answer) {
    const std::optional<double> rounded = spacesNumber(answer);
    if (!rounded || *rounded < 0 || *rounded > 99) {
        return std::nullopt;
    }
    return static_cast<int>(*rounded);
}

QString copySpacesProblem(const QString& answer) {
    return spacesNumber(answer) && !copySpaces(answer) ? querytexts::kSpacesRange : QString();
}

MessageBoxRequest saveSqlQuestion(const QString& path, bool exists) {
    const QString name = QDir::toNativeSeparators(path);
    if (exists) {
        return {name + QStringLiteral(" already exists.\nDo you want to replace it?"),
                QStringLiteral("Save File"), MessageIcon::Exclamation, MessageButtons::YesNo,
                MessageAnswer::No};
    }
    return {name + QStringLiteral(" does not exist.\nDo you want to create it?"),
            QStringLiteral("Save File"), MessageIcon::Question, MessageButtons::YesNo,
            MessageAnswer::Yes};
}

QString csvFileName(const QString& answer) {
    if (answer.isEmpty() || answer.contains(QLatin1Char('/')) ||
        answer.contains(QLatin1Char('\\')) || answer.contains(QLatin1String(".."))) {
        return QString();
    }
    QString name = answer.toLower();
    if (!name.endsWith(QLatin1String(".csv"))) {
        name += QStringLiteral(".csv");
    }
    return name;
}

}  // namespace tavrel::querytext
