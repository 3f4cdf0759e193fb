#pragma once
// Profile files (".vlp"): 32 lines, each the enciphered Windows-1252 form of
// one plain value, ended by CR LF. Line 0 is the signature "vdlkenc", lines 1
// to 31 the settings. Lines 29 to 31 (the WebM codec and quality, HLS) came
// later: a profile that ends after line 28 reads as VP8, "Standard" and no
// HLS, and a reader of 29 lines passes the later ones over. The settings model gives the plain values and
// takes them back (settings/encodesettings.h); this file turns them into bytes and back, and decides which
// values are acceptable.
#include "common/settingsmodel.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <array>

namespace profile {

// The fixed key every line is enciphered with.
inline constexpr char cipherKey[] = "zephyrcount";
// Plain text of line 0.
inline constexpr char signature[] = "vdlkenc";
inline constexpr int lineCount = 32;

// Byte i (counted from 1) pairs with key byte (i mod L) + 1: the first byte
// with the key's second, the L-th with its first. Sums and differences wrap
// at 256; the output is as long as the input. An empty key leaves the text
// as it is.
QByteArray EncryptText(const QByteArray &text, const QByteArray &key);
QByteArray DecryptText(const QByteArray &text, const QByteArray &key);

// The lines: line 0 holds the signature, lines 1 to 31 the settings of
// the settings model from FLV to Hls, in that order.
inline constexpr int Signature = 0;
using enum settings::Setting;
static_assert(settings::Hls + 1 == lineCount);

// What loading says of a file that is no profile.
inline constexpr char notAProfile[] = "NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!";

// The setting a line holds, as messages name it ("WATERMARK TEXT").
QString settingName(int line);

// Plain values of a whole profile; [Signature] is the signature.
using Values = std::array<QString, lineCount>;

// The file's bytes for the plain values. Throws a Refusal (subject: the
// line) for the first value, in line order, that the format cannot carry: a
// character Windows-1252 has no code for, or one that enciphers to CR or LF
// at its place and so would split its line and shift every setting after
// it. The message names the setting and the character.
QByteArray encodeProfile(const Values &values);

// Deciphered plain lines of a file, as many as it holds. A CR LF, a lone CR
// and a lone LF each end a line; a final line end starts no new line.
QStringList decodeProfile(const QByteArray &bytes);

// The most bytes one line may hold. Every value a profile stores comes from
// a text box (at most 32767 characters, one byte each in Windows-1252) or a
// file path, so a longer line never came from a saved profile.
inline constexpr qsizetype maxLineBytes = 64 * 1024;

// What loading takes from a file: its first lineCount lines, deciphered and
// split as decodeProfile splits them, read a piece at a time so that a large
// file picked by mistake is never read whole.
struct ProfileFile {
    // false when the first line is not the signature or a line is longer than
    // maxLineBytes; reading stops there, and lines ends with the first line
    // (for a wrong signature) or with the line before the long one.
    bool valid = true;
    QStringList lines;
};

// Reads 64 KiB pieces and stops with the piece that ends the first line when
// that is not the signature, with the one that ends line lineCount - 1, or
// with the one in which a line grows too long; at most about 1.9 MB in all.
// An empty device gives a valid file without lines.
ProfileFile readProfile(QIODevice &device);
// The same for a file; throws RuntimeError as textfiles::readBytes does for
// a file that cannot be opened or read.
ProfileFile readProfileFile(const QString &path);

// Plain forms of the values, for saving.
QString checkStateText(int state);
QString optionText(bool selected);
QString listIndexText(int index);
QString colorText(quint32 color);

// Plain forms read back. Each throws RuntimeError: 13 for text that is no
// number (or truth value), 6 for a number beyond its type, 380 for a value
// the control does not take.
int checkState(const QString &text);           // 0, 1 or 2
bool optionState(const QString &text);         // "True"/"False" or a number
int listIndex(const QString &text, int count); // -1 up to count - 1
quint32 colorValue(const QString &text);       // 0x00BBGGRR

} // namespace profile
