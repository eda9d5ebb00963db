#pragma once

#include <QObject>
#include <QSet>

#include <functional>

class TChromium;
class TTabRegistry;
struct TShutdownFlags;

// Closing a tab asks its page first: a page with a "leave this page?"
// handler (unsaved input) lets the user stay. The page's answer comes back
// as its own close request, which closes the tab as a page closing itself
// does. A page that neither answers nor asks within a few seconds (hung) is
// closed all the same.
class TLeaveGuard : public QObject
{
    Q_OBJECT

public:
    static constexpr int AnswerWaitMs = 5000;

    // asking: whether a page's question is up (a modal box); by default any modal window.
    TLeaveGuard(TTabRegistry& registry, TShutdownFlags& flags, int answerWaitMs = AnswerWaitMs,
                std::function<bool()> asking = nullptr, QObject* parent = nullptr);

    // A gesture (button, double press, middle click, Ctrl+W) closes the tab with this id.
    void CloseTab(int id);
    // Before the program ends: asks every tab's page, the first tab's last,
    // whether it may go. False as soon as one keeps its page (the user chose
    // to stay); the tabs whose pages agreed before it are closed then, since
    // their pages are gone. True when all agreed.
    bool AskAllToLeave();

private:
    void Watch(int id, int waitedMs);
    // The page's question (or another box) is up: the user decides.
    bool QuestionUp(const TChromium& view) const;

    TTabRegistry& FRegistry;
    // Asks one page; true when it agreed (or did not answer at all).
    bool AskToLeave(TChromium* view);

    TShutdownFlags& FFlags;
    int FAnswerWaitMs;
    std::function<bool()> FQuestionShown;
    QSet<int> FWaiting; // tabs whose page was asked and has not answered
};
