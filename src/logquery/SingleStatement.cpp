#include "logquery/SingleStatement.h"

namespace tavrel {

namespace {

constexpr int kShownLength = 40;

bool isNameStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}

// Reads the statement token by token: the index after a quoted text or name, a comment or
// a dollar-quoted text that starts at i, or i when none starts there. An unclosed one
// runs to the end, as the engine then refuses the whole text.
class Scanner {
public:
    Scanner(const QString& text, bool postgres) : m_text(text), m_postgres(postgres) {}

    qsizetype skipQuoted(qsizetype i) const {
        const QChar c = m_text.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') ||
            (!m_postgres && c == QLatin1Char('`'))) {
            const bool backslashes = m_postgres && c == QLatin1Char('\'') && escapeString(i);
            return closing(i + 1, c, backslashes);
        }
        if (!m_postgres && c == QLatin1Char('[')) {
            const qsizetype end = m_text.indexOf(QLatin1Char(']'), i + 1);
            return end < 0 ? m_text.size() : end + 1;
        }
        if (c == QLatin1Char('-') && at(i + 1) == QLatin1Char('-')) {
            const qsizetype end = m_text.indexOf(QLatin1Char('\n'), i + 2);
            return end < 0 ? m_text.size() : end + 1;
        }
        if (c == QLatin1Char('/') && at(i + 1) == QLatin1Char('*')) {
            return blockComment(i);
        }
        if (m_postgres && c == QLatin1Char('$')) {
            return dollarQuoted(i);
        }
        return i;
    }

    QChar at(qsizetype i) const { return i < m_text.size() ? m_text.at(i) : QChar(); }

private:
    // E'...' (any case), where a backslash escapes the next character.
    bool escapeString(qsizetype quote) const {
        return quote > 0 && m_text.at(quote - 1).toUpper() == QLatin1Char('E') &&
               (quote == 1 || !(m_text.at(quote - 2).isLetterOrNumber() ||
                                m_text.at(quote - 2) == QLatin1Char('_')));
    }

    qsizetype closing(qsizetype i, QChar quote, bool backslashes) const {
        while (i < m_text.size()) {
            const QChar c = m_text.at(i);
            if (backslashes && c == QLatin1Char('\\')) {
                i += 2;
            } else if (c == quote && at(i + 1) == quote) {
                i += 2;
            } else if (c == quote) {
                return i + 1;
            } else {
                ++i;
            }
        }
        return m_text.size();
    }

    // PostgreSQL's comments nest; SQLite's end at the first */.
    qsizetype blockComment(qsizetype i) const {
        int depth = 0;
        while (i < m_text.size()) {
            if (m_text.at(i) == QLatin1Char('/') && at(i + 1) == QLatin1Char('*')) {
                ++depth;
                i += 2;
            } else if (m_text.at(i) == QLatin1Char('*') && at(i + 1) == QLatin1Char('/')) {
                i += 2;
                if (--depth == 0 || !m_postgres) {
                    return i;
                }
            } else {
                ++i;
            }
        }
        return m_text.size();
    }

    // $$...$$ or $tag$...$tag$; a $ that starts neither (as in $1) is an ordinary character.
    qsizetype dollarQuoted(qsizetype i) const {
        if (i > 0 &&
            (m_text.at(i - 1).isLetterOrNumber() || m_text.at(i - 1) == QLatin1Char('_'))) {
            return i;
        }
        qsizetype end = i + 1;
        if (end < m_text.size() && isNameStart(m_text.at(end))) {
            while (end < m_text.size() &&
                   (m_text.at(end).isLetterOrNumber() || m_text.at(end) == QLatin1Char('_'))) {
                ++end;
            }
        }
        if (at(end) != QLatin1Char('$')) {
            return i;
        }
        const QString tag = m_text.mid(i, end + 1 - i);
        const qsizetype close = m_text.indexOf(tag, end + 1);
        return close < 0 ? m_text.size() : close + tag.size();
    }

    const QString& m_text;
    bool m_postgres;
};

}  // namespace

SingleStatement singleStatement(const QString& statement, LogDb::Engine engine) {
    const Scanner scanner(statement, engine == LogDb::Engine::PostgreSQL);
    bool seenWords = false;  // of the current statement
    bool ended = false;      // a ";" closed the first statement
    qsizetype end = 0;       // just after the first statement's last word
    for (qsizetype i = 0; i < statement.size();) {
        const qsizetype next = scanner.skipQuoted(i);
        const QChar c = statement.at(i);
        const bool comment = next > i && (c == QLatin1Char('-') || c == QLatin1Char('/'));
        if (comment || c.isSpace()) {
            i = next > i ? next : i + 1;
            continue;
        }
        if (c == QLatin1Char(';') && next == i) {
            ended = ended || seenWords;
            ++i;
            continue;
        }
        if (ended) {
            QString second = statement.mid(i, kShownLength + 1).simplified();
            if (second.size() > kShownLength) {
                second = second.left(kShownLength) + QStringLiteral("...");
            }
            return {QString(), QStringLiteral("Only one statement can run at a time; a second "
                                              "one begins at \"%1\".")
                                   .arg(second)};
        }
        seenWords = true;
        i = next > i ? next : i + 1;
        end = i;
    }
    if (!seenWords) {
        return {QString(), QStringLiteral("There is no statement to run.")};
    }
    return {statement.left(end), QString()};
}

}  // namespace tavrel
