#include "logquery/ExportText.h"

#include "common/SaveWhole.h"
#include "logquery/ResultSet.h"

namespace tavrel::exporttext {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr qsizetype kWriteChunk = 1 << 16;

}  // namespace

QString valueText(const QVariant& value) {
    if (value.isNull()) {
        return QString();
    }
    return value.toString();
}

QString exportedText(const QVariant& value, Texts texts) {
    QString text = valueText(value);
    if (texts == Texts::SpreadsheetSafe && value.typeId() == QMetaType::QString &&
        !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front())) {
        text.prepend(QLatin1Char('\''));
    }
    return text;
}

QString csvField(const QString& text) {
    QString field = text;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

QString csvLine(const QVariantList& values, Texts texts) {
    QString line;
    for (qsizetype c = 0; c < values.size(); ++c) {
        if (c > 0) {
            line += QLatin1Char(',');
        }
        line += csvField(exportedText(values.at(c), texts));
    }
    return line;
}

QString csvHeading(const QStringList& columns) {
    QString line;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        if (c > 0) {
            line += QLatin1Char(',');
        }
        line += csvField(columns.at(c));
    }
    return line;
}

QString spacedLine(const QVariantList& values, int spaces, Texts texts) {
    const QString gap(spaces, QLatin1Char(' '));
    QString line;
    for (const QVariant& value : values) {
        line += exportedText(value, texts) + gap;
    }
    return line;
}

QString printLine(const QVariantList& values) {
    return QStringLiteral("  ") + spacedLine(values, 2);
}

PrintedRecords printedRecords(ResultSet& result, const QString& statementText) {
    PrintedRecords printed;
    QString heading = statementText;
    heading.replace(kCrLf, QStringLiteral("\n"));
    if (heading.endsWith(QLatin1Char('\n'))) {
        heading.chop(1);
    }
    const QStringList headingLines = heading.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < headingLines.size(); ++i) {
        printed.headingLines.append(i == 0 ? QStringLiteral("  ") + headingLines.at(i)
                                           : headingLines.at(i));
    }
    printed.lines << QString() << QString();
    result.forEachRow([&](const QVariantList& row) {
        printed.lines.append(printLine(row));
        return true;
    });
    printed.lines << QStringLiteral(" ")
                  << QStringLiteral("  ") + QString::number(result.recordCount()) +
                         QStringLiteral(" records");
    return printed;
}

QString copiedRecords(ResultSet& result, bool commas, int spaces) {
    QString text;
    result.forEachRow([&](const QVariantList& row) {
        text += (commas ? csvLine(row, Texts::SpreadsheetSafe)
                        : spacedLine(row, spaces, Texts::SpreadsheetSafe)) +
                kCrLf;
        return true;
    });
    return text;
}

bool writeCsv(ResultSet& result, QIODevice& out, QString* error) {
    QByteArray chunk;
    chunk.reserve(kWriteChunk + 4096);
    bool written = true;
    const auto flush = [&] {
        written = written && writeWhole(out, chunk, error);
        chunk.clear();
        return written;
    };
    chunk += (csvHeading(result.columns()) + kCrLf).toLocal8Bit();
    const bool read = result.forEachRow([&](const QVariantList& row) {
        chunk += (csvLine(row, Texts::SpreadsheetSafe) + kCrLf).toLocal8Bit();
        return chunk.size() < kWriteChunk || flush();
    });
    if (!read && written) {
        *error = result.error().description;
    }
    return flush() && read;
}

}  // namespace tavrel::exporttext
