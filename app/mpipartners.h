// korvex-batch-mpi: the batch run spread over the processes of an MPI job.
// Rank 0 is korvex-batch as it is: it reads the data file, writes the results
// file and shows progress. Every other rank waits for rank 0's datasets and
// runs its share of each one on its own threads; a dataset too small to split
// runs on rank 0 alone. SIGINT, SIGTERM or SIGHUP on any rank (mpirun passes
// a Ctrl-C on as SIGTERM) stops the current dataset everywhere, by the end of
// the round; one to a rank waiting between datasets is told to rank 0 at
// once, which hears it as it would its own (at its next poll). Rank 0 ends
// with the status korvex-batch gives for that signal.
#pragma once

#include <vector>

#include "engine/split.h"

namespace korvex {

class MpiPartners : public Partners {
public:
    // MPI_Init; every rank but 0 then calls serve().
    MpiPartners(int& argc, char**& argv);
    // On rank 0: tells the other ranks to end, or, when a dataset's run
    // failed midway and they wait inside its exchanges, aborts the job. Then
    // MPI_Finalize.
    ~MpiPartners() override;
    MpiPartners(const MpiPartners&) = delete;
    MpiPartners& operator=(const MpiPartners&) = delete;

    // Rank 0, once its options are read: learns every rank's thread count.
    // The first rank whose --threads was refused (it sends 0), else 0.
    int start(int threads);
    // Every other rank: runs datasets until rank 0 ends; the exit status.
    // threads 0: this rank's --threads was refused (status 2).
    int serve(int threads);

    // Rank 0: whether another rank was stopped by a signal (looks for one
    // told between datasets), and that signal's number (0 for none).
    bool partnerstopped();
    int partnersignal() const { return partnersignal_; }

    int rank() const override { return rank_; }
    const std::vector<int>& weights() const override { return weights_; }
    void begin(const RunParameters& prm, const GeometryFlags& flags,
               const MTRandomState& gen) override;
    void end() override { open_ = false; }
    bool combine(const SpanResult& mine, RunTallies& t) override;

    // True after a stopping signal to this process (ranks but 0).
    static bool signalled();

private:
    void command(int what);

    int rank_ = 0;
    int size_ = 1;
    bool open_ = false;      // a dataset begun and not ended
    int partnersignal_ = 0;  // rank 0: the signal another rank was stopped by
    bool told_ = false;      // other ranks: rank 0 knows of this rank's signal
    std::vector<int> weights_;
};

}  // namespace korvex
