#include "page/PageMenu.h"

void EditPageMenu(const TContextMenuParams& params, TContextMenuModel& model)
{
    model.RemoveAt(model.IndexOfRole(TContextMenuModel::TRole::ViewSource));
    model.AddItem(MenuIdRefresh, QStringLiteral("刷新"));
    if (params.MediaType == TContextMediaType::Image) {
        model.AddSeparator();
        model.AddItem(MenuIdSaveImage, QStringLiteral("图片另存为..."));
    }
}
