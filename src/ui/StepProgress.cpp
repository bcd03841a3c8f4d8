#include "ui/StepProgress.h"

#include <algorithm>

namespace corvix {
namespace {

constexpr int kShowAfterMs = 500;

} // namespace

StepProgress::StepProgress(QWidget *parent, const QString &label, Qt::WindowModality modality)
    : bar_(label, QString(), 0, 1, parent)
{
    bar_.setWindowModality(modality);
    bar_.setMinimumDuration(kShowAfterMs);
    bar_.setAutoReset(false);
    bar_.setValue(0);
}

StepProgress::~StepProgress()
{
    bar_.reset();
}

void StepProgress::Tell(int done, int total)
{
    bar_.setMaximum(std::max(total, 1));
    bar_.setValue(std::min(done, std::max(total, 1)));
}

} // namespace corvix
