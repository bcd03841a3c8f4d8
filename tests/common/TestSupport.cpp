#include "common/TestSupport.h"

#include "ui/MessageBox.h"

#include <QAction>
#include <QWidget>
#include <gtest/gtest.h>

namespace corvix::test {

MessageRecorder::MessageRecorder()
{
    SetMessageHandlerForTests([this](const QString &text, const QString &title) {
        texts_ << text;
        titles_ << title;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageHandlerForTests(nullptr);
}

void TriggerAction(const QWidget &menu, const QString &name)
{
    for (QAction *action : menu.actions()) {
        if (action->objectName() == name) {
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no action " << name.toStdString() << " in " << menu.objectName().toStdString();
}

void MessageRecorder::Clear()
{
    texts_.clear();
    titles_.clear();
}

QuestionRecorder::QuestionRecorder(int answer) : answer_(answer)
{
    SetQuestionHandlerForTests([this](const QString &text, const QString &, const QStringList &buttons) {
        texts_ << text;
        buttons_ << buttons;
        return answer_;
    });
}

QuestionRecorder::~QuestionRecorder()
{
    SetQuestionHandlerForTests(nullptr);
}

Session &TestSession()
{
    static Session session;
    return session;
}

void ResetTestSession()
{
    TestSession() = Session{};
}

TempSession::TempSession()
{
    ResetTestSession();
    TestSession().dirs = TempDataRoot::Dirs();
}

} // namespace corvix::test
