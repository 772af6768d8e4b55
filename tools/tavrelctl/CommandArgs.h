#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace tavrel {

class SettingsStore;

// "help" or "--help": the word that asks a command for its usage.
bool isHelpWord(const QString& word);
// Tells err what is wrong with a command's arguments ("tavrelctl COMMAND: PROBLEM"), then
// the command's usage; returns the exit status of bad usage, 2.
int badUsage(const char* command, const QString& problem, const char* usage, QTextStream& err);

// A file given as a number in the monitored list, or as a path. With monitoredOnly, a
// path must be in the list too. The path, or "" with the reason in *problem.
QString resolveFile(SettingsStore& settings, const QString& word, bool monitoredOnly,
                    QString* problem);

// The arguments of one command: positional words, flags (--locked) and options with a
// value (--conn 3 or --conn=3). An unknown option or a missing value is an error.
class CommandArgs {
public:
    CommandArgs(const QStringList& args, const QStringList& flags, const QStringList& options);

    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    const QStringList& positional() const { return m_positional; }
    bool has(const QString& name) const { return m_values.contains(name); }
    QString value(const QString& name) const { return m_values.value(name); }

private:
    QStringList m_positional;
    QHash<QString, QString> m_values;
    QString m_error;
};

// A whole number of seconds from an option, at least least; *seconds keeps its value when
// the option is absent. False (with the reason on err) when it is not such a number.
bool secondsOption(const CommandArgs& parsed, const char* command, const char* name, int least,
                   int* seconds, QTextStream& err);

}  // namespace tavrel
