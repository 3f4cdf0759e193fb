#include "encode/encoderequest.h"

#include "common/conversions.h"
#include "common/errors.h"
#include "common/files.h"

#include <QFileInfo>

namespace encode {

namespace {

struct OutputCheck {
    int value;
    const QString &name;
    Subject missingSubject;
    Subject renameSubject;
    const char *missing;
    const char *change;
    const char *isSource;
    bool mp4;
    bool folder = false;
};

// True when `path` lies inside `folder` (the output folder of the stream is
// replaced whole).
bool within(const QString &path, const QString &folder)
{
    const QString inside = QFileInfo(folder).canonicalFilePath();
    return !inside.isEmpty() && QFileInfo(path).canonicalFilePath().startsWith(inside + QLatin1Char('/'));
}

} // namespace

void validate(const Request &s, IPrompts &prompts)
{
    if (s.source.isEmpty())
        throw Refusal(QStringLiteral("INPUT OR SOURCE FILE REQUIRED!"), Subject::ChooseSource);
    if (s.outDir.isEmpty())
        throw Refusal(QStringLiteral("OUTPUT FOLDER MISSING!"), Subject::ChooseOutputFolder);
    checkFormats(s);

    const OutputCheck outputs[] = {
        {s.flv, s.flvName, Subject::FlvName, Subject::RenameFlv, "OUTPUT FLV FILE NAME MISSING!",
         "CHANGE THE NAME OF THE OUTPUT FLV FILE.",
         "THE OUTPUT FLV FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME.", false},
        {s.mp4, s.mp4Name, Subject::Mp4Name, Subject::RenameMp4, "OUTPUT MP4 FILE NAME MISSING!",
         "CHANGE THE NAME OF THE OUTPUT MP4 FILE.",
         "THE OUTPUT MP4 FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME.", true},
        {s.webm, s.webmName, Subject::WebmName, Subject::RenameWebm, "OUTPUT WEBM FILE NAME MISSING!",
         "CHANGE THE NAME OF THE OUTPUT WEBM FILE.",
         "THE OUTPUT WEBM FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME.", false},
        {s.hls, s.hlsName, Subject::HlsName, Subject::RenameHls, "OUTPUT HLS FOLDER NAME MISSING!",
         "CHANGE THE NAME OF THE OUTPUT HLS FOLDER.",
         "THE OUTPUT HLS FOLDER WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME.", false, true},
        {s.captions.isEmpty() ? 0 : 1, s.captionsName, Subject::ChooseSource, Subject::ChooseSource,
         "OUTPUT CAPTIONS FILE NAME MISSING!", "CHOOSE ANOTHER OUTPUT FOLDER.",
         "THE OUTPUT CAPTIONS FILE WOULD REPLACE THE SOURCE FILE. CHOOSE ANOTHER OUTPUT FOLDER.", false},
    };
    for (const OutputCheck &o : outputs)
        if (o.value == 1 && o.name.isEmpty())
            throw Refusal(QLatin1String(o.missing), o.missingSubject);

    for (const OutputCheck &o : outputs) {
        if (o.value != 1)
            continue;
        const QString path = s.outDir + o.name;
        // Never let the encoder write over the file it reads, nor the MP4's
        // intermediate ".temp" file replace it; nor replace the caption file.
        if (files::sameFile(path, s.source)
            || (o.mp4 && files::sameFile(path + QStringLiteral(".temp"), s.source))
            || (!s.captions.isEmpty() && files::sameFile(path, s.captions))
            || (o.folder && within(s.source, path)))
            throw Refusal(QLatin1String(o.isSource), o.renameSubject);
        const QFileInfo there(path);
        if (!(o.folder ? there.isDir() : there.isFile()) || s.overwrite == Overwrite::Always)
            continue;
        const QString exists = o.name + QStringLiteral(" ALREADY EXISTS IN OUTPUT FOLDER.");
        if (s.overwrite == Overwrite::Never)
            throw Refusal(exists, o.renameSubject, Refusal::Style::Notice);
        if (prompts.question(exists + QStringLiteral(" OVERWRITE?")) != vbYes)
            throw Refusal(QLatin1String(o.change), o.renameSubject, Refusal::Style::Notice);
    }

    // The encoder takes a "%" in the stream's paths for a pattern.
    if (s.hls == 1 && (s.outDir + s.hlsName).contains(QLatin1Char('%')))
        throw Refusal(
            QStringLiteral(
                "THE PATH OF THE OUTPUT HLS FOLDER HOLDS A \"%\". CHANGE ITS NAME OR THE OUTPUT FOLDER."),
            Subject::RenameHls);

    if (s.stillImage == 1)
        checkStillTime(s.minute, s.second);

    checkWatermark(s);
}

void checkFormats(const Request &s)
{
    if (s.flv == 0 && s.mp4 == 0 && s.webm == 0 && s.hls == 0)
        throw Refusal(QStringLiteral("PLEASE SELECT AT LEAST ONE OUTPUT FORMAT!"), Subject::ChooseFormat);
}

void checkStillTime(const QString &minuteText, const QString &second)
{
    const qint16 minute = conv::CInt(minuteText);
    if (minute < 0 || minute > 59)
        throw Refusal(QStringLiteral("INVALID INPUT FOR MINUTES. ENTER A VALUE FROM 0 TO 59!"),
                      Subject::StillMinute);
    const bool notNegative = conv::Int(conv::CDbl(second)) >= 0;
    const bool atMost59 = conv::CInt(second) <= 59;
    if (!notNegative || !atMost59)
        throw Refusal(QStringLiteral("INVALID INPUT FOR SECONDS. ENTER A VALUE FROM 0 TO 59!"),
                      Subject::StillSecond);
}

void checkWatermark(const Request &s)
{
    if (s.watermarking() && s.watermarkFilter.isEmpty())
        throw Refusal(QStringLiteral("PLEASE SAVE THE WATERMARK OPTIONS BEFORE ENCODING!"),
                      Subject::SaveWatermark, Refusal::Style::Notice);
}

QString finalQuestion(const QString &outDir)
{
    return QStringLiteral("FILE(S) ENCODED - ") + outDir
        + QStringLiteral("\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?");
}

} // namespace encode
