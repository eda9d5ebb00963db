#pragma once

#include <QString>
#include <QStringList>

// Which input-method module the toolkit loads (pinyin and the like come in
// through it), and whether it can: what support asks first when Chinese
// cannot be typed.

// What the choice depends on, gathered from the system.
struct TInputMethodFacts
{
    QString QtImModule;          // $QT_IM_MODULE as found
    QString PluginFolder;        // the toolkit's input-method plug-in folder
    QStringList PluginFiles;     // the file names in it
    QStringList RunningPrograms; // input-method programs of this user that run ("fcitx5", "ibus-daemon")
};

struct TInputMethodChoice
{
    QString Module;      // what the toolkit is to load; "compose" types no Chinese
    bool Chosen = false; // picked here, since the environment named none
    QString PluginFile;  // the module's plug-in file name; empty when it is not installed
};

// The module the environment names. When it names none the toolkit would
// type without any input method on X11, so a running fcitx5 or IBus whose
// plug-in is installed is chosen instead.
TInputMethodChoice ChooseInputMethod(const TInputMethodFacts& facts);

// The plug-in file of a module among files; empty when none is there.
QString InputMethodPluginFile(const QString& module, const QStringList& files);

// Lines of the diagnostic report (Chinese, for support).
QStringList DescribeInputMethod(const TInputMethodFacts& facts, const TInputMethodChoice& choice);

namespace Platform {

// The facts of this process and user.
TInputMethodFacts InputMethodFacts();

} // namespace Platform
