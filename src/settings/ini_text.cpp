// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_text.h"

#include <QList>
#include <QString>
#include <QStringDecoder>

namespace ini {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool hasNonAscii(QByteArrayView view)
{
    for (char c : view)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// Decodes view as UTF-8; nothing when it is not valid UTF-8.
std::optional<QString> strictUtf8(QByteArrayView view)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder(view);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

qsizetype bomSize(QByteArrayView text)
{
    return text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

// One line of the text. [start, contentEnd) is the line without its ending; next is where the
// following line starts (the end of the text for the last line).
struct Line {
    enum Kind { Junk, Section, Key };
    qsizetype start = 0;
    qsizetype contentEnd = 0;
    qsizetype next = 0;
    Kind kind = Junk;
    QByteArrayView name;     // section name or key, trimmed
    qsizetype valueStart = 0; // key lines: the byte after '='
};

class Lines {
public:
    // A UTF-8 byte-order mark at the start is no part of the first line.
    explicit Lines(QByteArrayView text) : text_(text), pos_(bomSize(text)) {}

    // Reads the line at pos_ into line; false at the end of the text.
    bool next(Line &line)
    {
        if (pos_ >= text_.size())
            return false;
        line = Line{};
        line.start = pos_;
        qsizetype nl = text_.indexOf('\n', pos_);
        if (nl < 0) {
            line.contentEnd = text_.size();
            line.next = text_.size();
        } else {
            line.contentEnd = (nl > pos_ && text_[nl - 1] == '\r') ? nl - 1 : nl;
            line.next = nl + 1;
        }
        pos_ = line.next;
        classify(line);
        return true;
    }

private:
    void classify(Line &line) const
    {
        QByteArrayView content = text_.sliced(line.start, line.contentEnd - line.start);
        QByteArrayView t = trimmed(content);
        if (t.startsWith('[')) {
            qsizetype close = t.indexOf(']');
            if (close > 0) {
                line.kind = Line::Section;
                line.name = trimmed(t.sliced(1, close - 1));
            }
            return; // a header without ']' is junk
        }
        qsizetype eq = content.indexOf('=');
        if (eq < 0)
            return;
        line.kind = Line::Key;
        line.name = trimmed(content.first(eq));
        line.valueStart = line.start + eq + 1;
    }

    QByteArrayView text_;
    qsizetype pos_ = 0;
};

QByteArray lineEnding(QByteArrayView text)
{
    qsizetype nl = text.indexOf('\n');
    if (nl > 0 && text[nl - 1] == '\r')
        return QByteArrayLiteral("\r\n");
    return QByteArrayLiteral("\n");
}

} // namespace

QByteArrayView trimmed(QByteArrayView view)
{
    qsizetype b = 0;
    qsizetype e = view.size();
    while (b < e && isBlank(view[b]))
        ++b;
    while (e > b && isBlank(view[e - 1]))
        --e;
    return view.sliced(b, e - b);
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    a = trimmed(a);
    b = trimmed(b);
    if (a.size() == b.size()) {
        bool equal = true;
        for (qsizetype i = 0; i < a.size() && equal; ++i)
            equal = asciiLower(a[i]) == asciiLower(b[i]);
        if (equal)
            return true;
    }
    // Names beyond ASCII: compare as text when both are valid UTF-8.
    if (!hasNonAscii(a) && !hasNonAscii(b))
        return false;
    std::optional<QString> sa = strictUtf8(a);
    std::optional<QString> sb = strictUtf8(b);
    return sa && sb && sa->compare(*sb, Qt::CaseInsensitive) == 0;
}

std::optional<QByteArray> value(QByteArrayView text, QByteArrayView section, QByteArrayView key)
{
    Lines lines(text);
    Line line;
    bool inSection = false;
    while (lines.next(line)) {
        if (line.kind == Line::Section) {
            if (inSection)
                return std::nullopt; // only the first matching section counts
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == Line::Key && sameName(line.name, key)) {
            QByteArrayView v = text.sliced(line.valueStart, line.contentEnd - line.valueStart);
            qsizetype nul = v.indexOf('\0');
            if (nul >= 0)
                v = v.first(nul);
            v = trimmed(v);
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.sliced(1, v.size() - 2);
            return v.toByteArray();
        }
    }
    return std::nullopt;
}

QByteArray withValue(QByteArrayView text, QByteArrayView section, QByteArrayView key,
                     QByteArrayView value)
{
    const QByteArray eol = lineEnding(text);
    QByteArray out;
    out.reserve(text.size() + key.size() + value.size() + section.size() + 8);

    Lines lines(text);
    Line line;
    bool inSection = false;
    qsizetype insertAfter = -1; // where a new key line goes: end of the last key line or header
    bool insertNeedsEol = false;
    while (lines.next(line)) {
        if (line.kind == Line::Section) {
            if (inSection)
                break;
            if (insertAfter < 0 && sameName(line.name, section)) {
                inSection = true;
                insertAfter = line.next;
                insertNeedsEol = line.next == line.contentEnd;
            }
        } else if (inSection && line.kind == Line::Key) {
            if (sameName(line.name, key)) {
                out.append(text.first(line.valueStart));
                out.append(value);
                out.append(text.sliced(line.contentEnd));
                return out;
            }
            insertAfter = line.next;
            insertNeedsEol = line.next == line.contentEnd;
        }
    }

    const QByteArray keyLine = key.toByteArray() + '=' + value.toByteArray();
    if (insertAfter >= 0) {
        out.append(text.first(insertAfter));
        if (insertNeedsEol)
            out.append(eol).append(keyLine);
        else
            out.append(keyLine).append(eol);
        out.append(text.sliced(insertAfter));
        return out;
    }

    out.append(text);
    if (text.size() > bomSize(text) && !text.endsWith('\n'))
        out.append(eol);
    out.append('[').append(section).append(']').append(eol);
    out.append(keyLine).append(eol);
    return out;
}

QByteArray withProfileValue(QByteArrayView text, QByteArrayView section, QByteArrayView key,
                            QByteArrayView value)
{
    // The lines that stay, trimmed; for each, whether it is a header, and its name.
    struct Entry {
        QByteArrayView line, name;
        bool header = false;
        qsizetype eq = -1; // key lines: where '=' is in line
    };
    const qsizetype bom = bomSize(text);
    QList<Entry> entries;
    for (qsizetype pos = bom; pos < text.size();) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        Entry e{trimmed(text.sliced(pos, end - pos)), {}};
        pos = end + 1;
        if (e.line.isEmpty())
            continue;
        const qsizetype close = e.line.indexOf(']');
        e.header = e.line.startsWith('[') && close > 0;
        e.eq = e.header ? -1 : e.line.indexOf('=');
        e.name = trimmed(e.header ? e.line.sliced(1, close - 1) : e.eq < 0 ? e.line : e.line.first(e.eq));
        entries.append(e);
    }
    while (!value.isEmpty() && isBlank(value.front()))
        value = value.sliced(1);

