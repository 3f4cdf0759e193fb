#include "settings/profile.h"

#include "common/conversions.h"
#include "common/errors.h"
#include "common/textfiles.h"
#include "settings/windows1252.h"

#include <QBuffer>
#include <QFile>

#include <limits>

namespace profile {

namespace {

QByteArray shifted(const QByteArray &text, const QByteArray &key, int direction)
{
    if (key.isEmpty())
        return text;
    const qsizetype keyLength = key.size();
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Position i + 1 counted from 1 takes key position ((i + 1) mod L) + 1,
        // which is index (i + 1) mod L counted from 0.
        const int k = static_cast<unsigned char>(key.at((i + 1) % keyLength));
        const int c = static_cast<unsigned char>(text.at(i));
        out[i] = char((c + direction * k + 256) % 256);
    }
    return out;
}

// Splits a device into lines a piece at a time: a CR LF, a lone CR and a
// lone LF each end a line, and a final line end starts no new line. Only the
// current piece and the current line are held.
class LineReader
{
public:
    enum Outcome { Line, End, TooLong };

    explicit LineReader(QIODevice &device) : m_device(device) {}

    // The next line without its end. A line holding more than limit bytes
    // gives TooLong as soon as the piece that takes it past limit is read;
    // the reader is of no further use then.
    Outcome next(QByteArray &line, qsizetype limit)
    {
        line.clear();
        if (m_afterCR) {
            // A CR ended the last line; an LF right after it belongs to it,
            // even when the two came in different pieces.
            m_afterCR = false;
            if (fill() && m_piece.at(m_at) == '\n')
                ++m_at;
        }
        if (!fill())
            return End;
        while (fill()) {
            const char *begin = m_piece.constData() + m_at;
            const qsizetype available = m_piece.size() - m_at;
            qsizetype length = 0;
            while (length < available && begin[length] != '\r' && begin[length] != '\n')
                ++length;
            if (line.size() + length > limit)
                return TooLong;
            line.append(begin, length);
            m_at += length;
            if (length < available) {
                m_afterCR = begin[length] == '\r';
                ++m_at;
                return Line;
            }
        }
        return Line; // the last line, with no end
    }

private:
    // Makes sure a byte is at hand; false at the end of the device (or when
    // it cannot be read: the caller asks the device which).
    bool fill()
    {
        if (m_at < m_piece.size())
            return true;
        if (m_ended)
            return false;
        m_piece = m_device.read(pieceSize);
        m_at = 0;
        m_ended = m_piece.isEmpty();
        return !m_ended;
    }

    static constexpr qint64 pieceSize = 64 * 1024;
    QIODevice &m_device;
    QByteArray m_piece;
    qsizetype m_at = 0;
    bool m_afterCR = false;
    bool m_ended = false;
};

QString decipherLine(const QByteArray &line)
{
    return windows1252::decode(DecryptText(line, QByteArray(cipherKey)));
}

QString describeCharacter(const QString &text, qsizetype position)
{
    // Keep a surrogate pair together so the user sees the real character.
    if (text.at(position).isHighSurrogate() && position + 1 < text.size()
        && text.at(position + 1).isLowSurrogate())
        return text.mid(position, 2);
    return text.mid(position, 1);
}

// Only the fixed parts are upper-cased; the character is shown as typed.
Refusal refusal(int line, const QString &character, const QString &where)
{
    return Refusal::ofProfileLine(QStringLiteral("PROFILE NOT SAVED! THE ") + settingName(line)
                                      + QStringLiteral(" HOLDS \"") + character + QLatin1Char('"') + where,
                                  line);
}

} // namespace

QByteArray EncryptText(const QByteArray &text, const QByteArray &key)
{
    return shifted(text, key, +1);
}

QByteArray DecryptText(const QByteArray &text, const QByteArray &key)
{
    return shifted(text, key, -1);
}

