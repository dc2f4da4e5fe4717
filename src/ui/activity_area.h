#pragma once
// The main window's activity area: a row per running job with the job's caption,
// a bar and what it has done, or a quiet line when no job runs. It shows what it is
// given; the window feeds it from its progress board. Nothing in it takes focus, so
// the template's tab order stays as it is.

#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "jobs/progress_board.h"

class QLabel;
class QProgressBar;
class QVBoxLayout;

namespace sonoleaf::ui {

class ActivityArea : public QWidget {
    Q_OBJECT

  public:
    explicit ActivityArea(QWidget* parent);

    // Rows for these jobs, in this order; rows of jobs not among them go.
    void Show(const std::vector<JobRow>& jobs);

  private:
    // A row's box is a child of the area that the row deletes when its job has
    // ended; the members go before QWidget's own end, so nothing is deleted twice.
    // The labels and the bar belong to the box.
    struct Row {
        std::unique_ptr<QWidget> box;
        QLabel* caption = nullptr;
        QLabel* status = nullptr;
        QProgressBar* bar = nullptr;
    };

    Row MakeRow(const JobRow& job);
    static void Update(Row& row, const JobRow& job);

    QVBoxLayout* layout_ = nullptr;
    QLabel* idle_ = nullptr;
    QLabel* more_ = nullptr;
    std::map<int, Row> rows_;  // by the board's key
};

}  // namespace sonoleaf::ui
