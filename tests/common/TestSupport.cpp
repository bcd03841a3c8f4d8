#include "common/TestSupport.h"

#include "ui/MessageBox.h"

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
