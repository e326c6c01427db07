// The inputs kept in data files (Open dataset, Save inputs as dataset) and
// the seed for the next run.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>

#include "io/datasettext.h"
#include "io/numbers.h"
#include "io/resultsfile.h"
#include "ui/form1.h"

namespace korvex {

void TForm1::filldataset(const RunParameters& p, const GeometryFlags& f) {
    // The choices first: their handlers enable, clear and zero the fields.
    // A disc of radius 0 without thickness is how a data file gives a point.
    if (f.cubsrc) {
        Cuboid_source_radiobutton->click();
    } else if (f.ptsrc || (p.r1 == 0 && p.t1 == 0)) {
        Point_source_radiobutton->click();
    } else {
        Cylindrical_source_radiobutton->click();
    }
    if (f.cubdet) {
        cuboid_detector_radiobutton->click();
    } else if (f.sphdet) {
        Spherical_detector_radiobutton->click();
    } else {
        cylinder_detector_radiobutton->click();
    }
    (f.twopisrc ? twopiradiobutton : fourpiradiobutton)->click();

    const std::pair<Field, double> lengths[] = {{Field::r1, p.r1},
                                                {Field::a1, p.a1},
                                                {Field::b1, p.b1},
                                                {Field::t1, p.t1},
                                                {Field::r2, p.r2},
                                                {Field::a2, p.a2},
                                                {Field::b2, p.b2},
                                                {Field::t2, p.t2},
                                                {Field::d, p.d},
                                                {Field::a3, p.a3},
                                                {Field::b3, p.b3},
                                                {Field::c, p.c},
                                                {Field::emissions, p.emissions}};
    // The count is filled also while the integral method has its field off.
    for (const auto& [field, v] : lengths)
        if (edit(field)->isEnabled() || field == Field::emissions)
            edit(field)->setText(QString::fromStdString(echoformat(v)));
    for (const auto& [field, radians] :
         {std::pair{Field::rotx, p.rotx}, {Field::roty, p.roty}, {Field::rotz, p.rotz}})
        edit(field)->setText(QString::fromStdString(echoangle(radians)));
}

void TForm1::Opendataset1Click() {
    const auto name = dialogs().opendatafile();
    if (!name) return;
    std::vector<FileDataset> datasets;
    std::string error;
    if (!readdatasets(name->toStdString(), datasets, error)) {
        dialogs().message(MessageKind::error, QString::fromStdString(error));
        return;
    }
    if (datasets.empty()) {
        dialogs().message(
            MessageKind::plain,
            QStringLiteral("%1 holds no dataset.").arg(QDir::toNativeSeparators(*name)));
        return;
    }
    QStringList items;
    for (const FileDataset& d : datasets) {
        const std::string what =
            d.problem.empty() ? datasetsummary(d.prm, d.flags) : "cannot be used: " + d.problem;
        items << QStringLiteral("Dataset %1: %2").arg(d.number).arg(QString::fromStdString(what));
    }
    const auto chosen = dialogs().choosedataset(items);
    if (!chosen) return;
    const FileDataset& d = datasets[std::size_t(*chosen)];
    if (!d.problem.empty()) {
        dialogs().message(MessageKind::error, QStringLiteral("Dataset %1 cannot be used: %2")
                                                  .arg(d.number)
                                                  .arg(QString::fromStdString(d.problem)));
        return;
    }
    // The fields are then checked as typed ones when the run reads them.
    filldataset(d.prm, d.flags);
}

void TForm1::Saveinputsasdataset1Click() {
    // The inputs are read and checked as a run reads them, with the same
    // messages and questions; a refused input saves nothing.
    GeometryFlags flags = state_.flags;
    flags.batchrun = false;
    RunParameters prm;
    startdataset(flags, prm);
    getscreeninput(*this, *this, flags, prm);
    if (flags.dataerror) return;

    const auto name = dialogs().savedatasetfile();
    if (!name) return;
    const std::string heading =
        "Saved from the window on " +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString() +
        ": " + datasetsummary(prm, flags);
    std::string entry = datasetentry(prm, flags, heading);
    // A file that ends inside a dataset gets that dataset closed first, or
    // these values would join it.
    // Its end is enough to tell: the last 64 KiB.
    QFile existing(*name);
    if (existing.open(QIODevice::ReadOnly) &&
        existing.seek(std::max<qint64>(0, existing.size() - 65536)) &&
        endsinsidedataset(existing.readAll().toStdString()))
        entry = "*       / end of the dataset before\r\n\r\n" + entry;
    existing.close();
    std::string error;
    if (!appendresults(QFileInfo(*name).absoluteFilePath().toStdString(), entry, error)) {
        dialogs().message(MessageKind::error,
                          QStringLiteral("Cannot write %1: %2")
                              .arg(QDir::toNativeSeparators(*name), QString::fromStdString(error)));
    }
}

void TForm1::Seedforthenextrun1Click() {
    if (const auto seed = dialogs().askseed()) nextseed_ = *seed;
}

}  // namespace korvex
