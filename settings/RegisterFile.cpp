#include "settings/RegisterFile.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

const QString kMark = QStringLiteral("Quenlet settings store 1");

bool IsControl(char16_t c) {
    return c < 0x20 || c == 0x7F;
}

// A surrogate that is not half of a pair cannot be written as UTF-8.
bool IsUnpairedSurrogate(QStringView text, qsizetype i) {
    const QChar c = text[i];
    if (c.isHighSurrogate()) {
        return i + 1 >= text.size() || !text[i + 1].isLowSurrogate();
    }
    if (c.isLowSurrogate()) {
        return i == 0 || !text[i - 1].isHighSurrogate();
    }
    return false;
}

QString Hex(char16_t code, int digits) {
    return QStringLiteral("%1")
        .arg(static_cast<uint>(code), digits, 16, QLatin1Char('0'))
        .toUpper();
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    return -1;
}

std::optional<char16_t> ReadHex(QStringView line, qsizetype& pos, int digits) {
    if (pos + digits > line.size()) {
        return std::nullopt;
    }
    uint code = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = HexDigit(line[pos + i].unicode());
        if (digit < 0) {
            return std::nullopt;
        }
        code = code * 16 + static_cast<uint>(digit);
    }
    pos += digits;
    return static_cast<char16_t>(code);
}

// A name or a text between double quotes, with backslash escapes.
QString Quote(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        switch (c) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'"':
            out += QStringLiteral("\\\"");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (IsControl(c)) {
                out += QStringLiteral("\\x") + Hex(c, 2);
            } else if (IsUnpairedSurrogate(text, i)) {
                out += QStringLiteral("\\u") + Hex(c, 4);
            } else {
                out += QChar(c);
            }
        }
    }
    out += u'"';
    return out;
}

// Reads a quoted text starting at `pos`; on success `pos` is just past the closing quote.
std::optional<QString> ReadQuoted(QStringView line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != u'"') {
        return std::nullopt;
    }
    ++pos;
    QString out;
    while (pos < line.size()) {
        const char16_t c = line[pos++].unicode();
        if (c == u'"') {
            return out;
        }
        if (IsControl(c)) {
            return std::nullopt;
        }
        if (c != u'\\') {
            out += QChar(c);
            continue;
        }
        if (pos >= line.size()) {
            return std::nullopt;
        }
        const char16_t escape = line[pos++].unicode();
        std::optional<char16_t> code;
        switch (escape) {
        case u'\\':
        case u'"':
            code = escape;
            break;
        case u'n':
            code = u'\n';
            break;
        case u'r':
            code = u'\r';
            break;
        case u't':
            code = u'\t';
            break;
        case u'x':
            code = ReadHex(line, pos, 2);
            break;
        case u'u':
            code = ReadHex(line, pos, 4);
            break;
        default:
            break;
        }
        if (!code) {
            return std::nullopt;
        }
        out += QChar(*code);
    }
    return std::nullopt;
}

QString PathText(const RegisterFile::Levels& levels) {
    QString out;
    for (qsizetype n = 0; n < levels.size(); ++n) {
        if (n > 0) {
            out += u'\\';
        }
        const QString& level = levels[n];
        for (qsizetype i = 0; i < level.size(); ++i) {
            const char16_t c = level[i].unicode();
            if (c == u'%' || IsControl(c)) {
                out += u'%' + Hex(c, 2);
            } else if (IsUnpairedSurrogate(level, i)) {
                out += QStringLiteral("%u") + Hex(c, 4);
            } else {
                out += QChar(c);
            }
        }
    }
    return out;
}

std::optional<RegisterFile::Levels> ReadPath(QStringView text) {
    RegisterFile::Levels levels;
    for (QStringView part : text.split(u'\\')) {
        QString level;
        for (qsizetype pos = 0; pos < part.size();) {
            const char16_t c = part[pos++].unicode();
            if (IsControl(c)) {
                return std::nullopt;
            }
            if (c != u'%') {
                level += QChar(c);
                continue;
            }
            const bool wide = pos < part.size() && part[pos] == u'u';
            pos += wide ? 1 : 0;
            const std::optional<char16_t> code = ReadHex(part, pos, wide ? 4 : 2);
            if (!code || *code == u'\\') {
                return std::nullopt;
            }
            level += QChar(*code);
        }
        if (level.isEmpty()) {
            return std::nullopt;
        }
        levels.append(level);
    }
    return levels;
}

