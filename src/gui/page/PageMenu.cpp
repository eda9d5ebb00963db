#include "page/PageMenu.h"

#include "page/ImageSaveName.h"
#include "page/SaveDialog.h"
#include "widgets/AppMessageBox.h"

#include <QPointer>
#include <QWidget>

namespace {


// Saves the image at url, fetched through view, to a file the user picks.
void SaveImageAs(QWidget* owner, TChromium* view, const QUrl& url)
{
    // The page may go while the dialog is open (a popup closing itself).
    const QPointer<TChromium> page(view);
    const TImageSaveName name = ImageSaveName(url.toString());
    const std::optional<QString> file = ExecuteSaveDialog(owner, {name.DefaultExt, name.FileName, name.Filter});
    if (!file)
        return;
    const auto failed = [owner = QPointer<QWidget>(owner)] {
        if (owner)
            AppMessageBox(QStringLiteral("保存失败！"), MB_ICONEXCLAMATION);
    };
    if (!page) {
        failed();
        return;
    }
    // Fetched by the engine, so the page's login cookies go with it; the
    // window stays responsive while it runs.
    page->SaveUrlToFile(url, *file, [failed](bool ok) {
        if (!ok)
            failed();
    });
}

} // namespace

void EditPageMenu(const TContextMenuParams& params, TContextMenuModel& model)
{
    model.RemoveAt(model.IndexOfRole(TContextMenuModel::TRole::ViewSource));
    model.AddItem(MenuIdRefresh, QStringLiteral("刷新"));
    if (params.MediaType == TContextMediaType::Image) {
        model.AddSeparator();
        model.AddItem(MenuIdSaveImage, QStringLiteral("图片另存为..."));
    }
}

void RunPageMenuCommand(QWidget* owner, TChromium* view, const TContextMenuParams& params, int commandId)
{
    switch (commandId) {
    case MenuIdRefresh:
        if (view)
            view->Reload();
        break;
    case MenuIdSaveImage:
        SaveImageAs(owner, view, params.SourceUrl);
        break;
    default:
        break;
    }
}
