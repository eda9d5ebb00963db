#include "windows/About.h"

#include "core/Global.h"
#include "engine/BrowserEngine.h"
#include "engine/Chromium.h"
#include "widgets/ScreenCenter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

namespace {

// A rectangle with 5 x 5 corner ellipses, as a region.
QRegion RoundedRegion(int width, int height)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width, height), 2.5, 2.5);
    return QRegion(path.toFillPolygon().toPolygon());
}

} // namespace

TFormAbout::TFormAbout(TBrowserEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("关于"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(488, 433);
    CenterOnScreen(*this);

    engine.PrepareWindow(this);
    crm = engine.CreateView(this);
    crm->setGeometry(1, 1, 486, 431);
    crm->SetHandler(this);
    connect(crm, &TChromium::CloseRequested, this, [this] { crmClose(crm); });

    // The page holds the keyboard focus most of the time and keeps its keys
    // to itself, so the window looks at every key first, as long as it lives.
    qApp->installEventFilter(this);

    FormCreate();
}

void TFormAbout::FormCreate()
{
    crm->Load(ServiceUrl(QStringLiteral("/pcClient/about.html")));
}

void TFormAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFormAbout::FormShow()
{
    setMask(RoundedRegion(width(), height()));
    crm->setMask(RoundedRegion(width() - 2, height() - 2));
}

void TFormAbout::paintEvent(QPaintEvent* event)
{
    (void)event;
    // Only the one-pixel frame around the view stays visible: a silver border.
    QPainter painter(this);
    painter.setPen(QColor(192, 192, 192));
    painter.setBrush(palette().button());
    painter.drawRoundedRect(QRect(0, 0, width() - 1, height() - 1), 2.5, 2.5);
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    // Keys reach the native window first, then the focused widget: take
    // them at whichever of the two belongs to this window.
    const auto* widget = qobject_cast<const QWidget*>(watched);
    const bool ours = widget ? widget->window() == this : watched == windowHandle();
    return ours && FormKeyDown(static_cast<const QKeyEvent*>(event)->key());
}

bool TFormAbout::FormKeyDown(int Key)
{
    if (Key != Qt::Key_Escape)
        return false;
    close();
    return true;
}

void TFormAbout::crmBeforeContextMenu(TChromium* Sender, const TContextMenuParams& Params, TContextMenuModel& Model)
{
    (void)Sender;
    (void)Params;
    Model.Clear();
}

TFormAbout::~TFormAbout()
{
    crm->SetHandler(nullptr); // the view outlives this part of the window
}

void TFormAbout::crmClose(TChromium* Sender)
{
    (void)Sender;
    close();
}
