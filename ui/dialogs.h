// Every dialog the window opens goes through Dialogs, so the window's logic
// can be driven by tests that answer with their own object. QtDialogs is the
// real thing: message boxes, file dialogs, the results dialog, the printer
// list and the print dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "io/prompter.h"

class QPrinter;
class QWidget;

namespace korvex {

enum class ResultsChoice { save, print, finish, closed };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void message(MessageKind kind, const QString& text) = 0;
    // Title "Confirm"; true only for Yes. Escape or closing the box is
    // Cancel (yescancel) or No (yesno).
    virtual bool confirm(ConfirmKind kind, const QString& text) = 0;
    // Batch run: the data file (must exist) and the results file.
    virtual std::optional<QString> opendatafile() = 0;
    virtual std::optional<QString> saveresultsfile() = 0;
    // Saving the last report, as text or (a name ending in ".pdf") as PDF;
    // pdffirst offers PDF first.
    virtual std::optional<QString> savereportfile(bool pdffirst) = 0;
    // The data file the window's inputs are appended to as a dataset.
    virtual std::optional<QString> savedatasetfile() = 0;
    // One of a data file's datasets, listed one an item; its index.
    virtual std::optional<int> choosedataset(const QStringList& items) = 0;
    // The seed for the next run; nullopt on cancel.
    virtual std::optional<std::uint32_t> askseed() = 0;
    // The results dialog, shown once; seed is shown beside the report.
    virtual ResultsChoice results(const QString& text, const QString& seed) = 0;
    // Names of the installed printers.
    virtual QStringList printers() = 0;
    // Lets the user pick the printer and its settings; false on cancel.
    virtual bool printsetup(QPrinter& printer) = 0;
};

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    void message(MessageKind kind, const QString& text) override;
    bool confirm(ConfirmKind kind, const QString& text) override;
    std::optional<QString> opendatafile() override;
    std::optional<QString> saveresultsfile() override;
    std::optional<QString> savereportfile(bool pdffirst) override;
    std::optional<QString> savedatasetfile() override;
    std::optional<int> choosedataset(const QStringList& items) override;
    std::optional<std::uint32_t> askseed() override;
    ResultsChoice results(const QString& text, const QString& seed) override;
    QStringList printers() override;
    bool printsetup(QPrinter& printer) override;

private:
    QWidget* parent_;
};

// A name typed without an extension gets ".txt", also where a native file
// dialog ignores the default suffix.
QString withtxtsuffix(const QString& name);
// True for a name that asks for the report as PDF (".pdf" in any case).
bool ispdfname(const QString& name);

// The title of plain message boxes: the program's name.
QString programtitle();

}  // namespace korvex
