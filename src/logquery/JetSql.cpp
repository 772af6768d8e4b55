#include "logquery/JetSql.h"

#include <QDate>
#include <QStringView>
#include <algorithm>
#include <optional>
#include <vector>

namespace tavrel {

namespace {

// A function of the old dialect and the form it becomes: %1, %2, %3 stand for its
// arguments (translated), %* for all of them joined by ", ".
struct FunctionRule {
    QLatin1StringView name;
    int minArgs;
    int maxArgs;
    QLatin1StringView form;
};

// The functions whose PostgreSQL form differs from SQLite's.
const FunctionRule kPostgresFunctions[] = {
    // A condition, as in WHERE ISNULL(x): PostgreSQL takes no number for one.
    {QLatin1StringView("ISNULL"), 1, 1, QLatin1StringView("((%1) IS NULL)")},
    {QLatin1StringView("DATE"), 0, 0, QLatin1StringView("CURRENT_DATE")},
    {QLatin1StringView("NOW"), 0, 0, QLatin1StringView("LOCALTIMESTAMP(0)")},
    {QLatin1StringView("RIGHT"), 2, 2,
     QLatin1StringView("substr(%1, greatest(length(%1) - (%2) + 1, 1))")},
    {QLatin1StringView("IIF"), 3, 3, QLatin1StringView("(CASE WHEN %1 THEN %2 ELSE %3 END)")},
};

// Table Log and its columns, as PostgreSQL folds their names.
const QLatin1StringView kLogColumns[] = {
    QLatin1StringView("date"),      QLatin1StringView("file"),     QLatin1StringView("user"),
    QLatin1StringView("in_time"),   QLatin1StringView("out_time"), QLatin1StringView("in_times"),
    QLatin1StringView("out_times"), QLatin1StringView("mins"),     QLatin1StringView("opens"),
    QLatin1StringView("opened"),    QLatin1StringView("station"),  QLatin1StringView("id"),
    QLatin1StringView("log"),
};

bool isLogColumn(QStringView name) {
    for (const QLatin1StringView column : kLogColumns) {
        if (name.compare(column, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// A quoted text, bracketed or back-quoted name as PostgreSQL reads it. Comments and
// 'texts' stay as they are.
QString postgresVerbatim(QStringView verbatim) {
    const QChar first = verbatim.front();
    const bool closed = verbatim.size() >= 2 &&
                        verbatim.back() == (first == QLatin1Char('[') ? QLatin1Char(']') : first);
    if (!closed) {
        return verbatim.toString();
    }
    QString inner = verbatim.sliced(1, verbatim.size() - 2).toString();
    if (first == QLatin1Char('"')) {
        // The old dialect's "text" is a text, as in SQLite when no column has that name.
        inner.replace(QLatin1String("\"\""), QLatin1String("\""));
        inner.replace(QLatin1Char('\''), QLatin1String("''"));
        return QLatin1Char('\'') + inner + QLatin1Char('\'');
    }
    if (first == QLatin1Char('[') || first == QLatin1Char('`')) {
        if (first == QLatin1Char('`')) {
            inner.replace(QLatin1String("``"), QLatin1String("`"));
        }
        if (isLogColumn(inner)) {
            inner = inner.toLower();
        }
        inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + inner + QLatin1Char('"');
    }
    return verbatim.toString();
}

const FunctionRule kFunctions[] = {
    {QLatin1StringView("ISNULL"), 1, 1, QLatin1StringView("(-((%1) IS NULL))")},
    {QLatin1StringView("DATE"), 0, 0, QLatin1StringView("date('now', 'localtime')")},
    {QLatin1StringView("NOW"), 0, 0, QLatin1StringView("datetime('now', 'localtime')")},
    {QLatin1StringView("UCASE"), 1, 1, QLatin1StringView("upper(%1)")},
    {QLatin1StringView("LCASE"), 1, 1, QLatin1StringView("lower(%1)")},
    {QLatin1StringView("LEN"), 1, 1, QLatin1StringView("length(%1)")},
    {QLatin1StringView("MID"), 2, 3, QLatin1StringView("substr(%*)")},
    {QLatin1StringView("LEFT"), 2, 2, QLatin1StringView("substr(%1, 1, %2)")},
    {QLatin1StringView("RIGHT"), 2, 2,
     QLatin1StringView("substr(%1, max(length(%1) - (%2) + 1, 1))")},
};

bool isWordStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// The end of a quoted text, bracketed name or comment that starts at i, or i itself
// when none starts there. An unclosed one runs to the end of the statement.
qsizetype skipVerbatim(QStringView text, qsizetype i) {
    const qsizetype n = text.size();
    const QChar c = text[i];
    if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
        qsizetype j = i + 1;
        while (j < n) {
            if (text[j] == c) {
                if (j + 1 < n && text[j + 1] == c) {  // a doubled quote stays inside
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    }
    if (c == QLatin1Char('[')) {
        const qsizetype close = text.indexOf(QLatin1Char(']'), i + 1);
        return close < 0 ? n : close + 1;
    }
    if (i + 1 < n && c == QLatin1Char('-') && text[i + 1] == QLatin1Char('-')) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), i);
        return end < 0 ? n : end;
    }
    if (i + 1 < n && c == QLatin1Char('/') && text[i + 1] == QLatin1Char('*')) {
        const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
        return end < 0 ? n : end + 2;
    }
    return i;
}

// Where each call's parts end, found in one pass over the statement: for a "(" its first
// top-level "," or else its ")", for such a "," the next one or the ")". -1 where a "("
// never closes. With it, a call's arguments are found without reading them again, so the
// translation reads each character once at its own level of nesting.
class CallIndex {
public:
    explicit CallIndex(QStringView text) : m_next(text.size(), -1) {
        QList<qsizetype> open;  // the "(" or "," last seen at each depth
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype end = skipVerbatim(text, i);
            if (end != i) {
                i = end;
                continue;
            }
            const QChar c = text[i];
            if (c == QLatin1Char('(')) {
                open.append(i);
                m_deepest = std::max(m_deepest, open.size());
            } else if (c == QLatin1Char(',') && !open.isEmpty()) {
                m_next[open.last()] = i;
                open.last() = i;
            } else if (c == QLatin1Char(')') && !open.isEmpty()) {
                m_next[open.takeLast()] = i;
            }
            ++i;
        }
    }
    qsizetype next(qsizetype i) const { return m_next[i]; }
    qsizetype deepest() const { return m_deepest; }

private:
    std::vector<qsizetype> m_next;
    qsizetype m_deepest = 0;
};

// The arguments of the call whose "(" is at open, as [start, end) ranges split at its
// top-level commas, and the index of its ")"; nothing when the parentheses do not close.
std::optional<std::pair<QList<std::pair<qsizetype, qsizetype>>, qsizetype>> splitCall(
    QStringView text, const CallIndex& index, qsizetype open) {
    QList<std::pair<qsizetype, qsizetype>> args;
    qsizetype start = open + 1;
    for (qsizetype at = index.next(open); at >= 0; at = index.next(at)) {
        if (text[at] == QLatin1Char(')')) {
            if (!args.isEmpty() || !text.sliced(start, at - start).trimmed().isEmpty()) {
                args.append({start, at});
            }
            return std::make_pair(args, at);
        }
        args.append({start, at});
        start = at + 1;
    }
    return std::nullopt;
}

int parseNumber(QStringView text, bool* ok) {
    *ok = !text.isEmpty() && text.size() <= 4;
    for (const QChar c : text) {
        *ok = *ok && c.isDigit();
    }
    return *ok ? text.toInt() : 0;
}

// The ISO date of a literal's inside.
std::optional<QString> dateLiteral(QStringView inner) {
    inner = inner.trimmed();
    const QChar separator = inner.contains(QLatin1Char('/')) ? QLatin1Char('/') : QLatin1Char('-');
    const std::optional<QDate> date = readDateParts(inner.split(separator));
    if (!date) {
        return std::nullopt;
    }
    return date->toString(Qt::ISODate);
}

// Digits with / or - between them (spaces and dots allowed): meant as a date literal, as
// opposed to PostgreSQL's # operator between numbers.
bool looksLikeDate(QStringView inner) {
    bool digit = false;
    bool separator = false;
    for (const QChar c : inner) {
        if (c.isDigit()) {
            digit = true;
        } else if (c == QLatin1Char('/') || c == QLatin1Char('-')) {
            separator = true;
        } else if (c != QLatin1Char(' ') && c != QLatin1Char('.')) {
            return false;
        }
    }
    return digit && separator;
}

const FunctionRule* functionRule(QStringView name, bool postgres) {
    if (postgres) {
        for (const FunctionRule& rule : kPostgresFunctions) {
            if (name.compare(rule.name, Qt::CaseInsensitive) == 0) {
                return &rule;
            }
        }
    }
    for (const FunctionRule& rule : kFunctions) {
        if (name.compare(rule.name, Qt::CaseInsensitive) == 0) {
            return &rule;
        }
    }
    return nullptr;
}

qsizetype skipSpaces(QStringView text, qsizetype i) {
    while (i < text.size() && text[i].isSpace()) {
        ++i;
    }
    return i;
}

// One translation: the statement, its call index and the largest text it may become.
struct Translation {
    QStringView text;
    const CallIndex& index;
    bool postgres;
    qsizetype largest;
    bool tooLarge = false;
    QString invalidDate = {};  // the first date literal that names no day
};

void translate(Translation& t, qsizetype i, qsizetype n, QString& out);

// The rule's form with the arguments ([start, end) of the statement) translated into it.
// An argument the form names once is translated straight into out, so a nested call costs
// no copy of its text; one named twice (Right's x) is translated once and copied.
void applyRule(Translation& t, const FunctionRule& rule,
               QList<std::pair<qsizetype, qsizetype>> args, QString& out) {
    for (auto& [start, end] : args) {  // each argument without the spaces around it
        while (start < end && t.text[start].isSpace()) {
            ++start;
        }
        while (end > start && t.text[end - 1].isSpace()) {
            --end;
        }
    }
    std::optional<QString> repeated[3];
    const QLatin1StringView form = rule.form;
    for (qsizetype f = 0; f < form.size() && !t.tooLarge; ++f) {
        if (form[f] != QLatin1Char('%') || f + 1 == form.size()) {
            out += QChar(form[f]);
            continue;
        }
        const char which = form[++f].toLatin1();
        if (which == '*') {
            for (qsizetype a = 0; a < args.size(); ++a) {
                if (a > 0) {
                    out += QLatin1String(", ");
                }
                translate(t, args[a].first, args[a].second, out);
            }
            continue;
        }
        const int a = which - '1';
        const char marker[] = {'%', which, '\0'};
        if (form.indexOf(QLatin1StringView(marker)) ==
            form.lastIndexOf(QLatin1StringView(marker))) {
            translate(t, args[a].first, args[a].second, out);
            continue;
        }
        if (!repeated[a]) {
            repeated[a].emplace();
            translate(t, args[a].first, args[a].second, *repeated[a]);
        }
        out += *repeated[a];
    }
    t.tooLarge = t.tooLarge || out.size() > t.largest;
}

// The statement's characters from i to n, translated, appended to out. A rule that repeats
// an argument (Right) doubles its text at each level it nests at: past t.largest the
// translation gives up (tooLarge).
void translate(Translation& t, qsizetype i, qsizetype n, QString& out) {
    const QStringView text = t.text;
    const bool postgres = t.postgres;
    while (i < n && !t.tooLarge && t.invalidDate.isEmpty()) {
        const qsizetype verbatimEnd = std::min(skipVerbatim(text, i), n);
        if (verbatimEnd != i) {
            const QStringView verbatim = text.sliced(i, verbatimEnd - i);
            if (postgres) {
                out += postgresVerbatim(verbatim);
            } else {
                out += verbatim;
            }
            i = verbatimEnd;
            continue;
        }
        const QChar c = text[i];
        if (c == QLatin1Char('#')) {
            const qsizetype close = text.indexOf(QLatin1Char('#'), i + 1);
            if (close > i && close < n) {
                const QStringView inner = text.sliced(i + 1, close - i - 1);
                if (const auto date = dateLiteral(inner)) {
                    out += (postgres ? QStringLiteral("DATE '") : QStringLiteral("'")) + *date +
                           QLatin1Char('\'');
                    i = close + 1;
                    continue;
                }
                if (looksLikeDate(inner)) {
                    t.invalidDate = text.sliced(i, close + 1 - i).toString();
                    return;
                }
            }
        } else if (c == QLatin1Char('&')) {
            out += QLatin1String("||");
            ++i;
            continue;
        } else if (c.isDigit()) {
            // A number with letters in it (1e5, 0x1F) is one token, not a word.
            qsizetype end = i;
            while (end < n && isWordChar(text[end])) {
                ++end;
            }
            out += text.sliced(i, end - i);
            i = end;
            continue;
        } else if (isWordStart(c)) {
            qsizetype end = i;
            while (end < n && isWordChar(text[end])) {
                ++end;
            }
            const QStringView word = text.sliced(i, end - i);
            const bool qualified = i > 0 && text[i - 1] == QLatin1Char('.');
            const qsizetype next = skipSpaces(text, end);
            const bool call = next < n && text[next] == QLatin1Char('(');
            if (!qualified && !call &&
                (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
                 word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)) {
                out += word.size() == 4 ? QLatin1String("-1") : QLatin1String("0");
                i = end;
                continue;
            }
            if (const FunctionRule* rule =
                    qualified || !call ? nullptr : functionRule(word, postgres)) {
                if (const auto split = splitCall(text, t.index, next)) {
                    const auto& [args, close] = *split;
                    if (args.size() >= rule->minArgs && args.size() <= rule->maxArgs) {
                        applyRule(t, *rule, args, out);
                        i = close + 1;
                        continue;
                    }
                }
            }
            // USER is PostgreSQL's name for the login; the log's column is "user".
            if (postgres && !call &&
                word.compare(QLatin1String("User"), Qt::CaseInsensitive) == 0) {
                out += QLatin1String("\"user\"");
            } else {
                out += word;
            }
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
}

// A token at the top level of a statement: a parenthesised part is one Group token.
struct Token {
    enum Kind { Word, Number, Text, Name, Group, Symbol } kind;
    qsizetype start;
    qsizetype end;
};

QList<Token> topLevelTokens(QStringView text) {
    QList<Token> tokens;
    int depth = 0;
    qsizetype groupStart = 0;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        const qsizetype verbatimEnd = skipVerbatim(text, i);
        if (verbatimEnd != i) {
            const bool comment = c == QLatin1Char('-') || c == QLatin1Char('/');
            if (depth == 0 && !comment) {
                tokens.append({c == QLatin1Char('\'') ? Token::Text : Token::Name, i, verbatimEnd});
            }
            i = verbatimEnd;
            continue;
        }
        qsizetype end = i + 1;
        if (c == QLatin1Char('(')) {
            groupStart = depth++ == 0 ? i : groupStart;
        } else if (c == QLatin1Char(')') && depth > 0) {
            if (--depth == 0) {
                tokens.append({Token::Group, groupStart, end});
            }
        } else if (isWordChar(c)) {
            while (end < text.size() && (isWordChar(text[end]) || text[end] == QLatin1Char('.'))) {
                if (text[end] == QLatin1Char('.') && !c.isDigit()) {
                    break;  // a qualified name's dot is a token of its own
                }
                ++end;
            }
            if (depth == 0) {
                tokens.append({c.isDigit() ? Token::Number : Token::Word, i, end});
            }
        } else if (depth == 0 && !c.isSpace()) {
            tokens.append({Token::Symbol, i, end});
        }
        i = end;
    }
    return tokens;
}

bool isWord(QStringView text, const Token& token, std::initializer_list<const char*> words) {
    if (token.kind != Token::Word) {
        return false;
    }
    const QStringView word = text.sliced(token.start, token.end - token.start);
    return std::any_of(words.begin(), words.end(), [&](const char* w) {
        return word.compare(QLatin1StringView(w), Qt::CaseInsensitive) == 0;
    });
}

// The items of a SELECT statement's own list, each as its tokens and the offset just past
// it (its "," or the clause after the list); none for another statement.
struct SelectItem {
    QList<Token> tokens;
    qsizetype end;
};

QList<SelectItem> selectItems(QStringView text) {
    const QList<Token> tokens = topLevelTokens(text);
    if (tokens.isEmpty() || !isWord(text, tokens.first(), {"SELECT"})) {
        return {};
    }
    qsizetype t = 1;
    if (t < tokens.size() && isWord(text, tokens[t], {"DISTINCT", "ALL"})) {
        ++t;
    }
    QList<SelectItem> items{{{}, text.size()}};
    for (; t < tokens.size(); ++t) {
        const Token& token = tokens[t];
        const QStringView symbol = text.sliced(token.start, token.end - token.start);
        const bool listEnds =
            isWord(text, token,
                   {"FROM", "WHERE", "GROUP", "HAVING", "WINDOW", "ORDER", "LIMIT", "OFFSET",
                    "UNION", "INTERSECT", "EXCEPT", "INTO", "FETCH", "FOR"}) ||
            (token.kind == Token::Symbol && symbol == QLatin1String(";"));
        if (listEnds || (token.kind == Token::Symbol && symbol == QLatin1String(","))) {
            items.last().end = token.start;
            if (listEnds) {
                break;
            }
            items.append({{}, text.size()});
        } else {
            items.last().tokens.append(token);
        }
    }
    return items;
}

// Whether an item of a select list is headed by a name of its own: a column (File,
// Log.File, "file", *) or an alias (COUNT(*) AS Total, COUNT(*) Total).
bool isNamed(QStringView text, const QList<Token>& item) {
    if (item.isEmpty()) {
        return true;
    }
    const Token& last = item.last();
    const QStringView lastText = text.sliced(last.start, last.end - last.start);
    if (last.kind == Token::Symbol) {
        return lastText == QLatin1String("*");
    }
    if ((last.kind != Token::Word && last.kind != Token::Name) ||
        isWord(text, last,
               {"END", "NULL", "TRUE", "FALSE", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP",
                "LOCALTIME", "LOCALTIMESTAMP"})) {
        return false;
    }
    if (item.size() == 1) {
        return true;
    }
    // After another word, a name or a text, a group or a number: an alias; after an
    // operator it ends an expression, after a dot it is a qualified column.
    const Token& before = item[item.size() - 2];
    if (before.kind == Token::Symbol) {
        return text.sliced(before.start, before.end - before.start) == QLatin1String(".");
    }
    return before.kind != Token::Word ||
           !isWord(text, before,
                   {"AND", "OR", "NOT", "IS", "IN", "LIKE", "GLOB", "BETWEEN", "CASE", "WHEN",
                    "THEN", "ELSE", "ESCAPE", "COLLATE", "DISTINCT"});
}

// PostgreSQL heads an expression by its function ("count") or not at all ("?column?");
// SQLite by its text as written. Each unnamed item of the PostgreSQL statement's select
// list is given the text of the same item in the SQLite statement as its name, unless
// that is longer than PostgreSQL keeps a name.
QString withSqliteHeadings(const QString& postgres, const QString& sqlite) {
    constexpr qsizetype kLongestName = 63;  // bytes
    // PostgreSQL's own quotings ($$...$$, E'\'...') are not read here: left as they are.
    if (postgres.contains(QLatin1Char('$')) || postgres.contains(QLatin1Char('\\'))) {
        return postgres;
    }
    const QList<SelectItem> items = selectItems(postgres);
    const QList<SelectItem> written = selectItems(sqlite);
    if (items.size() != written.size()) {
        return postgres;
    }
    QString headed = postgres;
    for (qsizetype k = items.size() - 1; k >= 0; --k) {
        if (isNamed(postgres, items[k].tokens) || written[k].tokens.isEmpty()) {
            continue;
        }
        const qsizetype from = written[k].tokens.first().start;
        const QString heading = sqlite.mid(from, written[k].tokens.last().end - from);
        if (heading.toUtf8().size() > kLongestName) {
            continue;
        }
        headed.insert(items[k].end,
                      QStringLiteral(" AS \"%1\" ")
                          .arg(QString(heading).replace(QLatin1Char('"'), QLatin1String("\"\""))));
    }
    return headed;
}

}  // namespace

const QList<JetTranslationRule>& jetTranslationRules() {
    static const QList<JetTranslationRule> rules = {
        {QStringLiteral("#12/1/2003# (month/day/year; day/month when that is no date)"),
         QStringLiteral("'2003-12-01'"), QStringLiteral("DATE '2003-12-01'")},
        {QStringLiteral("#2003-12-01#"), QStringLiteral("'2003-12-01'"),
         QStringLiteral("DATE '2003-12-01'")},
        {QStringLiteral("True, False"), QStringLiteral("-1, 0"), QStringLiteral("-1, 0")},
        {QStringLiteral("ISNULL(x)"), QStringLiteral("(-((x) IS NULL))"),
         QStringLiteral("((x) IS NULL)")},
        {QStringLiteral("a & b"), QStringLiteral("a || b"), QStringLiteral("a || b")},
        {QStringLiteral("Date()"), QStringLiteral("date('now', 'localtime')"),
         QStringLiteral("CURRENT_DATE")},
        {QStringLiteral("Now()"), QStringLiteral("datetime('now', 'localtime')"),
         QStringLiteral("LOCALTIMESTAMP(0)")},
        {QStringLiteral("UCase(x), LCase(x)"), QStringLiteral("upper(x), lower(x)"),
         QStringLiteral("upper(x), lower(x)")},
        {QStringLiteral("Len(x)"), QStringLiteral("length(x)"), QStringLiteral("length(x)")},
        {QStringLiteral("Mid(x, start[, n])"), QStringLiteral("substr(x, start[, n])"),
         QStringLiteral("substr(x, start[, n])")},
        {QStringLiteral("Left(x, n)"), QStringLiteral("substr(x, 1, n)"),
         QStringLiteral("substr(x, 1, n)")},
        {QStringLiteral("Right(x, n)"), QStringLiteral("substr(x, max(length(x) - (n) + 1, 1))"),
         QStringLiteral("substr(x, greatest(length(x) - (n) + 1, 1))")},
        {QStringLiteral("IIF(c, a, b)"), QStringLiteral("iif(c, a, b), unchanged"),
         QStringLiteral("(CASE WHEN c THEN a ELSE b END)")},
        {QStringLiteral("\"text\", [name], User"), QStringLiteral("unchanged"),
         QStringLiteral("'text', \"name\", \"user\"")},
    };
    return rules;
}

std::optional<QDate> readDateParts(const QList<QStringView>& parts, std::optional<int> thisYear) {
    if (parts.size() != 3 && !(parts.size() == 2 && thisYear)) {
        return std::nullopt;
    }
    bool ok[3] = {true, true, true};
    const int numbers[3] = {parseNumber(parts[0], &ok[0]), parseNumber(parts[1], &ok[1]),
                            parts.size() == 3 ? parseNumber(parts[2], &ok[2]) : *thisYear};
    if (!ok[0] || !ok[1] || !ok[2]) {
        return std::nullopt;
    }
    QDate date;
    if (parts.size() == 3 && parts[0].size() == 4) {
        date = QDate(numbers[0], numbers[1], numbers[2]);
    } else {
        int year = numbers[2];
        if (parts.size() == 3 && parts[2].size() <= 2) {
            year += year < 30 ? 2000 : 1900;
        }
        date = QDate(year, numbers[0], numbers[1]);
        if (!date.isValid()) {
            date = QDate(year, numbers[1], numbers[0]);
        }
    }
    if (!date.isValid()) {
        return std::nullopt;
    }
    return date;
}

QString translateJetSql(const QString& statement, LogDb::Engine engine, QString* error) {
    const CallIndex index(statement);
    if (index.deepest() > kJetMaxNesting) {
        if (error != nullptr) {
            *error = QStringLiteral("The statement nests parentheses more than %1 deep.")
                         .arg(kJetMaxNesting);
        }
        return QString();
    }
    Translation t{statement, index, engine == LogDb::Engine::PostgreSQL,
                  16 * statement.size() + 65536};
    QString translated;
    translated.reserve(statement.size() + 16);
    translate(t, 0, statement.size(), translated);
    if (!t.invalidDate.isEmpty()) {
        if (error != nullptr) {
            *error = QStringLiteral("Invalid date %1: write #month/day/year# or #year-month-day#.")
                         .arg(t.invalidDate);
        }
        return QString();
    }
    if (t.tooLarge) {
        if (error != nullptr) {
            *error = QStringLiteral(
                "The statement grows too large when translated: Right() "
                "nests too deep.");
        }
        return QString();
    }
    if (t.postgres) {
        return withSqliteHeadings(translated, translateJetSql(statement));
    }
    return translated;
}

QString withoutOrderBy(const QString& statement) {
    const QStringView text(statement);
    qsizetype orderBy = -1;
    qsizetype limit = text.size();
    int depth = 0;
    QList<std::pair<QStringView, qsizetype>> words;  // top-level words and where they start
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype end = skipVerbatim(text, i);
        if (end != i) {
            i = end;
            continue;
        }
        const QChar c = text[i];
        if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (isWordStart(c) || c.isDigit()) {
            qsizetype wordEnd = i;
            while (wordEnd < text.size() && isWordChar(text[wordEnd])) {
                ++wordEnd;
            }
            if (depth == 0) {
                words.append({text.sliced(i, wordEnd - i), i});
            }
            i = wordEnd;
            continue;
        }
        ++i;
    }
    for (qsizetype w = 0; w + 1 < words.size(); ++w) {
        if (words[w].first.compare(QLatin1String("ORDER"), Qt::CaseInsensitive) == 0 &&
            words[w + 1].first.compare(QLatin1String("BY"), Qt::CaseInsensitive) == 0) {
            orderBy = words[w].second;
            limit = text.size();
            for (qsizetype l = w + 2; l < words.size(); ++l) {
                if (words[l].first.compare(QLatin1String("LIMIT"), Qt::CaseInsensitive) == 0) {
                    limit = words[l].second;
                    break;
                }
            }
        }
    }
    if (orderBy < 0) {
        return statement;
    }
    return statement.left(orderBy) + QLatin1Char('\n') + statement.mid(limit);
}

}  // namespace tavrel
