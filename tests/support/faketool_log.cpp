#include "support/faketool_log.h"

#include <QFile>

static int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray unescapeFakeToolField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c != '\\' || i + 1 >= field.size()) {
            out.append(c);
            continue;
        }
        const char e = field.at(++i);
        switch (e) {
        case '\\': out.append('\\'); break;
        case 't': out.append('\t'); break;
        case 'n': out.append('\n'); break;
        case 'r': out.append('\r'); break;
        case 'x':
            if (i + 2 < field.size() && hexDigit(field.at(i + 1)) >= 0 && hexDigit(field.at(i + 2)) >= 0) {
                out.append(char(hexDigit(field.at(i + 1)) * 16 + hexDigit(field.at(i + 2))));
                i += 2;
                break;
            }
            out.append("\\x");
            break;
        default:
            out.append('\\');
            out.append(e);
        }
    }
    return out;
}

QList<QStringList> readFakeToolLog(const QString &path)
{
    QList<QStringList> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QByteArray all = file.readAll();
    for (const QByteArray &line : all.split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList record;
        for (const QByteArray &field : line.split('\t'))
            record << QFile::decodeName(unescapeFakeToolField(field));
        records << record;
    }
    return records;
}

qint64 readPid(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() : 0;
}

bool processEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray s = stat.readAll();
    const qsizetype close = s.lastIndexOf(')');
    return close < 0 || s.mid(close + 2, 1) == "Z";
}