    qsizetype at = -1;  // the entry that takes the value, or after which the new key goes
    bool found = false; // whether at is the key itself
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        if (e.header && at >= 0)
            break;
        if (e.header && sameName(e.name, section)) {
            at = i;
        } else if (at >= 0) {
            at = i;
            if ((found = sameName(e.name, key)))
                break;
        }
    }
    if (found && entries[at].eq >= 0 && trimmed(entries[at].line.sliced(entries[at].eq + 1)) == value)
        return text.toByteArray();

    const QByteArray keyLine = key.toByteArray() + '=' + value.toByteArray();
    QByteArray out = text.first(bom).toByteArray();
    const auto put = [&out](QByteArrayView line) { out.append(line).append("\r\n"); };
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        if (found && i == at)
            put(e.name.toByteArray() + '=' + value.toByteArray());
        else if (e.header)
            put('[' + e.name.toByteArray() + ']');
        else if (e.eq >= 0)
            put(e.name.toByteArray() + '=' + trimmed(e.line.sliced(e.eq + 1)).toByteArray());
        else
            put(e.line);
        if (!found && i == at)
            put(keyLine);
    }
    if (at < 0) {
        put('[' + section.toByteArray() + ']');
        put(keyLine);
    }
    return out;
}

} // namespace ini
