#include "external/samba/SambaStatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavrel {

namespace {

// A JSON text read in place: every value is a node of one list, and strings and numbers
// stay slices of the text until they are read. smbstatus's answer runs to megabytes of
// fields the monitor never reads; this costs a fraction of a QJsonDocument. It reads
// strict JSON only and refuses the rest (a QJsonDocument then reads it, or says why not).
class JsonSlices {
public:
    enum class Type : quint8 { Null, False, True, Number, String, Array, Object };

    bool parse(QByteArrayView json) {
        m_nodes.clear();
        m_nodes.reserve(std::size_t(json.size() / 24));
        if (json.size() > std::numeric_limits<quint32>::max()) {
            return false;
        }
        m_begin = m_p = json.data();
        m_end = m_p + json.size();
        skipSpace();
        if (parseValue(0) < 0) {
            return false;
        }
        skipSpace();
        return m_p == m_end;
    }

    static constexpr int kRoot = 0;

    bool isObject(int node) const { return node >= 0 && m_nodes[node].type == Type::Object; }

    // The value of an object's member as QJsonObject::value finds it (the last of equal
    // keys); -1 when there is none.
    int member(int object, QLatin1StringView key) const {
        int found = -1;
        if (isObject(object)) {
            for (int c = m_nodes[object].first; c >= 0; c = m_nodes[c].next) {
                const Node& n = m_nodes[c];
                if (n.keyEscaped ? decode(view(n.key), true) == key
                                 : view(n.key) == QByteArrayView(key.data(), key.size())) {
                    found = c;
                }
            }
        }
        return found;
    }

    // An object's members in QJsonObject's order (by key, the last of equal keys); an
    // array's elements in order; nothing for other values.
    QList<int> children(int node) const {
        QList<int> result;
        if (node < 0 || (m_nodes[node].type != Type::Object && m_nodes[node].type != Type::Array)) {
            return result;
        }
        for (int c = m_nodes[node].first; c >= 0; c = m_nodes[c].next) {
            result.append(c);
        }
        if (m_nodes[node].type == Type::Array) {
            return result;
        }
        QList<std::pair<QString, int>> keyed;
        keyed.reserve(result.size());
        for (int c : result) {
            keyed.append({key(c), c});
        }
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        result.clear();
        for (qsizetype i = 0; i < keyed.size(); ++i) {
            if (i + 1 == keyed.size() || keyed[i + 1].first != keyed[i].first) {
                result.append(keyed[i].second);
            }
        }
        return result;
    }

    QString key(int node) const {
        return decode(view(m_nodes[node].key), m_nodes[node].keyEscaped);
    }

    // As QJsonValue's toString and toBool read them.
    QString string(int node) const {
        return node >= 0 && m_nodes[node].type == Type::String
                   ? decode(view(m_nodes[node].text), m_nodes[node].escaped)
                   : QString();
    }
    bool boolean(int node) const { return node >= 0 && m_nodes[node].type == Type::True; }

    // Samba writes pids and ids as strings, numbers as numbers; either is taken.
    qint64 integer(int node) const {
        if (node < 0) {
            return 0;
        }
        if (m_nodes[node].type == Type::String) {
            bool ok = false;
            const qint64 number = string(node).toLongLong(&ok);
            return ok ? number : 0;
        }
        return m_nodes[node].type == Type::Number ? qint64(view(m_nodes[node].text).toDouble()) : 0;
    }

private:
    // A slice of the text, by offset: a node is kept small, as an answer has millions.
    struct Slice {
        quint32 at = 0;
        quint32 length = 0;
    };
    struct Node {
        int first = -1;  // an object's or array's first member or element
        int next = -1;   // the next member or element of the same object or array
        Slice key;
        Slice text;  // a string between its quotes, a number's literal
        Type type = Type::Null;
        bool escaped = false;  // the string has backslash escapes
        bool keyEscaped = false;
    };

    QByteArrayView view(Slice slice) const {
        return QByteArrayView(m_begin + slice.at, slice.length);
    }
    Slice slice(const char* from, const char* to) const {
        return Slice{quint32(from - m_begin), quint32(to - from)};
    }

    static constexpr int kMaxDepth = 1024;  // as QJsonDocument's

    void skipSpace() {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t')) {
            ++m_p;
        }
    }

