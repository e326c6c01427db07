#include "uitesting.h"

#include <QApplication>
#include <QPushButton>
#include <algorithm>

namespace korvex {

void ScriptedDialogs::message(MessageKind kind, const QString& text) {
    messages.append({kind, text});
}

bool ScriptedDialogs::confirm(ConfirmKind, const QString& text) {
    questions.append(text);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

static std::optional<QString> next(std::deque<std::optional<QString>>& queue) {
    std::optional<QString> name;
    if (!queue.empty()) {
        name.swap(queue.front());
        queue.pop_front();
    }
    return name;
}

std::optional<QString> ScriptedDialogs::opendatafile() { return next(datafiles); }

std::optional<QString> ScriptedDialogs::saveresultsfile() { return next(resultsfiles); }

std::optional<QString> ScriptedDialogs::savereportfile() {
    ++savedialogs;
    return next(reportfiles);
}

ResultsChoice ScriptedDialogs::results(const QString& text) {
    resultstexts.append(text);
    if (choices.empty()) return ResultsChoice::finish;
    const ResultsChoice c = choices.front();
    choices.pop_front();
    return c;
}

bool ScriptedDialogs::printsetup(QPrinter& printer) {
    ++setups;
    return setup ? setup(printer) : false;
}

QStringList ScriptedDialogs::messagetexts() const {
    QStringList out;
    for (const Shown& s : messages) out.append(s.text);
    return out;
}

ModalScript::ModalScript(std::initializer_list<Step> steps) : steps_(steps) {
    connect(&timer_, &QTimer::timeout, this, &ModalScript::tick);
    timer_.start(10);
}

void ModalScript::tick() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || steps_.empty()) return;
    if (last_ == w && w->isVisible()) return;  // still the dialog handled last
    last_ = w;
    Step step = steps_.front();
    steps_.pop_front();
    step(w);
}

QStringList buttontexts(QWidget* dialog) {
    QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
    buttons.erase(std::remove_if(buttons.begin(), buttons.end(),
                                 [](QPushButton* b) { return !b->isVisible(); }),
                  buttons.end());
    std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    QStringList out;
    for (QPushButton* b : buttons) out.append(b->text());
    return out;
}

void clickbutton(QWidget* dialog, const QString& text) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text) {
            b->click();
            return;
        }
    qWarning("no button %s", qPrintable(text));
}

}  // namespace korvex
