#pragma once

#include "engine/Chromium.h"

#include <QWidget>

class QLabel;
class QLineEdit;

// The find-in-page bar under the tab strip: the text box, the match count
// and the buttons. It only shows and reports; the window does the finding.
class TFindBar : public QWidget
{
    Q_OBJECT

public:
    explicit TFindBar(QWidget* parent = nullptr);

    // Shows the bar with text, focused and selected.
    void Open(const QString& text);
    // Puts text in the box without reporting it as typed.
    void SetText(const QString& text);
    QString Text() const;
    // "n/m", "无结果", or nothing for an empty text.
    void ShowResult(int active, int count);
    void ClearResult();
    QString ResultText() const;
    QLineEdit* Edit() const { return FEdit; }

Q_SIGNALS:
    void TextEdited(const QString& text);
    void NextClicked();
    void PreviousClicked();
    void CloseClicked();
    // A key the text box left.
    void KeyPressed(const TKeyPress& key);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* FEdit = nullptr;
    QLabel* FResult = nullptr;
};

// The zoom level, shown briefly over the page when it changes.
class TZoomIndicator : public QWidget
{
public:
    static constexpr int ShowMs = 1500;

    explicit TZoomIndicator(QWidget* parent);
    void ShowLevel(int percent);
    QString Text() const;

private:
    QLabel* FLabel = nullptr;
    class QTimer* FHideTimer = nullptr;
};
