// Helpers of the window tests: a Dialogs object that answers from a script
// and records what the window showed, and a driver that answers real modal
// dialogs from a timer.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

#include "ui/dialogs.h"
#include "ui/form1.h"

namespace korvex {

class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        MessageKind kind;
        QString text;
    };
    // Recorded.
    QList<Shown> messages;
    QStringList questions;
    QStringList resultstexts;
    QStringList resultsseeds;  // the seed text beside each report shown
    QList<QStringList> datasetlists;
    QList<bool> savepdffirst;  // per save dialog: PDF offered first
    int savedialogs = 0;
    int setups = 0;
    // Answers, used in order; when they run out: No, cancel, "Finish".
    std::deque<bool> answers;
    std::deque<std::optional<QString>> datafiles, resultsfiles, reportfiles, datasetfiles;
    std::deque<std::optional<int>> datasetchoices;
    std::deque<std::optional<std::uint32_t>> seeds;
    std::deque<ResultsChoice> choices;
    QStringList printernames;
    std::function<bool(QPrinter&)> setup;

    void message(MessageKind kind, const QString& text) override;
    bool confirm(ConfirmKind kind, const QString& text) override;
    std::optional<QString> opendatafile() override;
    std::optional<QString> saveresultsfile() override;
    std::optional<QString> savereportfile(bool pdffirst) override;
    std::optional<QString> savedatasetfile() override;
    std::optional<int> choosedataset(const QStringList& items) override;
    std::optional<std::uint32_t> askseed() override;
    ResultsChoice results(const QString& text, const QString& seed) override;
    QStringList printers() override { return printernames; }
    bool printsetup(QPrinter& printer) override;

    QStringList messagetexts() const;
};

// A window on scripted dialogs, with its run state. Tests bind the three
// parts by name: auto& [state, dialogs, form] = window.
template <class Form = TForm1>
struct ScriptedWindow {
    explicit ScriptedWindow(bool showabout = true) : form(about(state, showabout), &dialogs) {}

    RunState state;
    ScriptedDialogs dialogs;
    Form form;

private:
    static RunState& about(RunState& s, bool show) {
        s.flags.showabout = show;
        return s;
    }
};

// Runs each step on the next modal widget that becomes active, in order.
class ModalScript : public QObject {
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::initializer_list<Step> steps);
    bool done() const { return steps_.empty(); }

private:
    void tick();
    std::deque<Step> steps_;
    QPointer<QWidget> last_;
    QTimer timer_;
};

// The texts of a message box's or dialog's push buttons, left to right.
QStringList buttontexts(QWidget* dialog);
// Clicks the push button with this text.
void clickbutton(QWidget* dialog, const QString& text);

}  // namespace korvex
