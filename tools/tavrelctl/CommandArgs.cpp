#include "CommandArgs.h"

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

}  // namespace tavrel
