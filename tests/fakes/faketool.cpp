// faketool: a console program that stands in for the external tools in tests
// (as engine/ffmpeg, as ma, or under its own name). It does what its actions
// say, in order, and nothing else. Plain C++ and POSIX, no Qt.
//
// Where the actions come from
//   - FAKETOOL_SCRIPT_<NAME> in the environment, where NAME is the base name
//     of argv[0] in upper case with every character other than A-Z and 0-9
//     turned into '_' (engine/ffmpeg -> FAKETOOL_SCRIPT_FFMPEG, ma ->
//     FAKETOOL_SCRIPT_MA);
//   - otherwise FAKETOOL_SCRIPT;
//   - otherwise the arguments themselves.
//   A script is split into actions at blanks (space, tab, CR, LF). In script
//   mode the arguments are only arguments (ffmpeg-style options, paths); in
//   argument mode every argument that is not an action is skipped, so a path
//   may follow the actions ("faketool write:10 /tmp/out.bin").
//   In script mode an unknown action is a mistake in the test: the tool says
//   so on stderr and exits with code 2.
//
// Logging
//   When FAKETOOL_LOG names a file, every invocation first appends one line
//   to it: argv[0] and every argument, separated by TAB, ended by LF. Within
//   a field, '\' is written "\\", TAB "\t", LF "\n", CR "\r", and every other
//   byte below 0x20 or from 0x7F up as "\xHH" (two upper-case hex digits), so
//   a record gives back any argument bytes exactly. tests/support/
//   faketool_log.h reads the file.
//
// Operands
//   TEXT and PATH operands take the escapes \\ \n \r \t \s (space) and \xHH
//   (any byte); every other character stands for itself.
//
// Actions
//   out:TEXT        write TEXT to stdout with one write call
//   err:TEXT        the same on stderr
//   outn:N[:TEXT]   write N bytes to stdout: TEXT repeated and cut at N bytes
//                   (default "x"); one write call up to 64 KiB, then 64 KiB
//                   at a time
//   errn:N[:TEXT]   the same on stderr
//   sleep:MS        pause MS milliseconds
//   ask:TEXT        write TEXT to stdout, read one line from stdin, then print
//                   "answer:" + the line (escaped as in the log) + LF, or
//                   "answer:EOF" + LF when stdin is at its end
//   args            print "arg[I]=" + argument I (escaped as in the log) + LF
//                   for argv[0] and every argument
//   cwd             print "cwd=" + the working directory + LF
//   ids             print "pid=P ppid=Q pgid=G sid=S" + LF
//   fds             print "fds=" + the open descriptors, comma-separated + LF
//   pid:PATH        write this process's id and LF to PATH (atomically)
//   ignoreterm      ignore SIGTERM from now on
//   close           close stdout and stderr (the output ends) and go on
//   spawn ... end   start a copy of this program (same argv[0]) that runs the
//                   actions between "spawn" and the matching "end" as its
//                   arguments, sharing stdout and stderr, and go on at once
//                   without waiting; FAKETOOL_* variables are removed from
//                   its environment, so it neither logs nor reads a script
//   spawnq ... end  the same with the copy's stdout and stderr on /dev/null
//   write:N         write N bytes ('x') to the path in the last argument,
//                   replacing the file (what an encoder does to its output)
//   writeto:N:PATH  write N bytes ('x') to PATH
//   copy            copy the file named by the next-to-last argument to the
//                   last argument (what a faststart tool does)
//   ifarg:TEXT      run the actions up to the matching "endif" only when
//                   some argument after argv[0] contains TEXT
//   endif           ends an ifarg block
//   exit:N          exit at once with code N
//   raise:N         send signal N to this process
// Without exit, the tool exits with code 0 after the last action.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

std::vector<std::string> g_args; // argv[0] and every argument

void writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += n;
        size -= size_t(n);
    }
}

void writeAll(int fd, const std::string &s)
{
    writeAll(fd, s.data(), s.size());
}

[[noreturn]] void fail(const std::string &message)
{
    writeAll(2, "faketool: " + message + "\n");
    std::_Exit(2);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string unescape(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        switch (c) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 's': out += ' '; break;
        case '\\': out += '\\'; break;
        case 'x':
            if (i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
                out += char(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default:
            out += '\\';
            out += c;
        }
    }
    return out;
}

std::string escape(const std::string &s)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += char(c);
            }
        }
    }
    return out;
}

long long number(const std::string &text, const std::string &action)
{
    if (text.empty())
        fail("missing number in " + action);
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < 0)
        fail("bad number in " + action);
    return v;
}

