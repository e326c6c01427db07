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

template <class T>
static std::optional<T> next(std::deque<std::optional<T>>& queue) {
    std::optional<T> name;
    if (!queue.empty()) {
        name.swap(queue.front());
        queue.pop_front();
    }
    return name;
}

std::optional<QString> ScriptedDialogs::opendatafile() { return next(datafiles); }

std::optional<QString> ScriptedDialogs::saveresultsfile() { return next(resultsfiles); }

std::optional<QString> ScriptedDialogs::savereportfile(bool pdffirst) {
    ++savedialogs;
    savepdffirst.append(pdffirst);
    return next(reportfiles);
}

std::optional<QString> ScriptedDialogs::savedatasetfile() { return next(datasetfiles); }

std::optional<int> ScriptedDialogs::choosedataset(const QStringList& items) {
    datasetlists.append(items);
    return next(datasetchoices);
}

std::optional<std::uint32_t> ScriptedDialogs::askseed() { return next(seeds); }

ResultsChoice ScriptedDialogs::results(const QString& text, const QString& seed) {
    resultstexts.append(text);
    resultsseeds.append(seed);
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
