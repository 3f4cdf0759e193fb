#include "process/mdlKillProcess.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace mdlKillProcess {

namespace {

QList<qint64> g_toolGroups;

// Whole small file, or an empty array when it cannot be read.
QByteArray readSmallFile(const QByteArray &path)
{
    QByteArray out;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buffer, n);
        if (out.size() > 1 << 20)
            break;
    }
    ::close(fd);
    return out;
}

QString baseName(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return QFile::decodeName(slash < 0 ? path : path.mid(slash + 1));
}

// /proc/PID/stat: "pid (comm) state ppid pgrp session ...". The short name
// can hold blanks and parentheses, so the fields are taken after the last ')'.
bool parseStat(const QByteArray &stat, ProcessEntry &entry, QString &shortName)
{
    const qsizetype open = stat.indexOf('(');
    const qsizetype close = stat.lastIndexOf(')');
    if (open < 0 || close < open)
        return false;
    shortName = QFile::decodeName(stat.mid(open + 1, close - open - 1));
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    if (fields.size() < 4)
        return false;
    bool ok1 = false, ok2 = false, ok3 = false;
    entry.ppid = fields.at(1).toLongLong(&ok1);
    entry.pgid = fields.at(2).toLongLong(&ok2);
    entry.sid = fields.at(3).toLongLong(&ok3);
    return ok1 && ok2 && ok3;
}

} // namespace

std::optional<quint64> startTime(qint64 pid)
{
    const QByteArray stat = readSmallFile("/proc/" + QByteArray::number(pid) + "/stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    // The fields after the name start with the state (field 3); the start
    // time is field 22.
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    bool ok = false;
    const quint64 ticks = fields.value(19).toULongLong(&ok);
    return ok ? std::optional<quint64>(ticks) : std::nullopt;
}

bool nameMatches(const QString &processName, const QString &target)
{
    return processName.trimmed().toLower().contains(target.toLower());
}

QList<KillTarget> planKill(const QList<ProcessEntry> &table, const ProcessEntry &self,
                           const QList<qint64> &toolGroups, const QString &target)
{
    // Descendants of self, following parent links down from it.
    QHash<qint64, QList<qint64>> children;
    for (const ProcessEntry &e : table)
        children[e.ppid].append(e.pid);
    QSet<qint64> own;
    QList<qint64> queue{self.pid};
    while (!queue.isEmpty()) {
        const qint64 parent = queue.takeFirst();
        for (qint64 child : children.value(parent)) {
            if (child != self.pid && !own.contains(child)) {
                own.insert(child);
                queue.append(child);
            }
        }
    }
    // Members of the runner's tool groups, in self's session.
    const QSet<qint64> tools(toolGroups.cbegin(), toolGroups.cend());
    for (const ProcessEntry &e : table) {
        if (e.pid != self.pid && e.pgid != self.pgid && e.sid == self.sid && tools.contains(e.pgid))
            own.insert(e.pid);
    }

    QList<KillTarget> plan;
    QSet<qint64> groupsEnded;
    for (const ProcessEntry &e : table) {
        if (!own.contains(e.pid) || e.pid <= 1)
            continue;
        bool matched = false;
        for (const QString &name : e.names) {
            if (!name.isEmpty() && nameMatches(name, target)) {
                matched = true;
                break;
            }
        }
        if (!matched)
            continue;
        const bool groupIsOurs =
            e.pgid > 1 && e.pgid != self.pgid && (tools.contains(e.pgid) || own.contains(e.pgid));
        if (groupIsOurs) {
            if (!groupsEnded.contains(e.pgid)) {
                groupsEnded.insert(e.pgid);
                plan.append(KillTarget{e.pgid, true});
            }
        } else {
            plan.append(KillTarget{e.pid, false});
        }
    }
    return plan;
}

QList<ProcessEntry> readProcessTable()
{
    QList<ProcessEntry> table;
    DIR *dir = ::opendir("/proc");
    if (!dir)
        return table;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        bool numeric = false;
        const qint64 pid = name.toLongLong(&numeric);
        if (!numeric || pid <= 0)
            continue;
        const QByteArray base = "/proc/" + name;
        ProcessEntry entry;
        entry.pid = pid;
        QString shortName;
        if (!parseStat(readSmallFile(base + "/stat"), entry, shortName))
            continue;
        entry.names << shortName;
        char link[4096];
        const ssize_t n = ::readlink((base + "/exe").constData(), link, sizeof link - 1);
        if (n > 0)
            entry.names << baseName(QByteArray(link, n));
        const QByteArray cmdline = readSmallFile(base + "/cmdline");
        const qsizetype nul = cmdline.indexOf('\0');
        const QByteArray argv0 = nul < 0 ? cmdline : cmdline.left(nul);
        if (!argv0.isEmpty())
            entry.names << baseName(argv0);
        table.append(entry);
    }
    ::closedir(dir);
    return table;
}

void KillProcess(const QString &target)
{
    const QList<ProcessEntry> table = readProcessTable();
    if (table.isEmpty())
        return;
    ProcessEntry self;
    self.pid = ::getpid();
    self.pgid = ::getpgrp();
    self.sid = ::getsid(0);
    self.ppid = ::getppid();

    // Forget the tool groups that have emptied.
    QSet<qint64> liveGroups;
    for (const ProcessEntry &e : table)
        liveGroups.insert(e.pgid);
    g_toolGroups.removeIf([&liveGroups](qint64 g) { return !liveGroups.contains(g); });

    for (const KillTarget &t : planKill(table, self, g_toolGroups, target)) {
        if (t.id <= 1 || (t.group && t.id == self.pgid) || (!t.group && t.id == self.pid))
            continue;
        ::kill(t.group ? pid_t(-t.id) : pid_t(t.id), SIGKILL); // failures are ignored
    }
}

void addToolGroup(qint64 pgid)
{
    if (pgid > 1 && !g_toolGroups.contains(pgid))
        g_toolGroups.append(pgid);
}

QList<qint64> toolGroups()
{
    return g_toolGroups;
}

} // namespace mdlKillProcess
