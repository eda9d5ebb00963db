#include "print/PrintPages.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QPdfDocument>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

TPrintPages::TPrintPages(QWidget* parent)
    : QScrollArea(parent)
{
    setBackgroundRole(QPalette::Dark);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    FSheets = new QWidget(this);
    auto* layout = new QVBoxLayout(FSheets);
    layout->setSpacing(12);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setAlignment(Qt::AlignHCenter);
    setWidget(FSheets);
    setWidgetResizable(true);
}

TPrintPages::~TPrintPages()
{
    // The document reports its closing while it is destroyed: not to this
    // half-destroyed widget.
    if (FDocument)
        FDocument->disconnect(this);
}

int TPrintPages::PageCount() const
{
    return static_cast<int>(FPages.size());
}

QSize TPrintPages::PageSize(int page) const
{
    const QSizeF points = FDocument->pagePointSize(page);
    if (points.width() <= 0 || points.height() <= 0)
        return {PageWidth, PageWidth * 297 / 210};
    return {PageWidth, qRound(PageWidth * points.height() / points.width())};
}

void TPrintPages::SetDocument(const QByteArray& pdf)
{
    if (FDocument)
        return;
    FData = pdf;
    FBuffer = new QBuffer(&FData, this);
    FBuffer->open(QIODevice::ReadOnly);
    FDocument = new QPdfDocument(this);
    connect(FDocument, &QPdfDocument::statusChanged, this, &TPrintPages::DocumentStatusChanged);
    FDocument->load(FBuffer);
    DocumentStatusChanged();
}

void TPrintPages::DocumentStatusChanged()
{
    const QPdfDocument::Status status = FDocument->status();
    if (status == QPdfDocument::Status::Loading || status == QPdfDocument::Status::Null || !FPages.empty())
        return;
    if (status != QPdfDocument::Status::Ready || FDocument->pageCount() <= 0) {
        disconnect(FDocument, nullptr, this, nullptr);
        Q_EMIT Unreadable();
        return;
    }
    auto* layout = static_cast<QVBoxLayout*>(FSheets->layout());
    for (int page = 0; page < FDocument->pageCount(); ++page) {
        auto* sheet = new QLabel(FSheets);
        sheet->setFixedSize(PageSize(page));
        sheet->setAutoFillBackground(true);
        QPalette palette = sheet->palette();
        palette.setColor(QPalette::Window, Qt::white);
        sheet->setPalette(palette);
        sheet->setAccessibleName(QStringLiteral("第 %1 页").arg(page + 1));
        layout->addWidget(sheet, 0, Qt::AlignHCenter);
        FPages.push_back(sheet);
    }
    Q_EMIT Progress(0, PageCount());
    QTimer::singleShot(0, this, &TPrintPages::DrawNextPage);
}

void TPrintPages::DrawNextPage()
{
    if (FDrawn >= PageCount())
        return;
    QLabel* sheet = FPages[static_cast<size_t>(FDrawn)];
    const qreal ratio = devicePixelRatioF();
    QImage image = FDocument->render(FDrawn, (QSizeF(sheet->size()) * ratio).toSize());
    if (!image.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(std::move(image));
        pixmap.setDevicePixelRatio(ratio);
        sheet->setPixmap(pixmap);
    }
    ++FDrawn;
    Q_EMIT Progress(FDrawn, PageCount());
    if (FDrawn < PageCount())
        QTimer::singleShot(0, this, &TPrintPages::DrawNextPage);
}
