// vidlark-encode: the encode job of Vidlark Web Video Encoder from the
// command line, for many videos and many machines.
#include "cli/batch.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vidlark-encode"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VIDLARK_VERSION));
    // The application folder is the folder of the program binary, resolved
    // through links.
    QList<QByteArray> raw;
    for (int i = 1; i < argc; ++i)
        raw << QByteArray(argv[i]);
    return cli::run(QCoreApplication::arguments().mid(1), QCoreApplication::applicationDirPath(), stdout,
                    stderr, raw);
}