void writeRepeated(int fd, long long count, const std::string &pattern)
{
    // Blocks of whole patterns, so the text runs on unbroken across writes.
    const size_t whole = pattern.size() >= 65536 ? 1 : 65536 / pattern.size();
    std::string buffer;
    for (size_t i = 0; i < whole; ++i)
        buffer += pattern;
    while (count > 0) {
        const size_t n = count < (long long)buffer.size() ? size_t(count) : buffer.size();
        writeAll(fd, buffer.data(), n);
        count -= (long long)n;
    }
}

void sleepMs(long long ms)
{
    timespec ts{time_t(ms / 1000), long((ms % 1000) * 1000000)};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

bool writeFileBytes(const std::string &path, long long count)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    writeRepeated(fd, count, "x");
    ::close(fd);
    return true;
}

bool copyFile(const std::string &from, const std::string &to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(in, buffer, sizeof buffer)) > 0)
        writeAll(out, buffer, size_t(n));
    ::close(in);
    ::close(out);
    return n == 0;
}

void writePidFile(const std::string &path)
{
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    writeAll(fd, std::to_string(::getpid()) + "\n");
    ::close(fd);
    ::rename(tmp.c_str(), path.c_str());
}

void logInvocation()
{
    const char *log = std::getenv("FAKETOOL_LOG");
    if (!log || !*log)
        return;
    std::string record;
    for (size_t i = 0; i < g_args.size(); ++i) {
        if (i)
            record += '\t';
        record += escape(g_args[i]);
    }
    record += '\n';
    const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    writeAll(fd, record); // one write: records of parallel runs never mix
    ::close(fd);
}

std::string scriptVariable()
{
    const std::string &argv0 = g_args.front();
    const size_t slash = argv0.rfind('/');
    std::string name = "FAKETOOL_SCRIPT_";
    for (char c : argv0.substr(slash == std::string::npos ? 0 : slash + 1)) {
        if (c >= 'a' && c <= 'z')
            name += char(c - 'a' + 'A');
        else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            name += c;
        else
            name += '_';
    }
    return name;
}

std::vector<std::string> splitScript(const std::string &script)
{
    std::vector<std::string> out;
    std::string current;
    for (char c : script) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!current.empty())
                out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        out.push_back(current);
    return out;
}

// Index of the token that closes the block opened at `open`, or size().
size_t matchingEnd(const std::vector<std::string> &tokens, size_t open, bool spawnBlock)
{
    int depth = 0;
    for (size_t i = open; i < tokens.size(); ++i) {
        const std::string &t = tokens[i];
        const bool opens = spawnBlock ? (t == "spawn" || t == "spawnq") : t.rfind("ifarg:", 0) == 0;
        const bool closes = spawnBlock ? t == "end" : t == "endif";
        if (opens)
            ++depth;
        else if (closes && --depth == 0)
            return i;
    }
    return tokens.size();
}

void spawnCopy(const std::vector<std::string> &actions, bool quiet)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return;
    // The child: clean environment, optional quiet output, then exec.
    std::vector<std::string> keep;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "FAKETOOL_", 9) != 0)
            keep.emplace_back(*e);
    }
    std::vector<char *> env;
    for (std::string &s : keep)
        env.push_back(s.data());
    env.push_back(nullptr);
    if (quiet) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
            if (null > 2)
                ::close(null);
        }
    }
    std::vector<std::string> args{g_args.front()};
    args.insert(args.end(), actions.begin(), actions.end());
    std::vector<char *> argv;
    for (std::string &s : args)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const std::string self = g_args.front().find('/') != std::string::npos ? g_args.front() : "/proc/self/exe";
    ::execve(self.c_str(), argv.data(), env.data());
    ::execve("/proc/self/exe", argv.data(), env.data());
    std::_Exit(127);
}

void printFds()
{
    std::string list;
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return;
    std::vector<int> fds;
    while (dirent *e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        const int fd = std::atoi(e->d_name);
        if (fd != ::dirfd(dir))
            fds.push_back(fd);
    }
    ::closedir(dir);
    std::sort(fds.begin(), fds.end());
    for (size_t i = 0; i < fds.size(); ++i)
        list += (i ? "," : "") + std::to_string(fds[i]);
    writeAll(1, "fds=" + list + "\n");
}

bool anyArgumentContains(const std::string &text)
{
    for (size_t i = 1; i < g_args.size(); ++i) {
        if (g_args[i].find(text) != std::string::npos)
            return true;
    }
    return false;
}

