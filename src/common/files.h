#pragma once
// Questions about files that several rules ask.
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

// Removes a symbolic link at the path (one that leads nowhere included), so
// that a tool writing there makes a file of its own instead of writing
// wherever the link leads. False when a link stays.
bool removeLink(const QString &path);

// Where an output that is to be replaced waits until its replacement is
// made: ".NAME.vidlark-old" beside it.
QString setAsidePath(const QString &path);

} // namespace files
