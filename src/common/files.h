#pragma once
// Questions about files that several rules ask, and the place of a file a
// run writes.
#include <QString>
#include <QtGlobal>

namespace files {

// True when both paths name the same existing file: the same device and
// inode (a link, a hard link, another spelling), or the same canonical path.
bool sameFile(const QString &a, const QString &b);

// What stood at a path at one moment, to tell a file a run wrote from one
// it left alone.
struct FileSnapshot {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    static FileSnapshot of(const QString &path);
    bool operator==(const FileSnapshot &other) const = default;
};

// True when a plain file stands at the path now that is not the one of
// `before` (a new file, or the old one rewritten).
bool isNewFile(const QString &path, const FileSnapshot &before);

// What stays in the way of a tool that is to write a path.
enum class Obstacle { None, Link, OtherName };

// A tool writing to the path would write through a symbolic link there
// (one that leads nowhere included) or through another name (a hard link)
// of `keep`, and destroy what it leads to: either is removed. A plain file
// stays. Says what stays when it cannot be removed.
Obstacle clearPlace(const QString &path, const QString &keep = QString());

// Where an output that is to be replaced waits until its replacement is
// made: ".NAME.vidlark-old" beside it.
QString setAsidePath(const QString &path);

// The place of a file a run writes. What stood there may be set aside until
// the run's file is known to be good; it then goes (keepNew) or comes back
// in place of whatever the run left (putBack, and when the place is let go
// with neither).
class Place
{
public:
    // Clears the path (clearPlace); throws RuntimeError 70 when a link
    // stays.
    explicit Place(const QString &path);
    ~Place();
    Place(const Place &) = delete;
    Place &operator=(const Place &) = delete;

    // Moves the file (or folder) at the path to `aside` (setAsidePath when
    // empty), replacing whatever stands there. Throws RuntimeError: 58 when
    // a folder stands at `aside` and a file at the path, 70 when what stands there cannot be removed, 53
    // when no file stands at the path, 75 when the move fails.
    void setAside(const QString &aside = QString());
    bool holdsOlder() const { return m_held; }
    // The run's file stays and the older one goes; false when it cannot be
    // removed.
    bool keepNew();
    // The older file comes back; false when it could not (it then stays
    // where it was set aside).
    bool putBack();

private:
    QString m_path;
    QString m_aside;
    bool m_held = false;
};

} // namespace files