bool IsBlank(QStringView line) {
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
}

} // namespace

RegisterFile::RegisterFile() {
    keys_.insert(Levels{}, {});
}

std::optional<RegisterFile> RegisterFile::Parse(const QByteArray& data) {
    RegisterFile file;
    if (data.isEmpty()) {
        return file;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(data);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    Levels current;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QStringView line = lines[n];
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (n == 0) {
            if (line != kMark) {
                return std::nullopt;
            }
            continue;
        }
        if (IsBlank(line) || line.startsWith(u';')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            if (line.size() < 2 || !line.endsWith(u']')) {
                return std::nullopt;
            }
            const std::optional<Levels> levels = ReadPath(line.sliced(1, line.size() - 2));
            if (!levels) {
                return std::nullopt;
            }
            file.CreateKey(*levels);
            current = *levels;
            continue;
        }
        qsizetype pos = 0;
        std::optional<QString> name;
        if (line.startsWith(QStringLiteral("@"))) {
            name = QString();
            pos = 1;
        } else {
            name = ReadQuoted(line, pos);
        }
        if (!name || pos >= line.size() || line[pos] != u'=') {
            return std::nullopt;
        }
        ++pos;
        const std::optional<QString> value = ReadQuoted(line, pos);
        if (!value || pos != line.size()) {
            return std::nullopt;
        }
        file.SetValue(current, *name, *value);
    }
    return file;
}

QByteArray RegisterFile::Serialize(const QString& rootName) const {
    QString out = kMark + QStringLiteral("\n; ") + rootName + u'\n';
    for (auto key = keys_.cbegin(); key != keys_.cend(); ++key) {
        if (!key.key().isEmpty()) {
            out += u'[' + PathText(key.key()) + QStringLiteral("]\n");
        }
        for (const Value& value : key.value()) {
            out += (value.name.isEmpty() ? QStringLiteral("@") : Quote(value.name)) + u'=' +
                   Quote(value.text) + u'\n';
        }
    }
    return out.toUtf8();
}

void RegisterFile::CreateKey(const Levels& key) {
    for (qsizetype n = 1; n <= key.size(); ++n) {
        const Levels level = key.first(n);
        if (!keys_.contains(level)) {
            keys_.insert(level, {});
        }
    }
}

bool RegisterFile::HasSubkeys(const Levels& key) const {
    // Keys sort by their levels, so the subkeys of a key follow it directly.
    const auto next = keys_.upperBound(key);
    return next != keys_.cend() && next.key().size() > key.size() &&
           std::equal(key.cbegin(), key.cend(), next.key().cbegin());
}

bool RegisterFile::RemoveKey(const Levels& key) {
    if (key.isEmpty() || !keys_.contains(key) || HasSubkeys(key)) {
        return false;
    }
    keys_.remove(key);
    return true;
}

std::optional<QString> RegisterFile::ValueText(const Levels& key, const QString& name) const {
    const auto found = keys_.constFind(key);
    if (found == keys_.cend()) {
        return std::nullopt;
    }
    for (const Value& value : found.value()) {
        if (value.name == name) {
            return value.text;
        }
    }
    return std::nullopt;
}

void RegisterFile::SetValue(const Levels& key, const QString& name, const QString& text) {
    CreateKey(key);
    QList<Value>& values = keys_[key];
    for (Value& value : values) {
        if (value.name == name) {
            value.text = text;
            return;
        }
    }
    values.append({name, text});
}

bool RegisterFile::RemoveValue(const Levels& key, const QString& name) {
    const auto found = keys_.find(key);
    if (found == keys_.end()) {
        return false;
    }
    return found.value().removeIf([&](const Value& value) { return value.name == name; }) > 0;
}
