// The results dialog: the report with its line breaks (scrolling when it is
// taller than the screen allows) and the buttons "Save", "Print", "Finish" in
// that order. Enter saves; Escape does nothing; closing it from the title bar
// returns "closed", after which the caller shows it again. The seed of the
// run stands beside the report, outside its text.
#pragma once

#include <QDialog>

#include "ui/dialogs.h"

class QAbstractButton;

namespace korvex {

class ResultsDialog : public QDialog {
    Q_OBJECT
public:
    ResultsDialog(const QString& text, const QString& seed, QWidget* parent);
    ResultsChoice choice() const { return choice_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    ResultsChoice choice_ = ResultsChoice::closed;
};

}  // namespace korvex
