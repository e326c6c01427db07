// A LoopHost for tests: records the emission counts at which the loop
// reported progress and polled, and answers "abort" at a chosen poll.
#pragma once

#include <vector>

#include "engine/run.h"

namespace korvex::testing {

class RecordingHost : public LoopHost {
public:
    explicit RecordingHost(int abortatpoll = 0) : abortatpoll_(abortatpoll) {}
    void progressstep(const RunTallies& sofar) override { steps.push_back(sofar.emitted); }
    bool pollabort() override {
        polls.push_back(lastemitted ? *lastemitted : 0);
        return abortatpoll_ > 0 && int(polls.size()) == abortatpoll_;
    }
    std::vector<double> steps;
    std::vector<double> polls;
    const double* lastemitted = nullptr;  // the tallies being filled, if known

private:
    int abortatpoll_;
};

}  // namespace korvex::testing
