#pragma once
// vidlark-encode from its arguments to its exit status: the settings (the
// window's start-up settings, or a profile applied as Load Profile applies
// it), then for each source the request the window would make for it, run
// by the same encode job.
#include <QString>
#include <QStringList>

#include <cstdio>

namespace cli {

enum ExitStatus { AllMade = 0, SomeFailed = 1, BadUsage = 2, Interrupted = 130 };

int run(const QStringList &arguments, const QString &appFolder, std::FILE *out, std::FILE *err);

} // namespace cli
