// korvex-draw: the window's geometry view of every dataset of a data file,
// written as OUTDIR/dataset-N.svg and OUTDIR/dataset-N.png without a display,
// so that a whole file of geometries can be checked by eye before a long run.
// The datasets are read as a batch run reads them; one that korvex-batch
// would refuse, or that cannot be drawn, is named on stderr with the reason
// korvex-batch gives, and the others are still drawn.
//
// Exit codes, as korvex-batch's: 0 when the data file was read to its end
// (datasets named on stderr included), 1 on an input or output error, 2 on a
// usage error or a missing data file.
#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "app/version.h"
#include "io/batch.h"
#include "io/commandline.h"
#include "io/datasettext.h"
#include "io/numbers.h"
#include "io/runcommand.h"
#include "io/systemtext.h"
#include "picture/geometrypicture.h"

namespace {

const char* const usage =
    "usage: korvex-draw [--rays N] [--size WxH] [--view AZ,EL] [--scale L] DATAFILE OUTDIR\n";

const char* const helptext =
    "Draws every dataset of DATAFILE as the window's geometry view shows it,\n"
    "into OUTDIR/dataset-N.svg and OUTDIR/dataset-N.png (OUTDIR is created\n"
    "when missing). No display is needed.\n"
    "\n"
    "  --rays N     draw N sample emissions (0 to 100000; default 0): hits\n"
    "               strong, misses short and faint\n"
    "  --size WxH   the picture's size in pixels (default 800x800)\n"
    "  --view AZ,EL the viewer's azimuth about Zd from Xd and elevation, in\n"
    "               degrees (default -62,22, the diagrams' view)\n"
    "  --scale L    draw every dataset at one scale, the length L to 100 pixels,\n"
    "               so that the pictures of a sweep compare (default: each\n"
    "               picture fitted to its size)\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "A dataset that korvex-batch would refuse, or that cannot be drawn, is named\n"
    "on stderr (\"dataset N: reason\", korvex-batch's reason) and skipped; the\n"
    "warning a run would give is named there too, and so is a picture that does\n"
    "not fit at the --scale given.\n"
    "Exit status: 0 finished, 1 input or output error, 2 usage error or missing\n"
    "data file.\n";

struct Options {
    int rays = 0;
    int width = 800, height = 800;
    korvex::ViewAngle angle;
    double scale = 0;  // a length per 100 pixels; 0 fits each picture
    std::string datafile;
    std::string outdir;
};

bool parsesize(std::string_view text, Options& o) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    const auto w = korvex::parsewhole(text.substr(0, x), 16, 20000);
    const auto h = korvex::parsewhole(text.substr(x + 1), 16, 20000);
    if (!w || !h) return false;
    o.width = static_cast<int>(*w);
    o.height = static_cast<int>(*h);
    return true;
}

bool parseview(std::string_view text, Options& o) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    const auto az = korvex::parsenumber(text.substr(0, comma));
    const auto el = korvex::parsenumber(text.substr(comma + 1));
    if (!az || !el || *el < -90 || *el > 90) return false;
    o.angle = {*az, *el};
    return true;
}

int usageerror(const std::string& what) {
    std::cerr << "korvex-draw: " << what << "\n" << usage;
    return 2;
}

// Writes data to path as a whole or not at all: into a new file beside it,
// synced, then renamed over path. error gets the system's text of a failure
// ("No space left on device"; QSaveFile would call that an unknown error).
bool writefile(const QString& qpath, const QByteArray& data, std::string& error) {
    const std::string path = QFile::encodeName(qpath).toStdString();
    const std::string part = path + "." + std::to_string(::getpid()) + ".part";
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = korvex::systemtext(path, errno);
        return false;
    }
    const char* p = data.constData();
    std::size_t left = static_cast<std::size_t>(data.size());
    int code = 0;
    while (left > 0 && code == 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n > 0) {
            p += n;
            left -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            code = errno;
        }
    }
    if (code == 0 && ::fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code == 0 && ::rename(part.c_str(), path.c_str()) != 0) code = errno;
    if (code != 0) {
        ::unlink(part.c_str());
        error = korvex::systemtext(path, code);
        return false;
    }
    return true;
}

QByteArray svgof(const korvex::GeometryPicture& picture, const Options& o, const QString& title) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(o.width, o.height));
    svg.setViewBox(QRect(0, 0, o.width, o.height));
    svg.setTitle(title);
    svg.setDescription(QStringLiteral("Korvex geometry view"));
    QPainter painter(&svg);
    picture.paint(painter, QRectF(0, 0, o.width, o.height));
    painter.end();
    return buffer.data();
}

