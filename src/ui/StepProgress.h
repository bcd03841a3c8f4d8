#pragma once
// The bar of work done in one step on the window thread (an export, a record
// loaded): window-modal, so the repaints it makes let no click or key reach
// the data being read or written, and shown only when the work takes longer
// than half a second (a shorter one is over before a bar could be read).
#include <QProgressDialog>

namespace corvix {

class StepProgress {
public:
    StepProgress(QWidget *parent, const QString &label);
    ~StepProgress();
    StepProgress(const StepProgress &) = delete;
    StepProgress &operator=(const StepProgress &) = delete;

    // done of total, as the work tells it.
    void Tell(int done, int total);

private:
    QProgressDialog bar_;
};

} // namespace corvix
