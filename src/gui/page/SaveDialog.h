#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// Set up anew before every use.
struct TSaveDialogOptions
{
    QString DefaultExt; // with its dot, or empty
    QString FileName;
    QString Filter;     // "description|pattern" pairs, as the Windows dialog takes them
};

// The modal save-file dialog: asks before overwriting, the folder must exist.
// Gives the chosen full path, or nothing when cancelled.
std::optional<QString> ExecuteSaveDialog(QWidget* owner, const TSaveDialogOptions& options);

// "desc|pattern|desc|pattern" as the name filters of Qt's dialog.
QStringList SaveDialogNameFilters(const QString& filter);

// Tests answer the dialog through this instead of a person.
using TSaveDialogHook = std::function<std::optional<QString>(const TSaveDialogOptions& options)>;
void SetSaveDialogHook(TSaveDialogHook hook);