QString settingName(int line)
{
    switch (line) {
    case Signature: return QStringLiteral("SIGNATURE");
    case FLV: return QStringLiteral("FLV OUTPUT");
    case Mp4: return QStringLiteral("MP4 OUTPUT");
    case Webm: return QStringLiteral("WEBM OUTPUT");
    case KeepWindowSize: return QStringLiteral("KEEP ORIGINAL VIDEO WINDOW SIZE");
    case ResizeWindow: return QStringLiteral("RESIZE VIDEO WINDOW");
    case WindowSize: return QStringLiteral("VIDEO WINDOW SIZE");
    case VideoBitrate: return QStringLiteral("VIDEO BITRATE");
    case VideoFrameRate: return QStringLiteral("VIDEO FRAMERATE");
    case Watermark: return QStringLiteral("WATERMARK OUTPUT VIDEO");
    case GrabStillImage: return QStringLiteral("GRAB STILL IMAGE");
    case StillMinute: return QStringLiteral("STILL IMAGE MINUTE");
    case StillSecond: return QStringLiteral("STILL IMAGE SECOND");
    case TextWatermark: return QStringLiteral("TEXT WATERMARK");
    case ImageWatermark: return QStringLiteral("IMAGE WATERMARK");
    case TopLeft: return QStringLiteral("WATERMARK AT TOP LEFT");
    case TopRight: return QStringLiteral("WATERMARK AT TOP RIGHT");
    case BottomLeft: return QStringLiteral("WATERMARK AT BOTTOM LEFT");
    case BottomRight: return QStringLiteral("WATERMARK AT BOTTOM RIGHT");
    case WatermarkText: return QStringLiteral("WATERMARK TEXT");
    case FontName: return QStringLiteral("WATERMARK FONT");
    case FontFile: return QStringLiteral("WATERMARK FONT FILE");
    case FontSize: return QStringLiteral("WATERMARK FONT SIZE");
    case FontColorText: return QStringLiteral("WATERMARK FONT COLOR CODE");
    case FontColor: return QStringLiteral("WATERMARK FONT COLOR");
    case Transparency: return QStringLiteral("WATERMARK TRANSPARENCY");
    case ImagePath: return QStringLiteral("WATERMARK IMAGE PATH");
    case AudioBitrate: return QStringLiteral("AUDIO BITRATE");
    case AudioSamplerate: return QStringLiteral("AUDIO SAMPLERATE");
    case WebmCodec: return QStringLiteral("WEBM CODEC");
    case WebmQuality: return QStringLiteral("WEBM QUALITY");
    case Hls: return QStringLiteral("HLS");
    default: return QStringLiteral("LINE ") + QString::number(line);
    }
}

QByteArray encodeProfile(const Values &values)
{
    const QByteArray key(cipherKey);
    QByteArray file;
    for (int line = 0; line < lineCount; ++line) {
        const QString &value = values[size_t(line)];
        const qsizetype bad = windows1252::firstUnencodable(value);
        if (bad >= 0)
            throw refusal(line, describeCharacter(value, bad),
                          QStringLiteral(", WHICH A PROFILE CANNOT STORE."));
        const QByteArray enciphered = EncryptText(*windows1252::encode(value), key);
        for (qsizetype i = 0; i < enciphered.size(); ++i) {
            if (enciphered.at(i) == '\r' || enciphered.at(i) == '\n')
                throw refusal(line, value.mid(i, 1),
                              QStringLiteral(" AT POSITION ") + QString::number(i + 1)
                                  + QStringLiteral(", WHERE A PROFILE CANNOT STORE IT."));
        }
        file += enciphered;
        file += "\r\n";
    }
    return file;
}

QStringList decodeProfile(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    QStringList lines;
    QByteArray line;
    while (reader.next(line, std::numeric_limits<qsizetype>::max()) == LineReader::Line)
        lines.append(decipherLine(line));
    return lines;
}

ProfileFile readProfile(QIODevice &device)
{
    ProfileFile file;
    LineReader reader(device);
    QByteArray line;
    while (file.lines.size() < lineCount) {
        const LineReader::Outcome outcome = reader.next(line, maxLineBytes);
        if (outcome == LineReader::End)
            break;
        if (outcome == LineReader::TooLong) {
            file.valid = false;
            break;
        }
        file.lines.append(decipherLine(line));
        // The signature decides before anything more is read.
        if (file.lines.size() == 1 && file.lines.first() != QLatin1String(signature)) {
            file.valid = false;
            break;
        }
    }
    return file;
}

ProfileFile readProfileFile(const QString &path)
{
    QFile file;
    textfiles::openForReading(file, path);
    const ProfileFile profile = readProfile(file);
    if (file.error() != QFileDevice::NoError)
        throw fileError(file.error(), path, false);
    return profile;
}

QString checkStateText(int state)
{
    return QString::number(state);
}

QString optionText(bool selected)
{
    return conv::boolText(selected);
}

QString listIndexText(int index)
{
    return QString::number(index);
}

QString colorText(quint32 color)
{
    return QString::number(static_cast<qint32>(color));
}

int checkState(const QString &text)
{
    const int state = conv::CInt(text);
    if (state < 0 || state > 2)
        throw RuntimeError(rt::InvalidPropertyValue);
    return state;
}

bool optionState(const QString &text)
{
    return conv::CBool(text);
}

int listIndex(const QString &text, int count)
{
    const int index = conv::CInt(text);
    if (index < -1 || index >= count)
        throw RuntimeError(rt::InvalidPropertyValue);
    return index;
}

quint32 colorValue(const QString &text)
{
    const qint32 value = conv::CLng(text);
    // A colour of the form 0x00BBGGRR; anything else is no colour a text
    // can take.
    if (value < 0 || value > 0xFFFFFF)
        throw RuntimeError(rt::InvalidPropertyValue);
    return quint32(value);
}

} // namespace profile
