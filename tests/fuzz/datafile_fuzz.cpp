// The data-file reader and readdataset on any bytes, then what a batch run
// does with each dataset read: check it, run a few emissions when it passes,
// and build the report or the problem entry. Nothing may crash, no number
// read may be INF or NAN, and no text written may hold INF or NAN.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/mtrandom.h"
#include "engine/run.h"
#include "io/batch.h"
#include "io/report.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

class QuietHost : public korvex::LoopHost {
public:
    void progressstep(const korvex::RunTallies&) override {}
    bool pollabort() override { return false; }
};

// One file for the process, rewritten for every input.
const std::string& scratch() {
    static const std::string path = [] {
        char name[] = "/tmp/korvex-fuzz-XXXXXX";
        const int fd = mkstemp(name);
        require(fd >= 0);
        close(fd);
        return std::string(name);
    }();
    return path;
}

bool clean(const std::string& text) {
    return text.find("INF") == std::string::npos && text.find("NAN") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratch();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        require(f != nullptr);
        require(std::fwrite(data, 1, size, f) == size);
        std::fclose(f);
    }
    korvex::DataFile file;
    require(file.open(path));
    korvex::GeometryFlags flags;
    korvex::BatchState batch;
    batch.moredata = true;
    korvex::RunParameters prm;
    auto gen = korvex::mtcreate(5489);
    korvex::Report report;
    // Each dataset takes at least one byte, so the loop ends.
    for (std::size_t n = 0; batch.moredata && n <= size; ++n) {
        flags.dataerror = flags.discwindow = flags.rectwindow = false;
        batch.readerror.clear();
        korvex::clearparameters(prm);
        korvex::readdataset(file, prm, flags, batch);
        require(!file.failed());
        if (flags.dataerror) break;
        ++batch.datasetnumber;
        for (double v : {prm.r1, prm.a1, prm.b1, prm.t1, prm.r2, prm.a2, prm.b2, prm.t2, prm.d,
                         prm.a3, prm.b3, prm.c, prm.rotx, prm.roty, prm.rotz, prm.emissions})
            require(std::isfinite(v));
        if (!batch.readerror.empty()) {
            require(prm.emissions == 0);
            continue;
        }
        if (korvex::checkdataset(flags, prm) != korvex::DatasetProblem::none) continue;
        if (prm.emissions < 1) continue;
        prm.emissions = std::fmin(prm.emissions, 64);
        QuietHost host;
        const korvex::DatasetOutcome out = korvex::rundataset(prm, flags, *gen, host);
        require(out.problem == korvex::DatasetProblem::none);
        const korvex::RunTallies& t = out.tallies;
        require(t.hits <= t.emitted && std::isfinite(t.pathsum) && t.pathsum >= 0);
        korvex::makereport(report, prm, flags, t, {false, batch.datasetnumber, "0"});
        require(clean(report.lastresults));
    }
    return 0;
}
