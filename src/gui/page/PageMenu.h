#pragma once

#include "engine/Chromium.h"

// The shell's own entries of a page's context menu.
inline constexpr int MenuIdRefresh = TContextMenuModel::MenuIdUserFirst + 3;    // "刷新"
inline constexpr int MenuIdSaveImage = TContextMenuModel::MenuIdUserFirst + 16; // "图片另存为..."

// Trims the engine's menu (its view-source entry goes, found by what it
// does) and adds the shell's entries: "刷新" always, and over an image a
// separator and "图片另存为...".
void EditPageMenu(const TContextMenuParams& params, TContextMenuModel& model);

class QWidget;

// Does what the shell's entry CommandId of view's menu asks: "刷新" reloads,
// "图片另存为..." saves the image to a file the user picks (owner: the
// dialog's parent).
void RunPageMenuCommand(QWidget* owner, TChromium* view, const TContextMenuParams& params, int commandId);
