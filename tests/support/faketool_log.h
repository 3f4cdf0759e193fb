#pragma once
// Reading what the fake tool (tests/fakes/faketool.cpp) was started with.
//
// The fake tool does what its actions say. They come from the environment
// variable FAKETOOL_SCRIPT_<NAME> (NAME = base name of the program as
// started, upper case, other characters than A-Z and 0-9 as '_', so
// FAKETOOL_SCRIPT_FFMPEG for engine/ffmpeg and FAKETOOL_SCRIPT_MA for ma),
// else from FAKETOOL_SCRIPT (actions separated by blanks), else from its
// arguments (non-actions among them are skipped). With a script, the
// arguments are only arguments, so the tool can be given encoder options.
//
// Actions (operands take the escapes \\ \n \r \t \s for a space, \xHH):
//   out:TEXT  err:TEXT      write TEXT to stdout / stderr in one write
//   outn:N[:TEXT]           write N bytes of TEXT repeated (default "x");
//   errn:N[:TEXT]           the same on stderr
//   sleep:MS                pause
//   ask:TEXT                print TEXT, read a line from stdin, print
//                           "answer:<line>" or "answer:EOF"
//   args                    print "arg[I]=<argument>" per argument, argv[0] first
//   cwd  ids  fds           print "cwd=...", "pid=P ppid=Q pgid=G sid=S",
//                           "fds=0,1,2"
//   pid:PATH                write the tool's process id to PATH
//   ignoreterm              ignore SIGTERM
//   close                   close stdout and stderr and go on
//   spawn ... end           start a copy of the tool (same name) running the
//                           enclosed actions, sharing the output; go on at once
//   spawnq ... end          the same with the copy's output on /dev/null
//   write:N                 write N bytes to the last argument (the output path)
//   writeto:N:PATH          write N bytes to PATH
//   copy                    copy the next-to-last argument to the last one
//   ifarg:TEXT ... endif    run the enclosed actions only when an argument
//                           contains TEXT
//   exit:N                  exit with code N now
//   raise:N                 send signal N to itself
// Example: qputenv("FAKETOOL_SCRIPT_FFMPEG", "err:working\\n ifarg:.flv write:300000 endif")
//
// With FAKETOOL_LOG set to a file path, each invocation appends one record
// (a line) to that file: the program as started (argv[0]) and every
// argument, exactly, for any bytes.
#include <QList>
#include <QString>
#include <QStringList>

// Every record of the log, oldest first; each is argv[0] followed by the
// arguments, decoded from UTF-8 like file names. A missing file gives an
// empty list.
QList<QStringList> readFakeToolLog(const QString &path);

// The bytes of one log field decoded back to the original argument bytes.
QByteArray unescapeFakeToolField(const QByteArray &field);

// The process id that the fake tool's pid:PATH action wrote; 0 when none.
qint64 readPid(const QString &path);
// True when the process is gone, or a zombie waiting for a parent that is not us.
bool processEnded(qint64 pid);