void run(const std::vector<std::string> &tokens, bool strict)
{
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string &t = tokens[i];
        const size_t colon = t.find(':');
        const std::string name = t.substr(0, colon);
        const std::string operand = colon == std::string::npos ? std::string() : t.substr(colon + 1);
        const bool hasOperand = colon != std::string::npos;

        if (name == "out" && hasOperand) {
            writeAll(1, unescape(operand));
        } else if (name == "err" && hasOperand) {
            writeAll(2, unescape(operand));
        } else if ((name == "outn" || name == "errn") && hasOperand) {
            const size_t c2 = operand.find(':');
            const long long n = number(operand.substr(0, c2), t);
            const std::string fill = c2 == std::string::npos ? std::string("x") : unescape(operand.substr(c2 + 1));
            writeRepeated(name == "outn" ? 1 : 2, n, fill.empty() ? std::string("x") : fill);
        } else if (name == "sleep" && hasOperand) {
            sleepMs(number(operand, t));
        } else if (name == "ask" && hasOperand) {
            writeAll(1, unescape(operand));
            std::string line;
            char c;
            bool gotAny = false;
            ssize_t n;
            while ((n = ::read(0, &c, 1)) == 1) {
                gotAny = true;
                if (c == '\n')
                    break;
                line += c;
            }
            writeAll(1, gotAny ? "answer:" + escape(line) + "\n" : std::string("answer:EOF\n"));
        } else if (t == "args") {
            std::string text;
            for (size_t a = 0; a < g_args.size(); ++a)
                text += "arg[" + std::to_string(a) + "]=" + escape(g_args[a]) + "\n";
            writeAll(1, text);
        } else if (t == "cwd") {
            char buffer[4096];
            if (::getcwd(buffer, sizeof buffer))
                writeAll(1, std::string("cwd=") + buffer + "\n");
        } else if (t == "ids") {
            writeAll(1, "pid=" + std::to_string(::getpid()) + " ppid=" + std::to_string(::getppid())
                            + " pgid=" + std::to_string(::getpgrp()) + " sid=" + std::to_string(::getsid(0))
                            + "\n");
        } else if (t == "fds") {
            printFds();
        } else if (name == "pid" && hasOperand) {
            writePidFile(unescape(operand));
        } else if (t == "ignoreterm") {
            ::signal(SIGTERM, SIG_IGN);
        } else if (t == "close") {
            ::close(1);
            ::close(2);
        } else if (t == "spawn" || t == "spawnq") {
            const size_t end = matchingEnd(tokens, i, true);
            spawnCopy(std::vector<std::string>(tokens.begin() + long(i) + 1, tokens.begin() + long(end)),
                      t == "spawnq");
            i = end;
        } else if (name == "write" && hasOperand) {
            if (g_args.size() > 1)
                writeFileBytes(g_args.back(), number(operand, t));
        } else if (name == "writeto" && hasOperand) {
            const size_t c2 = operand.find(':');
            if (c2 == std::string::npos)
                fail("writeto needs N:PATH");
            writeFileBytes(unescape(operand.substr(c2 + 1)), number(operand.substr(0, c2), t));
        } else if (t == "copy") {
            if (g_args.size() > 2)
                copyFile(g_args[g_args.size() - 2], g_args.back());
        } else if (name == "ifarg" && hasOperand) {
            const size_t end = matchingEnd(tokens, i, false);
            if (anyArgumentContains(unescape(operand)))
                run(std::vector<std::string>(tokens.begin() + long(i) + 1, tokens.begin() + long(end)), strict);
            i = end;
        } else if (t == "endif" || t == "end") {
            // A stray closing word: nothing to do.
        } else if (name == "exit" && hasOperand) {
            std::_Exit(int(number(operand, t) & 0xFF));
        } else if (name == "raise" && hasOperand) {
            ::raise(int(number(operand, t)));
        } else if (strict) {
            fail("unknown action " + t);
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 0; i < argc; ++i)
        g_args.emplace_back(argv[i]);
    if (g_args.empty())
        g_args.emplace_back("faketool");
    // Writes to a closed pipe end the tool quietly, as they end a real one.
    ::signal(SIGPIPE, SIG_DFL);
    logInvocation();

    const char *script = std::getenv(scriptVariable().c_str());
    if (!script)
        script = std::getenv("FAKETOOL_SCRIPT");
    if (script)
        run(splitScript(script), true);
    else
        run(std::vector<std::string>(g_args.begin() + 1, g_args.end()), false);
    return 0;
}
