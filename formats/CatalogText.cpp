#include "formats/CatalogText.h"

#include <QFile>
#include <QFileInfo>

namespace CatalogText {

bool ReadCatalogFile(const QString& path, QString& content, QString& reason) {
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        reason = QStringLiteral("The file %1 could not be read: it is a folder.").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("The file %1 could not be read: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reason = QStringLiteral("The file %1 could not be read: %2").arg(path, file.errorString());
        return false;
    }
    if (bytes.isEmpty()) {
        reason = QStringLiteral("The file %1 is empty.").arg(path);
        return false;
    }
    content = QString::fromLocal8Bit(bytes);
    return true;
}

std::vector<QStringView> SplitLines(QStringView content) {
    std::vector<QStringView> lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = content.indexOf(u"\r\n", start);
        if (end < 0) {
            lines.push_back(content.mid(start));
            return lines;
        }
        lines.push_back(content.mid(start, end - start));
        start = end + 2;
    }
}

QStringView TrimSpaces(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ') {
        ++first;
    }
    while (last > first && text[last - 1] == u' ') {
        --last;
    }
    return text.mid(first, last - first);
}

bool ReadFieldLine(QStringView line, std::span<const QStringView> knownNames, FieldLine& field,
                   QString& reason) {
    // Positions as the layout counts them: a "<" that is missing stands just before the line,
    // so a line without "<" names the text before its first ">".
    const qsizetype open = line.indexOf(u'<');
    const qsizetype close = line.indexOf(u'>');
    if (close < 0) {
        reason = QStringLiteral("a field line has no '>'");
        return false;
    }
    if (close < open) {
        reason = QStringLiteral("the first '>' of a field line stands before its first '<'");
        return false;
    }
    const QStringView name = line.mid(open + 1, close - open - 1);
    field = FieldLine{};
    for (qsizetype i = 0; i < static_cast<qsizetype>(knownNames.size()); ++i) {
        if (name != knownNames[i]) {
            continue;
        }
        // The first "</" + name anywhere in the line, letter case ignored.
        qsizetype end = line.indexOf(u"</");
        while (end >= 0 && line.mid(end + 2, name.size()).compare(name, Qt::CaseInsensitive) != 0) {
            end = line.indexOf(u"</", end + 1);
        }
        const qsizetype valueStart = open + 1 + name.size() + 1;
        if (end < valueStart) {
            reason =
                QStringLiteral("the field line <%1> has no closing tag </%1>").arg(name.toString());
            return false;
        }
        field.nameIndex = i;
        field.value = line.mid(valueStart, end - valueStart);
        break;
    }
    return true;
}

QString WalkRecords(const std::vector<QStringView>& lines, const RecordLayout& layout,
                    const std::function<bool(QString& reason)>& open,
                    const std::function<void(qsizetype nameIndex, QStringView value)>& store) {
    const auto count = static_cast<qsizetype>(lines.size());
    const auto lineName = [](qsizetype index) {
        return QStringLiteral("Line %1: ").arg(index + 1);
    };
    qsizetype i = 0;
    while (i < count) {
        if (layout.isSkipped(lines[i])) {
            ++i;
            continue;
        }
        QString reason;
        if (!open(reason)) {
            return lineName(i) + reason;
        }
        for (qsizetype k = 1; k <= layout.fieldLineCount; ++k) {
            if (i + k >= count) {
                return lineName(i) +
                       QStringLiteral("the record that starts here ends before its %1 field "
                                      "lines and its closing line")
                           .arg(layout.fieldLineCount);
            }
            FieldLine field;
            if (!ReadFieldLine(lines[i + k], layout.knownNames, field, reason)) {
                return lineName(i + k) + reason;
            }
            if (field.nameIndex >= 0) {
                store(field.nameIndex, field.value);
            }
        }
        const qsizetype closing = i + layout.fieldLineCount + 1;
        if (closing >= count) {
            return lineName(i) + QStringLiteral("the record that starts here has no closing line");
        }
        i = closing + 1;
    }
    return {};
}

} // namespace CatalogText
