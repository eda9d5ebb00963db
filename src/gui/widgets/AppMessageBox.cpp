#include "widgets/AppMessageBox.h"

#include "core/Global.h"

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>

namespace {

TMessageBoxHook& Hook()
{
    static TMessageBoxHook hook;
    return hook;
}

} // namespace

void SetMessageBoxHook(TMessageBoxHook hook)
{
    Hook() = std::move(hook);
}

int AppMessageBoxFlags(int flags)
{
    if (flags == MB_OK)
        return flags | MB_ICONINFORMATION;
    if (flags >= 1 && flags <= 5)
        return flags | MB_ICONQUESTION;
    return flags;
}

int AppMessageBox(const QString& text, int flags)
{
    return ShowMessageBox(AppTitle(), text, AppMessageBoxFlags(flags));
}

int ShowMessageBox(const QString& caption, const QString& text, int flags)
{
    if (Hook())
        return Hook()(caption, text, flags);

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    // Page and service texts are shown as written: markup in them must never
    // become live links or formatting.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (flags & 0xF0) {
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    case 0x30: box.setIcon(QMessageBox::Warning); break;
    case 0x10: box.setIcon(QMessageBox::Critical); break;
    default: break;
    }
    switch (flags & 0x0F) {
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((flags & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
        break;
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        if (flags & MB_DEFBUTTON2)
            box.setDefaultButton(QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    const std::pair<QMessageBox::StandardButton, QString> labels[] = {
        {QMessageBox::Yes, QStringLiteral("是(&Y)")},
        {QMessageBox::No, QStringLiteral("否(&N)")},
        {QMessageBox::Ok, QStringLiteral("确定")},
        {QMessageBox::Cancel, QStringLiteral("取消")},
    };
    for (const auto& [button, label] : labels)
        if (QAbstractButton* shown = box.button(button))
            shown->setText(label);
    switch (box.exec()) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return IDOK;
    }
}
