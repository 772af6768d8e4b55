#include "CommandArgs.h"

#include "filelist/FileListStore.h"

namespace tavrel {

CommandArgs::CommandArgs(const QStringList& args, const QStringList& flags,
                         const QStringList& options) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
            m_positional.append(arg);
            continue;
        }
        QString name = arg.mid(2);
        QString value;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool hasInlineValue = equals >= 0;
        if (hasInlineValue) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (flags.contains(name) && !hasInlineValue) {
            m_values.insert(name, QString());
        } else if (options.contains(name)) {
            if (!hasInlineValue) {
                if (i + 1 >= args.size()) {
                    m_error = QStringLiteral("option --%1 needs a value").arg(name);
                    return;
                }
                value = args.at(++i);
            }
            m_values.insert(name, value);
        } else {
            m_error = QStringLiteral("unknown option %1").arg(arg);
            return;
        }
    }
}

bool isHelpWord(const QString& word) {
    return word == QLatin1String("help") || word == QLatin1String("--help");
}

int badUsage(const char* command, const QString& problem, const char* usage, QTextStream& err) {
    err << "tavrelctl " << command << ": " << problem << "\n\n" << usage;
    return 2;
}

QString resolveFile(SettingsStore& settings, const QString& word, bool monitoredOnly,
                    QString* problem) {
    const QList<FileListEntry> files = LoadFileList(settings);
    bool numeric = false;
    const int number = word.toInt(&numeric);
    if (numeric) {
        for (const FileListEntry& entry : files) {
            if (entry.number == number) {
                return entry.path;
            }
        }
        *problem = QStringLiteral("there is no file number %1 (the list has %2 %3)")
                       .arg(word)
                       .arg(files.size())
                       .arg(files.size() == 1 ? QStringLiteral("file") : QStringLiteral("files"));
        return QString();
    }
    for (const FileListEntry& entry : files) {
        if (entry.path.compare(word, Qt::CaseInsensitive) == 0) {
            return entry.path;
        }
    }
    if (monitoredOnly) {
        *problem =
            QStringLiteral("%1 is not a monitored file (\"tavrelctl files list\" shows them)")
                .arg(word);
        return QString();
    }
    return word;
}

bool secondsOption(const CommandArgs& parsed, const char* command, const char* name, int least,
                   int* seconds, QTextStream& err) {
    if (!parsed.has(QLatin1String(name))) {
        return true;
    }
    bool numeric = false;
    *seconds = parsed.value(QLatin1String(name)).toInt(&numeric);
    if (!numeric || *seconds < least) {
        err << "tavrelctl " << command << ": --" << name << " must be a whole number of seconds, "
            << least << " or more\n";
        return false;
    }
    return true;
}

}  // namespace tavrel
