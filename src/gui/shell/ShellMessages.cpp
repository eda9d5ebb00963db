#include "shell/ShellMessages.h"

#include <QCoreApplication>

void PostShellMessage(QObject* receiver, int message, qintptr wParam)
{
    if (receiver)
        QCoreApplication::postEvent(receiver, new TShellEvent(message, wParam));
}
