#include "page/SaveDialog.h"

#include <QFileDialog>

namespace {

TSaveDialogHook& Hook()
{
    static TSaveDialogHook hook;
    return hook;
}

} // namespace

void SetSaveDialogHook(TSaveDialogHook hook)
{
    Hook() = std::move(hook);
}

QStringList SaveDialogNameFilters(const QString& filter)
{
    QStringList filters;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters;
}

std::optional<QString> ExecuteSaveDialog(QWidget* owner, const TSaveDialogOptions& options)
{
    if (Hook())
        return Hook()(options);

    QFileDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("另存为"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    QString suffix = options.DefaultExt;
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    const QStringList filters = SaveDialogNameFilters(options.Filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    dialog.selectFile(options.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
