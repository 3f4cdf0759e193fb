#include "encode/faststart.h"

#include "common/appfolder.h"
#include "common/cmdline.h"
#include "common/errors.h"
#include "common/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace faststart {

namespace {

// Not made: the tool declines an MP4 whose index stands first already.
Result notMade(const Step &step, const QString &reason)
{
    return {verify::moovBeforeMdat(step.input) ? Verdict::AlreadyStreamable : Verdict::NotStreamable, reason,
            std::nullopt};
}

Result judge(IToolRunner &runner, const Step &step, const mdlDOSPipe::RunResult &run)
{
    if (run.cancelled)
        return {Verdict::Cancelled, QString(), std::nullopt};
    if (!run.succeeded() || !QFileInfo(step.output).isFile())
        return notMade(step, mdlDOSPipe::failureReason(run, QStringLiteral("FASTSTART TOOL")));
    if (!step.readBack)
        return {};
    verify::Expectation expect = *step.readBack;
    expect.moovFirst = true;
    const QString scratch = step.scratchFolder.isEmpty() ? QDir::tempPath() : step.scratchFolder;
    const verify::Result checked =
        verify::verifyOutput(runner, step.appFolder, scratch, step.source, step.output, expect);
    if (checked.cancelled)
        return {Verdict::Cancelled, QString(), std::nullopt};
    if (checked.verdict == verify::Verdict::Incomplete)
        return notMade(step, checked.reason);
    return {Verdict::Streamable, QString(), checked};
}

} // namespace

QString command(const QString &appFolder, const QString &input, const QString &output)
{
    return appfolder::toolPath(appfolder::GetShortPath(appFolder), QStringLiteral("ma")) + QLatin1Char(' ')
        + cmdline::quoteArgument(input) + QLatin1Char(' ') + cmdline::quoteArgument(output);
}

Result run(IToolRunner &runner, const Step &step)
{
    files::Place place(step.output);
    if (step.inPlace)
        place.setAside(step.input);
    else if (QFileInfo(step.output).isFile())
        place.setAside();
    const mdlDOSPipe::RunResult ran =
        runner.run(ToolRun{command(step.appFolder, step.input, step.output), ToolRun::Tool, step.source,
                           step.output, QStringLiteral("faststart")});
    const Result result = judge(runner, step, ran);
    if (result.verdict == Verdict::Streamable) {
        if (!place.keepNew())
            throw RuntimeError(rt::PermissionDenied);
        return result;
    }
    // Whatever the tool left goes; what stood there comes back.
    if (!place.holdsOlder() && QFileInfo(step.output).isFile() && !QFile::remove(step.output))
        throw RuntimeError(rt::PermissionDenied);
    if (!place.putBack())
        throw RuntimeError(rt::PathFileAccessError);
    return result;
}

} // namespace faststart
