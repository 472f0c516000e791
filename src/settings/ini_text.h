// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The INI text of the settings file, handled as bytes, with the behaviour of the Windows
// profile functions:
// - a line whose first non-blank byte is '[' and that holds a ']' is a section header; the name
//   is what lies between them, blanks trimmed (anything after ']' is ignored);
// - any other line holding '=' is a key line: the key is what lies before the first '=', the value
//   what follows it, both with surrounding blanks trimmed; one matching pair of quotes (" or ')
//   around the value is removed too;
// - every other line (comments, junk, a header without ']') is kept as it is and never matches;
// - section and key names match without regard to letter case; the first matching section and,
//   inside it, the first matching key win; key lines before any section header belong to none.
// Line endings are LF or CRLF; the last line may lack one. A UTF-8 byte-order mark at the start
// of the text belongs to no line: reads pass over it and writes keep it.
namespace ini {

// The value of key in section, or nothing when the section or the key is missing.
// A NUL byte ends the value, as it would end a C string.
std::optional<QByteArray> value(QByteArrayView text, QByteArrayView section, QByteArrayView key);

// text with key in section set to value. Every other byte stays as it was:
// - an existing key keeps its line, up to and including '=', and gets the new value after it;
// - a new key goes on a line of its own after the last key line of its section (or right after
//   the header when the section has no key line yet);
// - a missing section goes, with the key, at the end of the text.
// New lines use the text's own line ending (CRLF when its first line ends so, else LF).
// The caller makes sure that section, key and value hold no line break and no NUL byte.
QByteArray withValue(QByteArrayView text, QByteArrayView section, QByteArrayView key,
                     QByteArrayView value);

// text with key in section set to value, laid out as the Windows profile functions
// (WritePrivateProfileStringA) lay it out:
// - when the first matching key of the first matching section already holds value (its blanks at
//   the ends aside), the text is returned as it is;
// - otherwise the whole text is written anew: every line with its blanks at the ends removed and
//   a CRLF ending, empty lines left out, a header as "[name]", a key line as "key=value" (key and
//   value trimmed), a line without '=' as it is; a UTF-8 byte-order mark stays;
// - value loses its blanks at the start (not at the end);
// - a line without '=' counts as a key without a value: it matches, and takes the value;
// - a new key goes after the last line of its section, a missing section at the end.
// Lines end at LF or at CR alone.
QByteArray withProfileValue(QByteArrayView text, QByteArrayView section, QByteArrayView key,
                            QByteArrayView value);

// Whether two section or key names are the same, letter case and surrounding blanks aside.
bool sameName(QByteArrayView a, QByteArrayView b);

// view without the blanks (space, tab, CR, VT, FF) at its ends.
QByteArrayView trimmed(QByteArrayView view);

} // namespace ini
