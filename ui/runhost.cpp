// The run from the window: the run command, the window's side of it
// (fields, dialogs, progress panel, the Escape poll) and its end steps.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>

#include "engine/mtrandom.h"
#include "io/timeleft.h"
#include "ui/diagram.h"
#include "ui/form1.h"
#include "ui/inputswallower.h"
#include "ui/texts.h"

namespace korvex {

void TForm1::EstimateButtonClick(QObject* sender) {
    // The command runs to its end inside this handler; a second one cannot
    // start meanwhile (input is swallowed and dialogs are modal), and this
    // guard makes sure of it.
    if (running_) return;
    running_ = true;
    const bool batchrun = sender == Datareadfromandwrittentofile1;
    if (!readmethod()) {
        lastrun_ = RunResult{RunOutcome::rejected, 0, {}};
        running_ = false;
        return;
    }
    // A seed the user gave repeats a run of emissions; it serves one such
    // command only. The integral method draws no random numbers: the seed
    // waits for the next run of emissions.
    commandseed_ = nextseed_ ? *nextseed_ : runseed();
    if (state_.method == Method::emissions) nextseed_.reset();
    lastrun_ = runcommand(state_, *this, batchrun, commandseed_);
    running_ = false;
}

QLineEdit* TForm1::edit(Field f) const {
    switch (f) {
        case Field::r1: return Inputbox_r1;
        case Field::a1: return Inputbox_a1;
        case Field::b1: return Inputbox_b1;
        case Field::t1: return Inputbox_t1;
        case Field::r2: return Inputbox_r2;
        case Field::a2: return Inputbox_a2;
        case Field::b2: return Inputbox_b2;
        case Field::t2: return Inputbox_h;
        case Field::d: return Inputbox_d;
        case Field::a3: return Inputbox_a3;
        case Field::b3: return inputbox_b3;
        case Field::c: return Inputbox_c;
        case Field::emissions: return inputbox_endcount;
        case Field::rotz: return Inputbox_rot_z0;
        case Field::roty: return Inputbox_rot_y2;
        case Field::rotx: return inputbox_rot_x3;
    }
    return nullptr;
}

QLabel* TForm1::label(Field f) const {
    switch (f) {
        case Field::r1: return Label_r1;
        case Field::a1: return Label_a1;
        case Field::b1: return Label_b1;
        case Field::t1: return Label_t1;
        case Field::r2: return Label_r2;
        case Field::a2: return Label_a2;
        case Field::b2: return Label_b2;
        case Field::t2: return Label_h;
        case Field::d: return Label_d;
        case Field::a3: return Label_a3;
        case Field::b3: return Label_b3;
        case Field::c: return Label_c;
        case Field::emissions: return nullptr;
        case Field::rotz: return Label_rot_z0;
        case Field::roty: return Label_rot_y2;
        case Field::rotx: return Label_rot_x3;
    }
    return nullptr;
}

std::string TForm1::text(Field f) const { return edit(f)->text().toStdString(); }

std::string TForm1::caption(Field f) const {
    // The emission count has no label of its own beside its edit.
    if (f == Field::emissions) return info(f).caption;
    return label(f)->text().toStdString();
}

void TForm1::message(MessageKind kind, const std::string& text) {
    dialogs().message(kind, displaytext(text));
}

bool TForm1::confirm(ConfirmKind kind, const std::string& text) {
    return dialogs().confirm(kind, displaytext(text));
}

std::optional<std::string> TForm1::choosedatafile() {
    const auto name = dialogs().opendatafile();
    if (!name) return std::nullopt;
    return fullname(name->toStdString());
}

std::optional<std::string> TForm1::chooseresultsfile() {
    const auto name = dialogs().saveresultsfile();
    if (!name) return std::nullopt;
    return fullname(name->toStdString());
}

void TForm1::commandstarting(bool batchrun) {
    if (batchrun) {
        PageControl1->hide();
        turn_off_images();
        GroupBox2->hide();
        GroupBox7->hide();
    } else {
        PageControl1->show();
        GroupBox2->show();
        GroupBox7->show();
    }
    EstimateButton->setEnabled(false);
}

void TForm1::commandfinished(bool batchrun, RunState&) {
    if (batchrun) {
        // The datasets overwrote the choice flags: the radio buttons decide
        // them again.
        resetbooleans();
        setcorrectimage();
        setcorrectinputboxes();
        GroupBox2->show();
        GroupBox7->show();
        PageControl1->show();
    }
    EstimateButton->setEnabled(true);
}

void TForm1::loopstarting(const std::string& caption, const RunParameters& prm,
                          const GeometryFlags& flags) {
    // This loop makes the next report.
    reportintegral_ = state_.method == Method::integral;
    reportseed_ = commandseed_;
    if (reportintegral_) reportseed_.reset();
    reportinputs_.emplace(prm, flags);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ProgressBar1->setValue(0);
    TimeLeft->clear();
    looptime_.start();
    loopemissions_ = prm.emissions;
    StaticText3->setText(QString::fromStdString(caption));

    // Centred over the lower part of the diagram area.
    Panel1->layout()->activate();
    Panel1->adjustSize();
    const int width = std::max(Panel1->width(), std::min(345, centralWidget()->width() - 10));
    Panel1->resize(width, Panel1->height());
    const QRect area = DiagramTabs->geometry();
    Panel1->move((centralWidget()->width() - width) / 2,
                 std::max(0, area.bottom() - Panel1->height() - 4));
    Panel1->show();
    Panel1->raise();

    swallower_->install();
    // Drawn now: the loop blocks the window until its first poll.
    repaint();
}

void TForm1::loopfinished() {
    swallower_->uninstall();
    QApplication::restoreOverrideCursor();
    EstimateButton->setEnabled(true);
    Panel1->hide();
}

void TForm1::progressstep(const RunTallies& sofar) {
    // QProgressBar repaints at once when its shown value changes.
    ProgressBar1->setValue(ProgressBar1->value() + 1);
    const double done = loopemissions_ > 0 ? sofar.emitted / loopemissions_ : 0;
    if (const auto left = secondsleft(looptime_.elapsed() / 1000.0, done)) {
        TimeLeft->setText(QString::fromStdString(timelefttext(*left)));
        TimeLeft->repaint();
    }
}

void TForm1::integralprogress(double share, double) {
    // The share of the way to the target error, by the error's logarithm:
    // the refinements grow in cost, so no time left is guessed from it.
    ProgressBar1->setValue(static_cast<int>(std::clamp(share, 0.0, 1.0) * 100));
}

bool TForm1::pollabort() {
    // Pending events are handled so the window keeps repainting, while the
    // filter swallows every input; an Escape among them is only noted.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!swallower_->takeescape()) return false;

    // A run split over threads stands still while the question is open.
    holdworkers();
    swallower_->uninstall();
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool yes = confirm(ConfirmKind::yesno, abortquestion);
    if (!yes) releaseworkers();
    QApplication::restoreOverrideCursor();
    swallower_->install();
    repaint();
    return yes;
}

void TForm1::showresults(RunState&) { resultsloop(); }

}  // namespace korvex
