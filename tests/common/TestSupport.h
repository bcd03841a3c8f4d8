#pragma once
// Helpers shared by the tests of the windows: captured message boxes and a
// session whose data root lives in a temporary directory.
#include "common/CoreTestSupport.h"
#include "ui/Session.h"

#include <QSignalSpy>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace corvix::test {

// Records every message box instead of showing it, for its lifetime.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    const QStringList &Texts() const { return texts_; }
    const QStringList &Titles() const { return titles_; }
    void Clear();

private:
    QStringList texts_;
    QStringList titles_;
};

// Answers every question box with a fixed button, for its lifetime, and
// records the questions and the buttons they offered.
class QuestionRecorder {
public:
    // answer: the index of the button pressed (-1: the box closed without one).
    explicit QuestionRecorder(int answer = 0);
    ~QuestionRecorder();
    QuestionRecorder(const QuestionRecorder &) = delete;
    QuestionRecorder &operator=(const QuestionRecorder &) = delete;

    void Answer(int answer) { answer_ = answer; }
    const QStringList &Texts() const { return texts_; }
    const QList<QStringList> &Buttons() const { return buttons_; }

private:
    int answer_;
    QStringList texts_;
    QList<QStringList> buttons_;
};

// Triggers the action of the menu (or any widget) whose objectName is `name`,
// as a click on the item does; a test fails when there is no such action.
void TriggerAction(const QWidget &menu, const QString &name);

// Does start, then runs the event loop until sender emits signal; false when
// it has not come within timeoutMs.
template <class Sender, class Signal>
bool UntilSignal(const std::function<void()> &start, Sender *sender, Signal signal, int timeoutMs = 300000)
{
    QSignalSpy spy(sender, signal);
    start();
    return !spy.isEmpty() || spy.wait(timeoutMs);
}

// The session that a test's controllers share (one per test program), and a
// fresh start of it.
Session &TestSession();
void ResetTestSession();

// A data root in a temporary directory, and a fresh TestSession() that uses it.
class TempSession : public TempDataRoot {
public:
    TempSession();
    Session &State() const { return TestSession(); }
    // The session's directories: a test may point the session elsewhere.
    const DataDirs &Dirs() const { return TestSession().dirs; }
};

} // namespace corvix::test
