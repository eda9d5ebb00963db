#include "platform/DetachedStart.h"

#include <QFile>

#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

bool StartDetachedProcess(const QString& program, const QStringList& arguments, const QString& workingFolder)
{
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are allowed.
    std::vector<QByteArray> words;
    words.push_back(QFile::encodeName(program));
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray folder = QFile::encodeName(workingFolder);

    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        ::setsid();
        if (!folder.isEmpty() && ::chdir(folder.constData()) != 0)
            ::_exit(127);
        // Nothing but the standard streams is handed on.
        ::syscall(SYS_close_range, 3U, ~0U, 0U);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return true;
}

} // namespace Platform
