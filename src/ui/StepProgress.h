#pragma once
// The bar of a long piece of work (an export, a record loaded), shown only
// when the work takes longer than half a second (a shorter one is over before
// a bar could be read). Work done in one step on the window thread takes it
// window-modal, so the repaints it makes let no click or key reach the data
// being read or written; work that runs on a worker from a copy leaves the
// window free (Qt::NonModal).
#include <QProgressDialog>

namespace corvix {

class StepProgress {
public:
    StepProgress(QWidget *parent, const QString &label, Qt::WindowModality modality = Qt::WindowModal);
    ~StepProgress();
    StepProgress(const StepProgress &) = delete;
    StepProgress &operator=(const StepProgress &) = delete;

    // done of total, as the work tells it.
    void Tell(int done, int total);

private:
    QProgressDialog bar_;
};

} // namespace corvix
