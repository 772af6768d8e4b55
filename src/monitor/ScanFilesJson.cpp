#include "monitor/ScanFilesJson.h"

#include <QDateTime>
#include <algorithm>
#include <string_view>
#include <vector>

#include "filelist/FileListStore.h"
#include "monitor/ScanRecorder.h"
#include "monitor/ScanTexts.h"

namespace tavrel {

namespace {

// JSON text as QJsonDocument::toJson(Indented) writes it: four spaces a level, a member or
// element a line, "[\n" and the closing bracket on its own line even when empty. Keys are
// written in the order given, which must be QJsonObject's (sorted).
class IndentedJson {
public:
    QByteArray text;

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view name) {
        item();
        char* out = grow(qsizetype(name.size()) + 4);
        *out++ = '"';
        out = std::copy(name.begin(), name.end(), out);
        std::copy_n("\": ", 3, out);
        m_afterKey = true;
    }
    void string(const QString& value) {
        item();
        text += '"';
        escape(value);
        text += '"';
    }
    void stringOrNull(const QString& value) {
        if (value.isEmpty()) {
            null();
        } else {
            string(value);
        }
    }
    void integer(qint64 value) {
        item();
        text += QByteArray::number(value);
    }
    void boolean(bool value) {
        item();
        text += value ? "true" : "false";
    }
    void null() {
        item();
        text += "null";
    }

private:
    // Before a key or a value: the separator from the one before and the indentation,
    // except for the value of a key.
    void item() {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (m_empty.empty()) {
            return;
        }
        const bool first = m_empty.back();
        m_empty.back() = false;
        const qsizetype indent = 4 * qsizetype(m_empty.size());
        char* out = grow((first ? 0 : 2) + indent);
        if (!first) {
            *out++ = ',';
            *out++ = '\n';
        }
        std::fill_n(out, indent, ' ');
    }
    // Room for size more bytes at the end of the text; QByteArray's appends cost a call
    // each, and a scan of thousands of files writes hundreds of thousands of pieces.
    char* grow(qsizetype size) {
        const qsizetype old = text.size();
        text.resize(old + size);
        return text.data() + old;
    }
    void open(char bracket) {
        item();
        text += bracket;
        text += '\n';
        m_empty.push_back(true);
    }
    void close(char bracket) {
        const bool empty = m_empty.back();
        m_empty.pop_back();
        const qsizetype indent = 4 * qsizetype(m_empty.size());
        char* out = grow((empty ? 0 : 1) + indent + 1);
        if (!empty) {
            *out++ = '\n';
        }
        out = std::fill_n(out, indent, ' ');
        *out = bracket;
    }
    static char hexDigit(uint value) { return char(value < 10 ? '0' + value : 'a' + value - 10); }
    void escapeUnit(char16_t unit) {
        text += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) {
            text += hexDigit((unit >> shift) & 0xF);
        }
    }
    // As QJsonDocument escapes: quote, backslash and control characters; the rest in
    // UTF-8, a lone surrogate as \uXXXX.
    void escape(const QString& value) {
        const char16_t* p = reinterpret_cast<const char16_t*>(value.constData());
        const char16_t* end = p + value.size();
        while (p != end) {
            // A run written as it stands goes in at once: most texts are nothing else.
            const char16_t* run = p;
            while (run != end && *run >= 0x20 && *run < 0x80 && *run != '"' && *run != '\\') {
                ++run;
            }
            if (run != p) {
                std::transform(p, run, grow(run - p), [](char16_t c) { return char(c); });
                p = run;
                continue;
            }
            const char16_t u = *p++;
            if (u < 0x80) {  // a quote, a backslash or a control character
                text += '\\';
                switch (u) {
                    case '"':
                        text += '"';
                        break;
                    case '\\':
                        text += '\\';
                        break;
                    case '\b':
                        text += 'b';
                        break;
                    case '\f':
                        text += 'f';
                        break;
                    case '\n':
                        text += 'n';
                        break;
                    case '\r':
                        text += 'r';
                        break;
                    case '\t':
                        text += 't';
                        break;
                    default:
                        text += "u00";
                        text += hexDigit(u >> 4);
                        text += hexDigit(u & 0xF);
                        break;
                }
            } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
                const char32_t code = QChar::surrogateToUcs4(u, *p++);
                text += char(0xF0 | (code >> 18));
                text += char(0x80 | ((code >> 12) & 0x3F));
                text += char(0x80 | ((code >> 6) & 0x3F));
                text += char(0x80 | (code & 0x3F));
            } else if (QChar::isSurrogate(u)) {
                escapeUnit(u);
            } else if (u < 0x800) {
                text += char(0xC0 | (u >> 6));
                text += char(0x80 | (u & 0x3F));
            } else {
                text += char(0xE0 | (u >> 12));
                text += char(0x80 | ((u >> 6) & 0x3F));
                text += char(0x80 | (u & 0x3F));
            }
        }
    }

    std::vector<bool> m_empty;  // per open object or array: nothing written in it yet
    bool m_afterKey = false;
};

