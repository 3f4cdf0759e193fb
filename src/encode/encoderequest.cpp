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
};

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
    };
    for (const OutputCheck &o : outputs)
        if (o.value == 1 && o.name.isEmpty())
            throw Refusal(QLatin1String(o.missing), o.missingSubject);

    for (const OutputCheck &o : outputs) {
        if (o.value != 1)
            continue;
        const QString path = s.outDir + o.name;
        // Never let the encoder write over the file it reads, nor the MP4's
        // intermediate ".temp" file replace it.
        if (files::sameFile(path, s.source)
            || (o.mp4 && files::sameFile(path + QStringLiteral(".temp"), s.source)))
            throw Refusal(QLatin1String(o.isSource), o.renameSubject);
        if (!QFileInfo(path).isFile() || s.overwrite == Overwrite::Always)
            continue;
        const QString exists = o.name + QStringLiteral(" ALREADY EXISTS IN OUTPUT FOLDER.");
        if (s.overwrite == Overwrite::Never)
            throw Refusal(exists, o.renameSubject, Refusal::Style::Notice);
        if (prompts.question(exists + QStringLiteral(" OVERWRITE?")) != vbYes)
            throw Refusal(QLatin1String(o.change), o.renameSubject, Refusal::Style::Notice);
    }

    if (s.stillImage == 1)
        checkStillTime(s.minute, s.second);

    checkWatermark(s);
}

void checkFormats(const Request &s)
{
    if (s.flv == 0 && s.mp4 == 0 && s.webm == 0)
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
