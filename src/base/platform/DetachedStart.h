#pragma once

#include <QString>
#include <QStringList>

namespace Platform {

// Starts program with arguments in workingFolder as a process of its own
// session, not waited for and outliving this one. Safe to call while the
// process exits. False when it could not be started.
bool StartDetachedProcess(const QString& program, const QStringList& arguments, const QString& workingFolder);

} // namespace Platform