void wordList(IndentedJson& json, const QString& words) {
    json.beginArray();
    if (!words.isEmpty()) {
        for (const QString& word : words.split(QLatin1Char(','))) {
            json.string(word);
        }
    }
    json.endArray();
}

void writeHolder(IndentedJson& json, const ScanHolder& holder, LoginTimeTexts& loginTimes) {
    json.beginObject();
    json.key("connection");
    json.integer(holder.connection);
    json.key("directoryRights");
    if (holder.directoryRights) {
        wordList(json, *holder.directoryRights);
    } else {
        json.null();
    }
    json.key("fileRights");
    wordList(json, OpenModeWords(holder.accessControl));
    json.key("locked");
    json.boolean(holder.locked);
    json.key("loginTime");
    json.stringOrNull(loginTimes.text(holder.loginTime));
    json.key("networkAddress");
    if (holder.address) {
        json.string(NetworkAddressText(*holder.address));
    } else {
        json.null();
    }
    json.key("openMode");
    json.string(holder.lockType == 8 ? QStringLiteral("Shareable") : QStringLiteral("Exclusive"));
    json.key("task");
    json.integer(holder.task);
    json.key("user");
    json.string(holder.user);
    json.endObject();
}

void writeFiles(IndentedJson& json, const ScanFileTable& files, SettingsStore& settings) {
    const QStringList descriptions = fileDescriptions(settings, int(files.size()));
    LoginTimeTexts loginTimes(loginTimeIso);
    json.beginArray();
    for (qsizetype k = 0; k < files.size(); ++k) {
        const ScanFileEntry& entry = files.at(k);
        json.beginObject();
        json.key("description");
        json.string(descriptions.value(k));
        json.key("error");
        json.stringOrNull(entry.Error);
        json.key("found");
        json.boolean(entry.Found);
        json.key("holders");
        json.beginArray();
        for (const ScanHolder& holder : entry.Holders) {
            writeHolder(json, holder, loginTimes);
        }
        json.endArray();
        json.key("path");
        json.string(entry.Path);
        json.key("server");
        json.stringOrNull(entry.Found ? entry.Server : QString());
        json.endObject();
    }
    json.endArray();
}

void writeNode(IndentedJson& json, const ScanRecorder& tree, int index) {
    const ScanRecorder::Node& node = tree.node(index);
    json.beginObject();
    json.key("children");
    json.beginArray();
    for (int child : node.children) {
        writeNode(json, tree, child);
    }
    json.endArray();
    json.key("image");
    json.string(node.image);
    json.key("tag");
    json.string(node.tag);
    json.key("text");
    json.string(node.text);
    json.endObject();
}

}  // namespace

QString loginTimeIso(const LoginTime& loginTime) {
    const QDate date(1900 + loginTime[0], loginTime[1], loginTime[2]);
    const QTime time(loginTime[3], loginTime[4], loginTime[5]);
    if (!date.isValid() || !time.isValid()) {
        return QString();
    }
    const QDateTime local(date, time);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QByteArray scanJsonText(const QString& status, const ScanRecorder& tree, const ScanFileTable& files,
                        SettingsStore& settings) {
    IndentedJson json;
    json.beginObject();
    json.key("files");
    writeFiles(json, files, settings);
    json.key("nodes");
    json.beginArray();
    for (int i = 1; i <= int(tree.nodes.size()); ++i) {
        if (tree.node(i).parent == 0) {
            writeNode(json, tree, i);
        }
    }
    json.endArray();
    json.key("status");
    json.string(status);
    json.endObject();
    json.text += '\n';
    return json.text;
}

}  // namespace tavrel
