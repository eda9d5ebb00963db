#include "downloads/Downloads.h"

#include "downloads/DownloadList.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

TFormDownloads::TFormDownloads(TDownloadList& list, QWidget* parent)
    : QWidget(parent, Qt::Window), FList(list)
{
    setWindowTitle(QStringLiteral("下载"));
    resize(460, 320);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget(scroll);
    FRowsLayout = new QVBoxLayout(content);
    FEmpty = new QLabel(QStringLiteral("没有下载。"), content);
    FRowsLayout->addWidget(FEmpty);
    FRowsLayout->addStretch(1);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    connect(&FList, &TDownloadList::Added, this, &TFormDownloads::ListAdded);
    connect(&FList, &TDownloadList::Changed, this, &TFormDownloads::ListChanged);
    for (int row = 0; row < FList.Count(); ++row)
        ListAdded(row);
}

void TFormDownloads::ShowAndRaise()
{
    show();
    raise();
    activateWindow();
}

void TFormDownloads::ListAdded(int row)
{
    FEmpty->hide();
    auto* frame = new QFrame(FRowsLayout->parentWidget());
    frame->setFrameShape(QFrame::StyledPanel);
    auto* box = new QVBoxLayout(frame);
    TRowWidgets widgets;
    widgets.Name = new QLabel(frame);
    widgets.Name->setTextFormat(Qt::PlainText);
    widgets.Progress = new QProgressBar(frame);
    widgets.Progress->setTextVisible(false);
    widgets.Status = new QLabel(frame);
    auto* buttons = new QHBoxLayout;
    widgets.Cancel = new QPushButton(QStringLiteral("取消"), frame);
    widgets.Open = new QPushButton(QStringLiteral("打开"), frame);
    widgets.ShowInFolder = new QPushButton(QStringLiteral("打开所在文件夹"), frame);
    buttons->addWidget(widgets.Status, 1);
    buttons->addWidget(widgets.Cancel);
    buttons->addWidget(widgets.Open);
    buttons->addWidget(widgets.ShowInFolder);
    box->addWidget(widgets.Name);
    box->addWidget(widgets.Progress);
    box->addLayout(buttons);
    FRowsLayout->insertWidget(FRowsLayout->count() - 1, frame);

    connect(widgets.Cancel, &QPushButton::clicked, this, [this, row] { FList.Cancel(row); });
    connect(widgets.Open, &QPushButton::clicked, this,
            [this, row] { QDesktopServices::openUrl(QUrl::fromLocalFile(FList.Entry(row).Path)); });
    connect(widgets.ShowInFolder, &QPushButton::clicked, this, [this, row] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(FList.Entry(row).Path).absolutePath()));
    });
    FRows.push_back(widgets);
    ListChanged(row);
}

void TFormDownloads::ListChanged(int row)
{
    if (row < 0 || row >= static_cast<int>(FRows.size()))
        return;
    const TDownloadList::TEntry& entry = FList.Entry(row);
    const TRowWidgets& widgets = FRows[static_cast<size_t>(row)];
    widgets.Name->setText(entry.FileName);
    widgets.Name->setToolTip(entry.Path);
    const bool running = entry.State == TDownloadList::TState::InProgress;
    const bool done = entry.State == TDownloadList::TState::Completed;
    if (entry.Total > 0) {
        // Percent steps keep the bar's range within int for any size.
        widgets.Progress->setRange(0, 1000);
        widgets.Progress->setValue(done ? 1000 : static_cast<int>(qBound(qint64(0), entry.Received * 1000 / entry.Total, qint64(1000))));
    } else {
        widgets.Progress->setRange(0, running ? 0 : 1); // busy bar while the size is unknown
        widgets.Progress->setValue(done ? 1 : 0);
    }
    widgets.Progress->setVisible(running || done);
    widgets.Status->setText(TDownloadList::StatusText(entry));
    widgets.Cancel->setVisible(running);
    widgets.Open->setVisible(done);
    widgets.ShowInFolder->setVisible(done);
}
