#include "ui/activity_area.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <cmath>

namespace sonoleaf::ui {
namespace {

// Two lines a row: the area's height holds this many; the rest are counted.
constexpr int kMaxRows = 4;
constexpr int kBarSteps = 1000;
constexpr int kBarHeight = 8;

void MakeQuiet(QLabel& label) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, QColor(Qt::darkGray));
    label.setPalette(palette);
}

}  // namespace

ActivityArea::ActivityArea(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("activityArea"));
    setFocusPolicy(Qt::NoFocus);
    // It shows and takes nothing: clicks and menus reach the window beneath as before.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(2);
    idle_ = new QLabel(tr("No job running"), this);
    idle_->setObjectName(QStringLiteral("activityIdle"));
    MakeQuiet(*idle_);
    more_ = new QLabel(this);
    more_->setObjectName(QStringLiteral("activityMore"));
    MakeQuiet(*more_);
    more_->hide();
    layout_->addWidget(idle_);
    layout_->addWidget(more_);
    layout_->addStretch(1);
}

void ActivityArea::Show(const std::vector<JobRow>& jobs) {
    std::map<int, Row> kept;
    int index = 0;
    for (const JobRow& job : jobs) {
        auto found = rows_.find(job.key);
        Row row = found != rows_.end() ? std::move(found->second) : MakeRow(job);
        if (found != rows_.end()) rows_.erase(found);
        Update(row, job);
        // In the order of the jobs, after the idle line (hidden while rows show).
        layout_->removeWidget(row.box.get());
        layout_->insertWidget(1 + index, row.box.get());
        row.box->setVisible(index < kMaxRows);
        kept.emplace(job.key, std::move(row));
        ++index;
    }
    rows_ = std::move(kept);  // the rows of ended jobs go
    idle_->setVisible(jobs.empty());
    const int hidden = static_cast<int>(jobs.size()) - kMaxRows;
    more_->setVisible(hidden > 0);
    if (hidden > 0) more_->setText(tr("and %n more job(s) running", nullptr, hidden));
}

ActivityArea::Row ActivityArea::MakeRow(const JobRow& job) {
    Row row;
    row.box = std::make_unique<QWidget>(this);
    row.box->setObjectName(QStringLiteral("activityRow"));
    auto* lines = new QVBoxLayout(row.box.get());
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(1);
    auto* top = new QHBoxLayout();
    row.caption = new QLabel(QString::fromStdString(job.caption), row.box.get());
    row.caption->setObjectName(QStringLiteral("activityCaption"));
    row.status = new QLabel(row.box.get());
    row.status->setObjectName(QStringLiteral("activityStatus"));
    row.status->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    MakeQuiet(*row.status);
    top->addWidget(row.caption);
    top->addWidget(row.status, 1);
    lines->addLayout(top);
    row.bar = new QProgressBar(row.box.get());
    row.bar->setObjectName(QStringLiteral("activityBar"));
    row.bar->setFocusPolicy(Qt::NoFocus);
    row.bar->setTextVisible(false);
    row.bar->setFixedHeight(kBarHeight);
    row.bar->setAccessibleName(QString::fromStdString(job.caption));
    lines->addWidget(row.bar);
    return row;
}

void ActivityArea::Update(Row& row, const JobRow& job) {
    const QString status = QString::fromStdString(job.status);
    if (row.status->text() != status) row.status->setText(status);
    row.bar->setAccessibleDescription(status);
    if (!job.fraction) {
        row.bar->setRange(0, 0);  // busy: the bar runs to and fro
        return;
    }
    row.bar->setRange(0, kBarSteps);
    row.bar->setValue(static_cast<int>(std::lround(*job.fraction * kBarSteps)));
}

}  // namespace sonoleaf::ui