// Empty when the picture cannot be made (a large one may not fit in memory).
QByteArray pngof(const korvex::GeometryPicture& picture, const Options& o) {
    QImage image(o.width, o.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    image.fill(Qt::white);
    QPainter painter(&image);
    picture.paint(painter, QRectF(0, 0, o.width, o.height));
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return {};
    return buffer.data();
}

// Reads and draws every dataset; the exit status.
int drawall(const Options& o) {
    korvex::DataFile file;
    if (!file.open(o.datafile)) {
        std::cerr << "korvex-draw: " << file.error() << "\n";
        return 1;
    }
    const QDir out(QString::fromStdString(o.outdir));

    korvex::BatchState batch;
    batch.moredata = true;
    korvex::GeometryFlags flags;
    korvex::RunParameters prm;
    while (batch.moredata) {
        // The head of a dataset, as the batch run does it.
        korvex::startdataset(flags, prm);
        batch.readerror.clear();
        korvex::readdataset(file, prm, flags, batch);
        if (file.failed()) {
            std::cerr << "korvex-draw: " << file.error() << "\n";
            return 1;
        }
        if (flags.dataerror) break;  // nothing but comments after the last dataset
        const int n = ++batch.datasetnumber;
        const std::string name = "dataset " + std::to_string(n) + ": ";

        // Exactly what korvex-batch refuses, in its words.
        const std::string problem = batch.readerror.empty()
                                        ? korvex::refusalreason(korvex::checkvalues(flags, prm))
                                        : batch.readerror;
        if (!problem.empty()) {
            std::cerr << name << problem << "\n";
            continue;
        }
        const korvex::Scene scene = korvex::makescene(prm, flags, o.rays);
        if (!scene.drawable) {
            std::cerr << name << "the dimensions are too large to draw\n";
            continue;
        }
        if (!scene.warning.isEmpty()) std::cerr << name << scene.warning.toStdString() << "\n";

        korvex::PictureOptions options;
        options.angle = o.angle;
        options.scale = o.scale;
        options.title = QStringLiteral("Dataset %1: ").arg(n) +
                        QString::fromStdString(korvex::datasetsummary(prm, flags));
        const korvex::GeometryPicture picture(scene, options);
        if (o.scale > 0 && !picture.fits(QRectF(0, 0, o.width, o.height)))
            std::cerr << name << "the picture does not fit at this scale\n";
        const QString stem = out.filePath(QStringLiteral("dataset-%1").arg(n));
        std::string error;
        const QByteArray png = pngof(picture, o);
        if (png.isEmpty()) {
            error = (stem + QStringLiteral(".png")).toStdString() + ": a picture of " +
                    std::to_string(o.width) + "x" + std::to_string(o.height) +
                    " pixels could not be made (not enough memory)";
        }
        if (!error.empty() ||
            !writefile(stem + QStringLiteral(".svg"), svgof(picture, o, options.title), error) ||
            !writefile(stem + QStringLiteral(".png"), png, error)) {
            std::cerr << "korvex-draw: " << error << "\n";
            return 1;
        }
        std::cout << (stem + QStringLiteral(".svg")).toStdString() << "\n"
                  << (stem + QStringLiteral(".png")).toStdString() << "\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A write over the file size limit then fails with its error ("File too
    // large") instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    Options options;
    const korvex::CommandLine line =
        korvex::scancommandline(argc, argv, {"--rays", "--size", "--view", "--scale"}, {});
    if (line.help) {
        std::cout << usage << "\n" << helptext;
        return 0;
    }
    if (line.version) {
        korvex::printversion(std::cout, "korvex-draw");
        return 0;
    }
    if (!line.error.empty()) return usageerror(line.error);
    if (const auto rays = line.values.find("--rays"); rays != line.values.end()) {
        const auto value = korvex::parsewhole(rays->second, 0, 100000);
        if (!value) {
            return usageerror("--rays takes a whole number from 0 to 100000, not '" + rays->second +
                              "'");
        }
        options.rays = static_cast<int>(*value);
    }
    if (const auto size = line.values.find("--size");
        size != line.values.end() && !parsesize(size->second, options)) {
        return usageerror("--size takes WxH, each from 16 to 20000 pixels, not '" + size->second +
                          "'");
    }
    if (const auto view = line.values.find("--view");
        view != line.values.end() && !parseview(view->second, options)) {
        return usageerror("--view takes AZ,EL in degrees, the elevation from -90 to 90, not '" +
                          view->second + "'");
    }
    if (const auto scale = line.values.find("--scale"); scale != line.values.end()) {
        const auto value = korvex::parsenumber(scale->second);
        if (!value || !(*value > 0) || !std::isfinite(100 / *value))
            return usageerror("--scale takes a length above 0, not '" + scale->second + "'");
        options.scale = *value;
    }
    if (line.files.size() > 2) return usageerror("too many arguments");
    if (line.files.size() < 2) return usageerror("DATAFILE and OUTDIR are needed");
    options.datafile = line.files[0];
    options.outdir = line.files[1];

    if (const std::string why = korvex::whynotfound(options.datafile); !why.empty()) {
        std::cerr << "korvex-draw: " << why << "\n";
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(options.outdir, ec);
    if (ec) {
        std::cerr << "korvex-draw: " << options.outdir << ": " << ec.message() << "\n";
        return 1;
    }

    // Nothing is shown: the off-screen platform needs no display. Its
    // remarks about the missing desktop session are no concern of the user.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::cerr << "korvex-draw: " << text.toStdString() << "\n";
    });
    QGuiApplication app(argc, argv);
    return drawall(options);
}
