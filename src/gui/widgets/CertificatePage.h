#pragma once

#include "widgets/ViewCover.h"

#include <QLabel>

class QPushButton;

// Covers a browser view whose page was refused for its certificate: says
// which host, why, and the certificate's fingerprint; where the engine
// allows it, offers "继续访问". It follows the view's size.
class TCertificatePage : public TViewCover
{
    Q_OBJECT

public:
    TCertificatePage(QWidget* view, const QString& host, const QString& reason, const QString& fingerprint,
                     bool overridable);

    QString Host() const { return FHost; }
    // Null when the error may not be passed over.
    QPushButton* ContinueButton() const { return FContinue; }

Q_SIGNALS:
    void ContinueClicked();

private:
    QString FHost;
    QPushButton* FContinue = nullptr;
};

// A strip along the top of a view whose page the user let through despite
// its certificate, so that the choice stays in sight.
class TCertificateWarning : public QLabel
{
    Q_OBJECT

public:
    TCertificateWarning(QWidget* view, const QString& host);

    QString Host() const { return FHost; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Place();

    QString FHost;
};
