#pragma once
// Ending the program's own tool processes by name.
//
// Only processes that belong to this program are ever touched: its
// descendants, and the members of the process groups the console runner
// created for its tools (a tool's helper that its parent left behind stays in
// that group after it has been handed to init). Another program's processes
// are never ended, whatever their names.
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace mdlKillProcess {

// True when the name, with leading and trailing blanks removed and in lower
// case, contains the target in lower case.
bool nameMatches(const QString &processName, const QString &target);

// One running process as the system lists it.
struct ProcessEntry {
    qint64 pid = 0;
    qint64 ppid = 0;
    qint64 pgid = 0;
    qint64 sid = 0;
    // The names it goes by: its short name (at most 15 characters on Linux),
    // the file name of its executable and the file name of its argv[0].
    QStringList names;
};

// What to end: one process, or a whole process group (id = group id).
struct KillTarget {
    qint64 id = 0;
    bool group = false;
    friend bool operator==(const KillTarget &, const KillTarget &) = default;
};

// Decides, from a snapshot of the process table, what KillProcess ends for
// the process `self`: every process of its own (see above) with a name that
// matches the target. A matching process is ended with its whole process
// group when that group is one of `toolGroups` or is led by one of its own
// processes, and is never self's own group; otherwise it is ended alone.
// Self is never a target.
QList<KillTarget> planKill(const QList<ProcessEntry> &table, const ProcessEntry &self,
                           const QList<qint64> &toolGroups, const QString &target);

// When the process started, in clock ticks after boot (/proc/PID/stat),
// nullopt when there is no such process. A pid the system gave to a new
// process has another start time.
std::optional<quint64> startTime(qint64 pid);

// Reads the current process table from /proc. Processes that vanish while it
// is read are left out.
QList<ProcessEntry> readProcessTable();

// Ends (SIGKILL) every process of this program whose name contains the target
// (letter case ignored), together with its group as planKill says. Reports
// nothing and never fails its caller: anything that goes wrong ends it
// silently.
void KillProcess(const QString &target);

// Records a process group that the console runner created for a tool. Groups
// are forgotten by KillProcess once they have no member left.
void addToolGroup(qint64 pgid);
QList<qint64> toolGroups();

} // namespace mdlKillProcess
