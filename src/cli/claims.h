#pragma once
// Outputs this invocation is writing, marked in their folder so that another
// invocation (on this machine or on another one sharing the folder) leaves
// them alone: beside each output a hidden ".NAME.vidlark-lock" file, made
// only when none exists, holding the host and process that made it (its pid
// and start time) and what stood at the output when it was claimed.
#include <QString>
#include <QStringList>

namespace cli {

class OutputClaims
{
public:
    OutputClaims() = default;
    OutputClaims(const OutputClaims &) = delete;
    OutputClaims &operator=(const OutputClaims &) = delete;
    ~OutputClaims() { release(); }

    // Claims every path, or none: false, with the path another invocation
    // holds in `taken`. A mark left by a process of this host that is gone
    // is taken over, after what that run left is cleaned up: its partial
    // output and the MP4's working copy go, and an older file it had set
    // aside comes back.
    bool claim(const QStringList &paths, QString *taken);
    void release();

    static QString markPath(const QString &output);

private:
    QStringList m_marks;
};

// This invocation's own temp folder is marked with its owner; at start-up
// the folders of invocations of this host that are gone are removed.
bool markWorkFolder(const QString &folder);
void sweepWorkFolders(const QString &tempRoot);

} // namespace cli
