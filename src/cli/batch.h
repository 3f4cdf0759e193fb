#pragma once
// vidlark-encode from its arguments to its exit status: the settings (the
// window's start-up settings, or a profile applied as Load Profile applies
// it), then for each source the request the window would make for it, run
// by the same encode job.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace cli {

enum ExitStatus { AllMade = 0, SomeFailed = 1, BadUsage = 2, Interrupted = 130 };

// rawArguments: the same arguments as bytes, to tell a name that is not
// valid UTF-8 (which no decoded text can name again).
int run(const QStringList &arguments, const QString &appFolder, std::FILE *out, std::FILE *err,
        const QList<QByteArray> &rawArguments = {});

} // namespace cli