    bool literal(const char* word) {
        for (; *word != '\0'; ++word, ++m_p) {
            if (m_p == m_end || *m_p != *word) {
                return false;
            }
        }
        return true;
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    bool digits() {
        const char* start = m_p;
        while (m_p != m_end && isDigit(*m_p)) {
            ++m_p;
        }
        return m_p != start;
    }

    bool number() {
        if (m_p != m_end && *m_p == '-') {
            ++m_p;
        }
        if (m_p != m_end && *m_p == '0') {
            ++m_p;
        } else if (!digits()) {
            return false;
        }
        if (m_p != m_end && *m_p == '.') {
            ++m_p;
            if (!digits()) {
                return false;
            }
        }
        if (m_p != m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            if (m_p != m_end && (*m_p == '+' || *m_p == '-')) {
                ++m_p;
            }
            if (!digits()) {
                return false;
            }
        }
        return true;
    }

    // One UTF-8 character of two to four bytes; overlong forms and surrogates are refused.
    bool utf8Character() {
        const auto lead = static_cast<unsigned char>(*m_p);
        const int length = lead >= 0xC2 && lead < 0xE0   ? 2
                           : lead >= 0xE0 && lead < 0xF0 ? 3
                           : lead >= 0xF0 && lead < 0xF5 ? 4
                                                         : 0;
        if (length == 0 || m_end - m_p < length) {
            return false;
        }
        char32_t code = lead & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            const auto byte = static_cast<unsigned char>(m_p[i]);
            if ((byte & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (byte & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        m_p += length;
        return true;
    }

    // A string from its opening quote; its characters, without the quotes, in *text.
    bool string(Slice* text, bool* escaped) {
        ++m_p;
        const char* start = m_p;
        *escaped = false;
        while (m_p != m_end && *m_p != '"') {
            const auto c = static_cast<unsigned char>(*m_p);
            if (c == '\\') {
                *escaped = true;
                if (++m_p == m_end) {
                    return false;
                }
                if (*m_p == 'u') {
                    bool ok = false;
                    const uint unit =
                        m_end - m_p > 4 ? QByteArrayView(m_p + 1, 4).toUInt(&ok, 16) : 0;
                    // A surrogate pair is left to QJsonDocument.
                    if (!ok ||
                        !std::all_of(m_p + 1, m_p + 5,
                                     [](char h) { return std::isxdigit(uchar(h)) != 0; }) ||
                        QChar::isSurrogate(unit)) {
                        return false;
                    }
                    m_p += 5;
                } else if (std::strchr("\"\\/bfnrt", *m_p) != nullptr && *m_p != '\0') {
                    ++m_p;
                } else {
                    return false;
                }
            } else if (c < 0x20) {
                return false;
            } else if (c < 0x80) {
                ++m_p;
            } else if (!utf8Character()) {
                return false;
            }
        }
        if (m_p == m_end) {
            return false;
        }
        *text = slice(start, m_p);
        ++m_p;
        return true;
    }

    // The node of the value at m_p, -1 when it is not one.
    int parseValue(int depth) {
        if (depth > kMaxDepth || m_p == m_end) {
            return -1;
        }
        const int index = int(m_nodes.size());
        m_nodes.emplace_back();
        const char c = *m_p;
        if (c == '{' || c == '[') {
            const bool object = c == '{';
            const char close = object ? '}' : ']';
            m_nodes[index].type = object ? Type::Object : Type::Array;
            ++m_p;
            skipSpace();
            if (m_p != m_end && *m_p == close) {
                ++m_p;
                return index;
            }
            int previous = -1;
            for (;;) {
                Slice key;
                bool keyEscaped = false;
                if (object) {
                    if (m_p == m_end || *m_p != '"' || !string(&key, &keyEscaped)) {
                        return -1;
                    }
                    skipSpace();
                    if (m_p == m_end || *m_p != ':') {
                        return -1;
                    }
                    ++m_p;
                    skipSpace();
                }
                const int child = parseValue(depth + 1);
                if (child < 0) {
                    return -1;
                }
                m_nodes[child].key = key;
                m_nodes[child].keyEscaped = keyEscaped;
                (previous < 0 ? m_nodes[index].first : m_nodes[previous].next) = child;
                previous = child;
                skipSpace();
                if (m_p != m_end && *m_p == ',') {
                    ++m_p;
                    skipSpace();
                } else if (m_p != m_end && *m_p == close) {
                    ++m_p;
                    return index;
                } else {
                    return -1;
                }
            }
        }
        if (c == '"') {
            Slice text;
            bool escaped = false;
            if (!string(&text, &escaped)) {
                return -1;
            }
            m_nodes[index].type = Type::String;
            m_nodes[index].text = text;
            m_nodes[index].escaped = escaped;
            return index;
        }
        const char* start = m_p;
        if (c == 't' || c == 'f' || c == 'n') {
            const Type type = c == 't' ? Type::True : c == 'f' ? Type::False : Type::Null;
            if (!literal(c == 't' ? "true" : c == 'f' ? "false" : "null")) {
                return -1;
            }
            m_nodes[index].type = type;
            return index;
        }
        if (!number()) {
            return -1;
        }
        m_nodes[index].type = Type::Number;
        m_nodes[index].text = slice(start, m_p);
        return index;
    }

    static QString decode(QByteArrayView text, bool escaped) {
        if (!escaped) {
            return QString::fromUtf8(text);
        }
        QString result;
        result.reserve(text.size());
        const char* p = text.data();
        const char* end = p + text.size();
        while (p != end) {
            const char* run = p;
            while (p != end && *p != '\\') {
                ++p;
            }
            result += QString::fromUtf8(QByteArrayView(run, p - run));
            if (p == end) {
                break;
            }
            const char escape = p[1];
            p += 2;
            switch (escape) {
                case 'b':
                    result += QLatin1Char('\b');
                    break;
                case 'f':
                    result += QLatin1Char('\f');
                    break;
                case 'n':
                    result += QLatin1Char('\n');
                    break;
                case 'r':
                    result += QLatin1Char('\r');
                    break;
                case 't':
                    result += QLatin1Char('\t');
                    break;
                case 'u':
                    result += QChar(char16_t(QByteArrayView(p, 4).toUInt(nullptr, 16)));
                    p += 4;
                    break;
                default:  // " \ /
                    result += QLatin1Char(escape);
                    break;
            }
        }
        return result;
    }

    std::vector<Node> m_nodes;
    const char* m_begin = nullptr;
    const char* m_p = nullptr;
    const char* m_end = nullptr;
};

qint64 pidOf(const JsonSlices& json, int object) {
    return (json.integer(json.member(json.member(object, "server_id"_L1), "pid"_L1)));
}

// "ipv4:127.0.0.1:35004" -> "127.0.0.1"; other families give "".
QString ipv4Of(const QString& hostname) {
    const QStringList parts = hostname.split(QLatin1Char(':'));
    return parts.size() == 3 && parts.at(0) == QLatin1String("ipv4") ? parts.at(1) : QString();
}

}  // namespace

std::optional<SambaStatus> parseSambaStatus(const QByteArray& answer, QString* error) {
    // Qt's compact writing of an answer the strict reader refused: the reader keeps views
    // into the text it read, so the text lives as long as it.
    QByteArray rewritten;
    JsonSlices json;
    if (!json.parse(answer)) {
        // What is not strict JSON as smbstatus writes it: QJsonDocument reads it, or says
        // why it is not JSON.
        QJsonParseError parseError{};
        const QJsonDocument document = QJsonDocument::fromJson(answer, &parseError);
        if (parseError.error != QJsonParseError::NoError) {
            *error = QStringLiteral("not JSON (%1 at offset %2)")
                         .arg(parseError.errorString())
                         .arg(parseError.offset);
            return std::nullopt;
        }
        rewritten = document.toJson(QJsonDocument::Compact);
        if (!json.parse(rewritten)) {
            *error = QStringLiteral("not JSON as smbstatus writes it");
            return std::nullopt;
        }
    }
    const int root = JsonSlices::kRoot;
    for (const char* key : {"sessions", "tcons", "open_files"}) {
        if (!json.isObject(json.member(root, QLatin1StringView(key)))) {
            *error = QStringLiteral("the answer has no \"%1\" object").arg(QLatin1String(key));
            return std::nullopt;
        }
    }

    SambaStatus status;
    for (int s : json.children(json.member(root, "sessions"_L1))) {
        SambaSession session;
        session.id = json.key(s);
        session.pid = pidOf(json, s);
        session.uid = uint(json.integer(json.member(s, "uid"_L1)));
        session.gid = uint(json.integer(json.member(s, "gid"_L1)));
        session.user = json.string(json.member(s, "username"_L1));
        session.machine = json.string(json.member(s, "remote_machine"_L1));
        session.address = ipv4Of(json.string(json.member(s, "hostname"_L1)));
        status.sessions.append(session);
    }

    for (int t : json.children(json.member(root, "tcons"_L1))) {
        SambaTreeConnect tcon;
        tcon.sessionId = json.string(json.member(t, "session_id"_L1));
        tcon.share = json.string(json.member(t, "service"_L1));
        tcon.connectedAt = QDateTime::fromString(json.string(json.member(t, "connected_at"_L1)),
                                                 Qt::ISODateWithMs);
        status.treeConnects.append(tcon);
    }

    // Byte-range locks name their file by path and their holder by pid only.
    QSet<QPair<QString, qint64>> lockHolders;
    for (int file : json.children(json.member(root, "byte_range_locks"_L1))) {
        for (int lock : json.children(json.member(file, "locks"_L1))) {
            lockHolders.insert({json.key(file), pidOf(json, lock)});
        }
    }

    for (int file : json.children(json.member(root, "open_files"_L1))) {
        const QString path = json.key(file);
        const QString sharePath = json.string(json.member(file, "service_path"_L1));
        const QString fileName = json.string(json.member(file, "filename"_L1));
        for (int o : json.children(json.member(file, "opens"_L1))) {
            const int access = json.member(o, "access_mask"_L1);
            const int share = json.member(o, "sharemode"_L1);
            const auto flag = [&json](int object, const char* key) {
                return json.boolean(json.member(object, QLatin1StringView(key)));
            };
            SambaOpen open;
            open.sharePath = sharePath;
            open.fileName = fileName;
            open.pid = pidOf(json, o);
            open.uid = uint(json.integer(json.member(o, "uid"_L1)));
            open.fileId = quint64(json.integer(json.member(o, "share_file_id"_L1)));
            open.read = flag(access, "READ_DATA") || flag(access, "EXECUTE");
            open.write = flag(access, "WRITE_DATA") || flag(access, "APPEND_DATA");
            open.othersRead = flag(share, "READ");
            open.othersWrite = flag(share, "WRITE");
            open.locked = lockHolders.contains({path, open.pid});
            status.opens.append(open);
        }
    }
    return status;
}

}  // namespace tavrel
