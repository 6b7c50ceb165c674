#pragma once
// The one text codec of the system: Big5 as Microsoft's code page 950.
// Every 8-bit text in files and records is kept as Big5 bytes; it becomes a
// QString only at the window edge. Field widths, positions and cuts count
// bytes, and a cut never splits a double-byte character.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace r56::big5 {

// Decodes Big5 bytes. Bytes that are not Big5 become U+FFFD.
QString decode(QByteArrayView bytes);

// Encodes to Big5. A character with no Big5 form becomes "?".
QByteArray encode(QStringView text);

// Whether `text` can be written in Big5 without loss.
bool encodable(QStringView text);

// A byte that starts a double-byte character (0x81..0xFE).
constexpr bool isLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// A byte that may follow a lead byte (0x40..0x7E, 0xA1..0xFE).
constexpr bool isTrail(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFE);
}

// The length in bytes (1 or 2) of the character that starts at `pos`. A lead
// byte at the end of the text, or followed by a byte that cannot trail, counts
// as one byte.
int charLength(QByteArrayView bytes, qsizetype pos);


// The longest prefix of at most `n` bytes that does not split a character.
QByteArray left(QByteArrayView bytes, qsizetype n);

// Exactly `n` bytes: the text cut as `left` does, padded with blanks.
QByteArray pad(QByteArrayView bytes, qsizetype n);

// The bytes of a fixed-width field: from 1-based `start`, `length` bytes, as the
// framework's Copy does (clamped to the text). No character check: positions
// in a record are bytes.
QByteArray copy(QByteArrayView bytes, qsizetype start, qsizetype length);

// Removes ordinary blanks and control characters (bytes <= 0x20) at both ends.
QByteArray trim(QByteArrayView bytes);
// What trim keeps, as a slice of `bytes` (no copy: for the fields of every
// line of large files).
QByteArrayView trimmed(QByteArrayView bytes);

} // namespace r56::big5
