#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <span>
#include <vector>

// What reading a catalog text came to.
struct CatalogResult {
    enum class Outcome {
        Loaded,   // the records were read
        NoRecord, // the text opens no record (blanks, blank lines, fixed lines): nothing was read
        Failed    // the reading stopped; `reason` says why
    };
    Outcome outcome = Outcome::Loaded;
    QString reason;

    bool failed() const { return outcome == Outcome::Failed; }
};

// The line layout shared by the two catalog files. A catalog is read as lines split at CR LF:
// fixed lines are skipped, any other line opens a record made of the opener, a fixed number of
// field lines "<name>value</name>" and a closing line that is skipped unread.
namespace CatalogText {

// Reads a catalog file whole and decodes it with the locale's character set (UTF-8 on Linux;
// bytes that are not valid UTF-8 become U+FFFD). Returns false with the reason when the file
// is missing, unreadable or holds no characters at all.
bool ReadCatalogFile(const QString& path, QString& content, QString& reason);

// The lines of a text split at every CR LF pair and nowhere else; a text ending with CR LF has
// an empty last line. The views point into `content`.
std::vector<QStringView> SplitLines(QStringView content);

// The text without leading and trailing space characters (only U+0020, not tabs or line ends).
QStringView TrimSpaces(QStringView text);

// A field line: the name is the text between the first "<" and the first ">"; for one of the
// `knownNames` the value runs from after "<name>" to the first "</name>" (letter case ignored).
struct FieldLine {
    qsizetype nameIndex = -1; // index into knownNames, or -1 for another name
    QStringView value;
};
// Reads one field line. Returns false with the reason when the line has no ">", when its first
// ">" stands before its first "<", or when a known name lacks its closing tag.
bool ReadFieldLine(QStringView line, std::span<const QStringView> knownNames, FieldLine& field,
                   QString& reason);

struct RecordLayout {
    std::function<bool(QStringView line)> isSkipped; // fixed lines that open nothing
    int fieldLineCount = 0;                          // field lines after each opener
    std::span<const QStringView> knownNames;
};

// Walks the lines: calls `open` for every record opener (a false result stops the walk with
// `open`'s reason) and `store` for every field line with a known name, in file order. Returns
// an empty text when every record was read, else the reason, naming the line (counted from 1).
QString WalkRecords(const std::vector<QStringView>& lines, const RecordLayout& layout,
                    const std::function<bool(QString& reason)>& open,
                    const std::function<void(qsizetype nameIndex, QStringView value)>& store);

// Reads the records of a catalog text into `records`, in which the slot at `count` is the
// current one: a record opener moves on to a new slot, unless the current slot's `key` field is
// still empty, in which case the next record fills that slot again (fields it does not give keep
// their earlier values). After the walk the last slot counts too, even with an empty key. On a
// failure the records read so far stay and `count` is not increased by that last step. A text
// in which no line opens a record changes nothing and gives NoRecord.
template <typename Record, std::size_t FieldCount>
CatalogResult ReadRecords(const QString& content, const RecordLayout& layout,
                          const std::array<QString Record::*, FieldCount>& fields,
                          QString Record::*key, QList<Record>& records, qint32& count,
                          const QString& tooMany) {
    if (TrimSpaces(content).isEmpty()) {
        return {CatalogResult::Outcome::NoRecord, {}};
    }
    const std::vector<QStringView> lines = SplitLines(content);
    if (std::all_of(lines.begin(), lines.end(), layout.isSkipped)) {
        return {CatalogResult::Outcome::NoRecord, {}};
    }
    while (records.size() <= count) {
        records.append(Record{});
    }
    const auto open = [&](QString& reason) {
        if ((records[count].*key).isEmpty()) {
            return true;
        }
        if (count == std::numeric_limits<qint32>::max() - 1) {
            reason = tooMany;
            return false;
        }
        ++count;
        records.append(Record{});
        return true;
    };
    const auto store = [&](qsizetype nameIndex, QStringView value) {
        records[count].*fields[static_cast<std::size_t>(nameIndex)] = value.toString();
    };
    const QString reason = WalkRecords(lines, layout, open, store);
    if (!reason.isEmpty()) {
        return {CatalogResult::Outcome::Failed, reason};
    }
    ++count;
    return {};
}

} // namespace CatalogText
