#include "support/testprogram.h"

#include "common/errors.h"

#include <QComboBox>
#include <QFile>
#include <QtEndian>

TestProgram::TestProgram(TestAppDir::Tools tools, bool withMain, IPrompts *otherPrompts)
    : dir(tools), forms(otherPrompts ? *otherPrompts : prompts, dir.path())
{
    forms.splashMilliseconds = 1;
    forms.endProgram = [this] { ++ended; };
    if (withMain)
        window = std::make_unique<frmMain>(forms);
}

TestProgram::~TestProgram() = default;

QStringList entries(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

int runtimeErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

QStringList mp4TopLevelAtoms(const QString &path)
{
    QFile f(path);
    QStringList atoms;
    if (!f.open(QIODevice::ReadOnly))
        return atoms;
    qint64 pos = 0;
    while (pos + 8 <= f.size()) {
        f.seek(pos);
        const QByteArray head = f.read(16);
        quint64 length = qFromBigEndian<quint32>(head.constData());
        if (length == 1 && head.size() == 16)
            length = qFromBigEndian<quint64>(head.constData() + 8);
        atoms << QString::fromLatin1(head.mid(4, 4));
        if (length < 8)
            break;
        pos += qint64(length);
    }
    return atoms;
}

bool moovBeforeMdat(const QString &path)
{
    const QStringList atoms = mp4TopLevelAtoms(path);
    const qsizetype moov = atoms.indexOf(QStringLiteral("moov"));
    const qsizetype mdat = atoms.indexOf(QStringLiteral("mdat"));
    return moov >= 0 && mdat >= 0 && moov < mdat;
}
